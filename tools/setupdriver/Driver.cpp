// The driver's commands at work: each handler of the command table (DriverCommands.cpp).

#include "tools/setupdriver/Driver.h"

#include <commctrl.h>

#include <cctype>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "tools/setupdriver/IconMatch.h"
#include "tools/setupdriver/ProbeClient.h"
#include "tools/setupdriver/ScreenCapture.h"
#include "tools/setupdriver/Wait.h"
#include "tools/setupdriver/WindowSearch.h"

void TDriver::RequireProgram() const {
    if (!Program.Started())
        throw EDriverFailure("no program was started");
}

void TDriver::RequireWindow() const {
    if (!Window)
        throw EDriverFailure("no window: use expect-window first");
    if (!::IsWindow(Window))
        throw EDriverFailure("the window has closed");
}

template <typename TFound, typename TWhat> void TDriver::WaitFor(TFound found, TWhat what) const {
    ::WaitFor(Timeout, found, what);
}

HWND TDriver::FindControl(const std::string& selector, bool buttonsOnly) const {
    if (selector.size() > 1 && selector[0] == '#') {
        // By id without asking the program for texts, which would wait for a program that
        // is busy (a setup program while it copies files).
        for (HWND handle : ChildWindows(Window))
            if (std::to_string(::GetDlgCtrlID(handle)) == selector.substr(1) && ::IsWindowVisible(handle) &&
                (!buttonsOnly || IsButtonClass(ClassOf(handle))))
                return handle;
        return nullptr;
    }
    std::vector<TControl> controls = Controls(Window);
    auto matches = [&](const TControl& c, bool loose) {
        if (!c.Visible || (buttonsOnly && !IsButtonClass(c.Class)))
            return false;
        return loose ? WithoutMnemonics(c.Text) == WithoutMnemonics(selector) : c.Text == selector;
    };
    for (bool loose : {false, true})
        for (const TControl& c : controls)
            if (matches(c, loose))
                return c.Handle;
    return nullptr;
}

HWND TDriver::WaitForControl(const std::string& selector, bool buttonsOnly) const {
    RequireWindow();
    HWND found = nullptr;
    WaitFor([&] { return (found = FindControl(selector, buttonsOnly)) != nullptr; },
            [&] { return "no visible control " + QuoteWord(selector) + "\n" + DumpWindow(Window); });
    return found;
}

std::string TDriver::DumpProgram() const {
    if (!Program.Running())
        return Program.Started()
                   ? "the program has ended with exit code " + std::to_string(Program.ExitCode()) + "\n"
                   : "";
    std::string text;
    for (HWND window : TopLevelWindows(Program.Id()))
        text += DumpWindow(window);
    return text.empty() ? "the program shows no window\n" : text;
}

void TDriver::Say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void TDriver::Finish() {
    if (Program.Running())
        throw EDriverFailure("the script ended while " + Program.Name() + " is still running");
}

void TDriver::Start(const std::vector<std::string>& args) {
    if (Program.Running())
        throw EDriverFailure(Program.Name() + " is still running");
    Window = nullptr;
    Program.Start(args[0], args.size() > 1 ? std::optional<std::string>(args[1]) : std::nullopt);
}

void TDriver::SetTimeout(const std::vector<std::string>& args) {
    Timeout = static_cast<DWORD>(std::atof(args[0].c_str()) * 1000);
}

void TDriver::Sleep(const std::vector<std::string>& args) {
    ::Sleep(std::atoi(args[0].c_str()));
}

void TDriver::ExpectWindow(const std::vector<std::string>& args) {
    RequireProgram();
    const std::string& caption = args[0];
    WaitFor(
        [&] {
            if (!Program.Running())
                throw EDriverFailure("expected window " + QuoteWord(caption) + ", but " + DumpProgram());
            for (HWND window : TopLevelWindows(Program.Id()))
                if (TextOf(window) == caption) {
                    Window = window;
                    return true;
                }
            return false;
        },
        [&] { return "no window " + QuoteWord(caption) + "\n" + DumpProgram(); });
    Say("  window " + QuoteWord(caption) + " class " + ClassOf(Window) + "\n");
}

void TDriver::WaitForText(const std::function<bool(const std::string&)>& matches,
                          const std::string& missing) {
    RequireWindow();
    WaitFor(
        [&] {
            for (const TControl& c : Controls(Window))
                if (c.Visible && matches(c.Text))
                    return true;
            return false;
        },
        [&] { return missing + "\n" + DumpWindow(Window); });
}

void TDriver::ExpectText(const std::vector<std::string>& args) {
    WaitForText([&](const std::string& text) { return text == args[0]; },
                "no visible control shows " + QuoteWord(args[0]));
}

void TDriver::ExpectTextContains(const std::vector<std::string>& args) {
    WaitForText([&](const std::string& text) { return text.find(args[0]) != std::string::npos; },
                "no visible control's text contains " + QuoteWord(args[0]));
}

void TDriver::ExpectButtons(const std::vector<std::string>& args) {
    RequireWindow();
    std::vector<std::string> seen;
    for (const TControl& c : Controls(Window)) {
        LONG type = ::GetWindowLongA(c.Handle, GWL_STYLE) & BS_TYPEMASK;
        if (c.Visible && IsButtonClass(c.Class) && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
            seen.push_back(c.Text);
    }
    if (seen != args) {
        std::string list;
        for (const std::string& s : seen)
            list.append(" ").append(QuoteWord(s));
        throw EDriverFailure("the push buttons are" + (list.empty() ? std::string(" none") : list));
    }
}

void TDriver::ExpectIcon(const std::vector<std::string>& args) {
    RequireWindow();
    if (!SystemIcons().count(args[0]))
        throw EScriptError("unknown icon " + args[0]);
    std::string seen;
    // Polls, since the window may not have painted its icon yet.
    WaitFor(
        [&] {
            seen = "no";
            for (const TControl& c : Controls(Window))
                if (c.Visible && _stricmp(c.Class.c_str(), "Static") == 0 &&
                    (::GetWindowLongA(c.Handle, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    seen = IconShown(c.Handle);
                    if (seen == args[0])
                        return true;
                }
            return false;
        },
        [&] { return "expected the " + args[0] + " icon, saw " + seen + " icon"; });
}

void TDriver::Press(const std::vector<std::string>& args) {
    HWND button = WaitForControl(args[0], true);
    WaitFor([&] { return ::IsWindowEnabled(button) != FALSE; },
            [&] { return "button " + QuoteWord(args[0]) + " stays disabled"; });
    LONG type = ::GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        // What a click on a push button does: it tells its parent. Posted, so that a program
        // that works for a while on the click does not hold up the driver.
        ::PostMessageA(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                       reinterpret_cast<LPARAM>(button));
    } else {
        // Check boxes and radio buttons change their own state on a click.
        ::PostMessageA(button, BM_CLICK, 0, 0);
    }
}

void TDriver::Key(const std::vector<std::string>& args) {
    RequireWindow();
    static const std::map<std::string, UINT> names = {
        {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB}, {"space", VK_SPACE}};
    UINT key = 0;
    auto named = names.find(args[0]);
    if (named != names.end())
        key = named->second;
    else if (args[0].size() == 1 && std::isalnum(static_cast<unsigned char>(args[0][0])))
        key = static_cast<UINT>(std::toupper(static_cast<unsigned char>(args[0][0])));
    else
        throw EScriptError("unknown key " + args[0]);
    // The key goes where the keyboard would send it: the control that has the focus in the
    // program's thread. Posted into the thread's queue, it passes through the program's
    // message loop (and so through a dialog's keyboard handling) like a real key stroke.
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    HWND target = Window;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(Window, nullptr), &thread) && thread.hwndFocus)
        target = thread.hwndFocus;
    UINT scan = ::MapVirtualKeyA(key, 0 /* MAPVK_VK_TO_VSC */);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    // The program's message loop translates the key into its character.
    ::PostMessageA(target, WM_KEYDOWN, key, down);
    ::PostMessageA(target, WM_KEYUP, key, down | (1u << 30) | (1u << 31));
}

void TDriver::Close(const std::vector<std::string>&) {
    RequireWindow();
    // The close box is there and enabled only with a system menu and without CS_NOCLOSE;
    // a click on it sends SC_CLOSE, which the window handles as a close request.
    if (!(::GetWindowLongA(Window, GWL_STYLE) & WS_SYSMENU) ||
        (::GetClassLongA(Window, GCL_STYLE) & CS_NOCLOSE))
        throw EDriverFailure("the window " + QuoteWord(TextOf(Window)) + " has no enabled close box");
    ::PostMessageA(Window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void TDriver::SetCheck(const std::string& selector, bool checked) {
    HWND box = WaitForControl(selector, true);
    auto isChecked = [&] {
        DWORD_PTR state = 0;
        ::SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, MessageTimeout, &state);
        return state == BST_CHECKED;
    };
    if (isChecked() == checked)
        return;
    if (!::IsWindowEnabled(box))
        throw EDriverFailure("check box " + QuoteWord(selector) + " is disabled");
    ::PostMessageA(box, BM_CLICK, 0, 0);
    WaitFor([&] { return isChecked() == checked; },
            [&] { return "check box " + QuoteWord(selector) + " did not change"; });
}

void TDriver::Check(const std::vector<std::string>& args) {
    SetCheck(args[0], true);
}
void TDriver::Uncheck(const std::vector<std::string>& args) {
    SetCheck(args[0], false);
}

void TDriver::SetText(const std::vector<std::string>& args) {
    HWND control = WaitForControl(args[0], false);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1].c_str()),
                               SMTO_ABORTIFHUNG, MessageTimeout, &result))
        throw EDriverFailure("cannot set the text of " + QuoteWord(args[0]));
}

void TDriver::ExpectState(const std::string& selector, const char* state) {
    std::string wanted = state;
    HWND control = WaitForControl(selector, false);
    auto current = [&]() -> std::string {
        if (wanted == "enabled" || wanted == "disabled")
            return ::IsWindowEnabled(control) ? "enabled" : "disabled";
        DWORD_PTR check = 0;
        ::SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, MessageTimeout, &check);
        return check == BST_CHECKED ? "checked" : "unchecked";
    };
    WaitFor([&] { return current() == wanted; },
            [&] { return QuoteWord(selector) + " is " + current() + ", expected " + wanted; });
}

void TDriver::ExpectHidden(const std::vector<std::string>& args) {
    RequireWindow();
    WaitFor([&] { return FindControl(args[0], false) == nullptr; },
            [&] { return QuoteWord(args[0]) + " is visible\n" + DumpWindow(Window); });
}

void TDriver::WaitClosed(const std::vector<std::string>&) {
    if (!Window)
        throw EDriverFailure("no window: use expect-window first");
    WaitFor([&] { return !::IsWindow(Window) || !::IsWindowVisible(Window); },
            [&] { return "the window " + QuoteWord(TextOf(Window)) + " stays open"; });
    Window = nullptr;
}

void TDriver::ExpectExit(const std::vector<std::string>& args) {
    RequireProgram();
    DWORD wanted = static_cast<DWORD>(std::strtol(args[0].c_str(), nullptr, 0));
    if (!Program.WaitForExit(Timeout))
        throw EDriverFailure(Program.Name() + " did not end\n" + DumpProgram());
    Window = nullptr;
    DWORD code = Program.ExitCode();
    Say("  exit code " + std::to_string(code) + "\n");
    if (code != wanted)
        throw EDriverFailure("expected exit code " + std::to_string(wanted) + ", got " +
                             std::to_string(code));
}

void TDriver::Kill(const std::vector<std::string>&) {
    RequireProgram();
    Program.Kill();
    Window = nullptr;
}

void TDriver::Move(const std::vector<std::string>& args) {
    if (args[2] != "done" && args[2] != "refused")
        throw EScriptError("move expects done or refused, not " + args[2]);
    const bool done = ::MoveFileExA(args[0].c_str(), args[1].c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    const DWORD error = done ? 0 : ::GetLastError();
    if (done != (args[2] == "done"))
        throw EDriverFailure("moving " + QuoteWord(args[0]) + " to " + QuoteWord(args[1]) +
                             (done ? " was done" : " was refused with error " + std::to_string(error)));
    Say("  move " + std::string(done ? "done" : "refused, error " + std::to_string(error)) + "\n");
}

void TDriver::WaitFile(const std::vector<std::string>& args) {
    WaitFor([&] { return ::GetFileAttributesA(args[0].c_str()) != INVALID_FILE_ATTRIBUTES; },
            [&] { return "no file " + QuoteWord(args[0]); });
}

void TDriver::Dump(const std::vector<std::string>&) {
    RequireProgram();
    Say(DumpProgram());
}

void TDriver::Screenshot(const std::vector<std::string>& args) {
    RECT rect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (Window && ::IsWindow(Window))
        ::GetWindowRect(Window, &rect);
    SaveBitmapFile(CaptureScreen(rect), args[0]);
    Say("  saved " + args[0] + "\n");
}

void TDriver::IfShown(const std::vector<std::string>& args) {
    RequireWindow();
    if (FindControl(args[0], false))
        Execute({"", 0, args[1], {args.begin() + 2, args.end()}});
}

void TDriver::WaitIdle(const std::vector<std::string>&) {
    RequireWindow();
    DWORD_PTR ignored = 0;
    WaitFor(
        [&] {
            return ::SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_NORMAL, PollInterval, &ignored) != 0;
        },
        [&] { return "the window " + QuoteWord(TextOf(Window)) + " does not answer"; });
    // A window paints once nothing else waits in its queue, so one that answers paints next.
    ::Sleep(300);
}

void TDriver::WatchProgress(const std::vector<std::string>& args) {
    HWND bar = WaitForControl(args[0], false);
    const DWORD limit = static_cast<DWORD>(std::stoul(args[2]));
    const size_t wanted = std::stoul(args[3]);
    DWORD longest = 0;
    int probes = 0;
    std::vector<int> positions;
    const DWORD start = ::GetTickCount();
    // A window that closes or hides when its work is done ends the watch as well.
    while (::IsWindow(Window) && ::IsWindowVisible(Window) && !FindControl(args[1], false)) {
        if (::GetTickCount() - start >= Timeout)
            throw EDriverFailure("no visible control " + QuoteWord(args[1]));
        // A window that takes no message for five seconds is "Not Responding" to Windows.
        const DWORD asked = ::GetTickCount();
        DWORD_PTR position = 0;
        if (!::SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &position)) {
            if (!::IsWindow(Window))
                break;
            throw EDriverFailure("the window " + QuoteWord(TextOf(Window)) + " took no message for 5 s");
        }
        longest = std::max(longest, ::GetTickCount() - asked);
        ++probes;
        if (::SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position) &&
            (positions.empty() || static_cast<int>(position) != positions.back()))
            positions.push_back(static_cast<int>(position));
        // Often enough that a fast machine's copy of the bytes still shows several positions.
        ::Sleep(10);
    }
    std::string seen;
    size_t between = 0;
    for (size_t i = 0; i < positions.size(); ++i) {
        seen += " " + std::to_string(positions[i]);
        between += positions[i] > 0 && positions[i] < 100;
        if (i > 0 && positions[i] < positions[i - 1])
            throw EDriverFailure("the bar went back:" + seen);
    }
    Say("  " + std::to_string(probes) + " probes, longest answer " + std::to_string(longest) + " ms; positions" +
        seen + "\n");
    if (longest > limit)
        throw EDriverFailure("the window took " + std::to_string(longest) + " ms to answer, over " + args[2]);
    if (between < wanted)
        throw EDriverFailure("the bar showed " + std::to_string(between) + " positions between 0 and 100:" + seen);
}

void TDriver::StartSecond(const std::vector<std::string>& args) {
    RequireWindow();
    TProgram second;
    second.Start(args[0], args.size() > 1 ? std::optional<std::string>(args[1]) : std::nullopt);
    const DWORD start = ::GetTickCount();
    while (!second.WaitForExit(50)) {
        if (!TopLevelWindows(second.Id()).empty())
            throw EDriverFailure("the second " + second.Name() + " shows a window:\n" +
                                 DumpWindow(TopLevelWindows(second.Id()).front()));
        if (::GetTickCount() - start >= Timeout)
            throw EDriverFailure("the second " + second.Name() + " did not end");
    }
    Say("  the second one ended with exit code " + std::to_string(second.ExitCode()) + "\n");
    if (second.ExitCode() != 0)
        throw EDriverFailure("the second " + second.Name() + " ended with exit code " +
                             std::to_string(second.ExitCode()));
    DWORD foregroundProcess = 0;
    ::GetWindowThreadProcessId(::GetForegroundWindow(), &foregroundProcess);
    if (foregroundProcess != Program.Id())
        throw EDriverFailure("the first program's window is not in front after the second start");
}

TProbeAnswer TDriver::Probe(HWND control) {
    RequireWindow();
    return ProbeProgram(Window, control, Timeout);
}

void TDriver::ExpectFont(const std::vector<std::string>& args) {
    HWND control = WaitForControl(args[0], false);
    TProbeAnswer answer = Probe(control);
    std::string seen = QuoteWord(answer.Font.lfFaceName) + " " + std::to_string(answer.Points) + " pt" +
                       (answer.Font.lfWeight >= FW_BOLD ? " bold" : "") +
                       (answer.HasOwnFont ? "" : " (the system font)") + " at " +
                       std::to_string(answer.PixelsPerInch) + " pixels per inch";
    Say("  font " + seen + "\n");
    if (args[1] != answer.Font.lfFaceName || (args.size() > 2 && std::atoi(args[2].c_str()) != answer.Points))
        throw EDriverFailure(QuoteWord(args[0]) + " draws with " + seen + ", expected " + QuoteWord(args[1]) +
                             (args.size() > 2 ? " " + args[2] + " pt" : ""));
}

void TDriver::ExpectDpiAware(const std::vector<std::string>& args) {
    if (args[0] != "yes" && args[0] != "no")
        throw EScriptError("expect-dpi-aware takes yes or no");
    TProbeAnswer answer = Probe(nullptr);
    const char* seen = answer.DpiAware > 0    ? "yes"
                       : answer.DpiAware == 0 ? "no"
                                              : "no (the system cannot tell)";
    Say(std::string("  DPI-aware ") + seen + "\n");
    if ((answer.DpiAware > 0) != (args[0] == "yes"))
        throw EDriverFailure(std::string("the program's DPI awareness is ") + seen + ", expected " + args[0]);
}

void TDriver::ExpectWindowsVersion(const std::vector<std::string>& args) {
    TProbeAnswer answer = Probe(nullptr);
    std::string seen = std::to_string(answer.MajorVersion) + "." + std::to_string(answer.MinorVersion);
    Say("  Windows " + seen + "\n");
    if (seen != args[0])
        throw EDriverFailure("the program runs on Windows " + seen + ", expected " + args[0]);
}
