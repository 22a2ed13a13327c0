// The driver's commands: name, number of arguments, handler and the line of the usage text.

#include "tools/setupdriver/Driver.h"

const std::map<std::string, TDriver::TCommandInfo>& TDriver::Commands() {
    static const std::map<std::string, TCommandInfo> commands = {
        {"start", {1, 2, &TDriver::Start, "start <program> [<arguments>]  starts the program"}},
        {"timeout", {1, 1, &TDriver::SetTimeout, "timeout <seconds>  limit of every later wait (10)"}},
        {"sleep", {1, 1, &TDriver::Sleep, "sleep <milliseconds>"}},
        {"expect-window",
         {1, 1, &TDriver::ExpectWindow,
          "expect-window <caption>  waits for a top-level window and makes it current"}},
        {"expect-text",
         {1, 1, &TDriver::ExpectText, "expect-text <text>  a visible control shows exactly this"}},
        {"expect-text-contains",
         {1, 1, &TDriver::ExpectTextContains,
          "expect-text-contains <part>  a visible control's text holds this"}},
        {"expect-buttons",
         {0, 99, &TDriver::ExpectButtons, "expect-buttons <caption>...  the visible push buttons, in order"}},
        {"expect-icon",
         {1, 1, &TDriver::ExpectIcon,
          "expect-icon error|warning|information|question  the message box's icon"}},
        {"press", {1, 1, &TDriver::Press, "press <control>  clicks a visible, enabled button"}},
        {"key",
         {1, 1, &TDriver::Key,
          "key enter|escape|tab|space|<letter>  a key stroke to the current window's focused control"}},
        {"close",
         {0, 0, &TDriver::Close, "close  clicks the current window's close box, which must be enabled"}},
        {"check", {1, 1, &TDriver::Check, "check <control>  clicks a check box unless it is checked"}},
        {"uncheck", {1, 1, &TDriver::Uncheck, "uncheck <control>  clicks a check box if it is checked"}},
        {"set-text", {2, 2, &TDriver::SetText, "set-text <control> <text>  replaces an edit box's text"}},
        {"expect-checked", {1, 1, &TDriver::ExpectChecked, "expect-checked <control>"}},
        {"expect-unchecked", {1, 1, &TDriver::ExpectUnchecked, "expect-unchecked <control>"}},
        {"expect-enabled", {1, 1, &TDriver::ExpectEnabled, "expect-enabled <control>"}},
        {"expect-disabled", {1, 1, &TDriver::ExpectDisabled, "expect-disabled <control>"}},
        {"expect-hidden",
         {1, 1, &TDriver::ExpectHidden, "expect-hidden <control>  no visible control matches"}},
        {"wait-closed", {0, 0, &TDriver::WaitClosed, "wait-closed  waits until the current window is gone"}},
        {"expect-exit", {1, 1, &TDriver::ExpectExit, "expect-exit <code>  waits for the program to end"}},
        {"kill", {0, 0, &TDriver::Kill, "kill  ends the program"}},
        {"move",
         {3, 3, &TDriver::Move,
          "move <file> <new path> done|refused  moves a file as Windows lets a program (replacing one "
          "there), and expects it done or refused"}},
        {"wait-file",
         {1, 1, &TDriver::WaitFile,
          "wait-file <path>  waits until the file exists (a test script's signal)"}},
        {"dump", {0, 0, &TDriver::Dump, "dump  prints the program's windows and controls"}},
        {"screenshot",
         {1, 1, &TDriver::Screenshot,
          "screenshot <file.bmp>  the current window, or the screen without one"}},
        {"wait-idle",
         {0, 0, &TDriver::WaitIdle,
          "wait-idle  waits until the current window has handled what came before, and has painted"}},
        {"watch-progress",
         {4, 4, &TDriver::WatchProgress,
          "watch-progress <bar> <until> <ms> <count>  until the control <until> shows or the current window "
          "closes or hides, asks the window every 10 ms: it answers within <ms>, and the bar shows at least "
          "<count> "
          "positions between 0 and 100, never going back"}},
        {"start-second",
         {1, 2, &TDriver::StartSecond,
          "start-second <program> [<arguments>]  starts another program while the program runs: it ends "
          "with exit code 0 within the timeout, showing no window, and leaves the program's window in "
          "front"}},
        {"if-shown",
         {2, 99, &TDriver::IfShown,
          "if-shown <control> <command> [<argument>]...  runs the command only when a visible control of "
          "the current window matches now"}},
        {"expect-font",
         {2, 3, &TDriver::ExpectFont,
          "expect-font <control> <face> [<points>]  the font the control draws with, in the program"}},
        {"expect-dpi-aware",
         {1, 1, &TDriver::ExpectDpiAware,
          "expect-dpi-aware yes|no  whether the program declared itself aware of the resolution (one that"
          " did not is made unaware, as Windows starts it)"}},
        {"expect-windows-version",
         {1, 1, &TDriver::ExpectWindowsVersion,
          "expect-windows-version <major>.<minor>  the version the program is told it runs on"}},
    };
    return commands;
}

const TDriver::TCommandInfo& TDriver::Validate(const TCommand& command) {
    auto found = Commands().find(command.Name);
    if (found == Commands().end())
        throw EScriptError(command.Source + ":" + std::to_string(command.Line) + ": unknown command " +
                           command.Name);
    const TCommandInfo& info = found->second;
    if (command.Args.size() < info.MinArgs || command.Args.size() > info.MaxArgs)
        throw EScriptError(command.Source + ":" + std::to_string(command.Line) + ": usage: " + info.Usage);
    if (info.Handler == &TDriver::IfShown)
        Validate(
            {command.Source, command.Line, command.Args[1], {command.Args.begin() + 2, command.Args.end()}});
    return info;
}

void TDriver::Execute(const TCommand& command) {
    (this->*Validate(command).Handler)(command.Args);
}
