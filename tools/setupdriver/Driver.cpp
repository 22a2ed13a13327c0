// setupdriver: runs a Windows program and drives it through its windows, for setuppack
// preview and the end-to-end tests under Wine. It starts the program, waits for its top-level
// windows and message boxes, reads their captions and texts, presses buttons, and checks the
// exit code, all from a small script (see Script.h and the usage text below). The first mismatch or
// timeout ends the run with exit code 1 and a clear message, and the program under test is
// killed so that no window stays open.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Probe.h"
#include "Script.h"
#include "common/WinHandle.h"

namespace {

// A failed expectation; the message says what was expected and what was seen.
class EDriverFailure : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740
#endif

constexpr DWORD PollInterval = 50;    // ms between two looks at the windows
constexpr UINT MessageTimeout = 2000; // ms for a message to a window of the program

struct TControl {
    HWND Handle = nullptr;
    std::string Class;
    std::string Text;
    int Id = 0;
    bool Visible = false;
    bool Enabled = false;
};

std::string ClassOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

// The text of a window of another process. WM_GETTEXT is marshalled across processes by
// the system (GetWindowText would return only captions there); the timeout keeps a busy
// program from blocking the driver.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MessageTimeout, &length))
        return "";
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                               SMTO_ABORTIFHUNG, MessageTimeout, &copied))
        return "";
    text.resize(copied);
    return text;
}

TControl Describe(HWND window) {
    TControl control;
    control.Handle = window;
    control.Class = ClassOf(window);
    control.Text = TextOf(window);
    control.Id = static_cast<int>(::GetDlgCtrlID(window));
    control.Visible = ::IsWindowVisible(window) != FALSE;
    control.Enabled = ::IsWindowEnabled(window) != FALSE;
    return control;
}

struct TWindowSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopLevelWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<TWindowSearch*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.ProcessId && ::IsWindowVisible(window))
        search.Found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildWindow(HWND child, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
    return TRUE;
}

// Visible top-level windows (message boxes included) of one process.
std::vector<HWND> TopLevelWindows(DWORD processId) {
    TWindowSearch search{processId, {}};
    ::EnumWindows(CollectTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// Every descendant of a window, in the system's order (depth first).
std::vector<TControl> Controls(HWND window) {
    std::vector<HWND> handles;
    ::EnumChildWindows(window, CollectChildWindow, reinterpret_cast<LPARAM>(&handles));
    std::vector<TControl> controls;
    for (HWND handle : handles)
        controls.push_back(Describe(handle));
    return controls;
}

bool IsButtonClass(const std::string& name) {
    return _stricmp(name.c_str(), "Button") == 0;
}

std::string WithoutMnemonics(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        result += text[i];
    }
    return result;
}

std::string DescribeLine(const TControl& control) {
    return control.Class + " #" + std::to_string(control.Id) + " " + QuoteWord(control.Text) +
           (control.Visible ? "" : " [hidden]") + (control.Enabled ? "" : " [disabled]");
}

const std::map<std::string, LPCSTR>& SystemIcons() {
    static const std::map<std::string, LPCSTR> icons = {{"error", IDI_HAND},
                                                        {"warning", IDI_EXCLAMATION},
                                                        {"information", IDI_ASTERISK},
                                                        {"question", IDI_QUESTION}};
    return icons;
}

// A picture of a screen rectangle: 32-bit pixels (0x00RRGGBB), rows from the top.
struct TScreenImage {
    int Width = 0;
    int Height = 0;
    std::vector<DWORD> Pixels;
};

// An uncompressed bitmap's header; a negative height puts the rows from the top.
BITMAPINFOHEADER BitmapHeader(int width, int height, WORD bitCount) {
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bitCount;
    info.biCompression = BI_RGB;
    return info;
}

// Copies a rectangle of the screen; when draw is given, it paints over the copy first (on a
// memory DC that holds the rectangle at 0, 0).
TScreenImage CaptureScreen(const RECT& rect, const std::function<void(HDC)>& draw = nullptr) {
    TScreenImage image;
    image.Width = rect.right - rect.left;
    image.Height = rect.bottom - rect.top;
    if (image.Width <= 0 || image.Height <= 0)
        throw EDriverFailure("nothing to capture");
    struct TScreenDc {
        HDC Handle = ::GetDC(nullptr);
        ~TScreenDc() { ::ReleaseDC(nullptr, Handle); }
    } screen;
    TUniqueAny<HDC, ::DeleteDC> memory(::CreateCompatibleDC(screen.Handle));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen.Handle, image.Width, image.Height));
    if (!memory || !bitmap)
        throw EDriverFailure("cannot create a bitmap to capture the screen");
    HGDIOBJ previous = ::SelectObject(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, image.Width, image.Height, screen.Handle, rect.left, rect.top, SRCCOPY);
    if (draw)
        draw(memory.Get());
    ::SelectObject(memory.Get(), previous);
    BITMAPINFOHEADER info = BitmapHeader(image.Width, -image.Height, 32); // negative: rows from the top
    image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
    ::GetDIBits(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), 0, image.Height, image.Pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    return image;
}

// Writes a 24-bit BMP file (rows from the bottom, each padded to four bytes); 24 bits,
// because viewers take the fourth byte of a 32-bit one for transparency.
void SaveBitmapFile(const TScreenImage& image, const std::string& fileName) {
    const size_t rowSize = (static_cast<size_t>(image.Width) * 3 + 3) & ~size_t(3);
    std::vector<char> rows(rowSize * image.Height, 0);
    for (int y = 0; y < image.Height; ++y) {
        char* out = &rows[rowSize * (image.Height - 1 - y)];
        for (int x = 0; x < image.Width; ++x) {
            DWORD pixel = image.Pixels[static_cast<size_t>(y) * image.Width + x];
            *out++ = static_cast<char>(pixel & 255);         // blue
            *out++ = static_cast<char>((pixel >> 8) & 255);  // green
            *out++ = static_cast<char>((pixel >> 16) & 255); // red
        }
    }
    BITMAPINFOHEADER info = BitmapHeader(image.Width, image.Height, 24);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    std::ofstream out(fileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(rows.data(), rows.size());
    if (!out)
        throw EDriverFailure("cannot write " + fileName);
}

// Which system icon an icon control of another process shows. Icon handles cannot be
// compared across processes (under Wine each process loads its own copy of the system
// icons), so the control's pixels on the screen are compared with each system icon drawn
// over the control's own background colour (its top-left pixel, which icons leave clear).
std::string IconShown(HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    std::vector<DWORD> shown = CaptureScreen(rect).Pixels;
    DWORD background = shown[0];
    std::string best;
    unsigned long long bestDifference = ~0ull;
    for (const auto& [name, id] : SystemIcons()) {
        HICON icon = ::LoadIconA(nullptr, id);
        std::vector<DWORD> drawn =
            CaptureScreen(rect, [&](HDC dc) {
                RECT all = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
                UniqueGdiObject brush(::CreateSolidBrush(
                    RGB((background >> 16) & 255, (background >> 8) & 255, background & 255)));
                ::FillRect(dc, &all, static_cast<HBRUSH>(brush.Get()));
                ::DrawIcon(dc, 0, 0, icon);
            }).Pixels;
        unsigned long long difference = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            for (int shift : {0, 8, 16})
                difference += std::abs(static_cast<int>((shown[i] >> shift) & 255) -
                                       static_cast<int>((drawn[i] >> shift) & 255));
        if (difference < bestDifference) {
            bestDifference = difference;
            best = name;
        }
    }
    // Far from all of them (more than 16 levels per colour on average): some other picture.
    return bestDifference <= shown.size() * 3 * 16 ? best : "an unknown";
}

class TDriver {
public:
    using THandler = void (TDriver::*)(const std::vector<std::string>&);
    struct TCommandInfo {
        size_t MinArgs;
        size_t MaxArgs;
        THandler Handler;
        const char* Usage;
    };
    static const std::map<std::string, TCommandInfo>& Commands();

    ~TDriver() { KillProgram(); }

    // The command's entry in Commands(); EScriptError for an unknown name or a wrong number
    // of arguments.
    static const TCommandInfo& Validate(const TCommand& command);
    void Execute(const TCommand& command);
    // The end of the script: a program that still runs is an error.
    void Finish();
    // After a failure: ends the program, so that none of its windows stays open.
    void Abort() { KillProgram(); }

private:
    UniqueHandle Process;
    DWORD ProcessId = 0;
    std::string ProgramName;
    HWND Window = nullptr; // the window that the control commands work on
    DWORD Timeout = 10000; // ms for every wait

    bool ProgramRunning() const { return Process && ::WaitForSingleObject(Process.Get(), 0) == WAIT_TIMEOUT; }
    DWORD ExitCode() const {
        DWORD code = 0;
        ::GetExitCodeProcess(Process.Get(), &code);
        return code;
    }
    void RequireProgram() const {
        if (!Process)
            throw EDriverFailure("no program was started");
    }
    void RequireWindow() const {
        if (!Window)
            throw EDriverFailure("no window: use expect-window first");
        if (!::IsWindow(Window))
            throw EDriverFailure("the window has closed");
    }
    void KillProgram() {
        if (ProgramRunning()) {
            ::TerminateProcess(Process.Get(), 1);
            ::WaitForSingleObject(Process.Get(), 5000);
        }
    }

    // Polls until found returns true or the timeout passes; then fails with what().
    template <typename TFound, typename TWhat> void WaitFor(TFound found, TWhat what) {
        DWORD start = ::GetTickCount();
        while (!found()) {
            if (::GetTickCount() - start >= Timeout) {
                // The first line says what was missing; what follows shows what there was.
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, " (waited %.1f s)", Timeout / 1000.0);
                std::string message = what();
                throw EDriverFailure(message.insert(std::min(message.find('\n'), message.size()), seconds));
            }
            ::Sleep(PollInterval);
        }
    }

    // Finds a control of the current window: "#<id>" or a caption, compared exactly and, when
    // nothing matches so, without "&" mnemonics. Only visible controls count.
    HWND FindControl(const std::string& selector, bool buttonsOnly) {
        if (selector.size() > 1 && selector[0] == '#') {
            // By id without asking the program for texts, which would wait for a program that
            // is busy (a setup program while it copies files).
            std::vector<HWND> handles;
            ::EnumChildWindows(Window, CollectChildWindow, reinterpret_cast<LPARAM>(&handles));
            for (HWND handle : handles)
                if (std::to_string(::GetDlgCtrlID(handle)) == selector.substr(1) &&
                    ::IsWindowVisible(handle) && (!buttonsOnly || IsButtonClass(ClassOf(handle))))
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
    HWND WaitForControl(const std::string& selector, bool buttonsOnly) {
        RequireWindow();
        HWND found = nullptr;
        WaitFor([&] { return (found = FindControl(selector, buttonsOnly)) != nullptr; },
                [&] { return "no visible control " + QuoteWord(selector) + "\n" + DumpWindow(Window); });
        return found;
    }
    std::string DumpWindow(HWND window) {
        std::string text = "window " + QuoteWord(TextOf(window)) + " class " + ClassOf(window) + "\n";
        for (const TControl& c : Controls(window))
            text += "  " + DescribeLine(c) + "\n";
        return text;
    }
    std::string DumpProgram() {
        if (!ProgramRunning())
            return Process ? "the program has ended with exit code " + std::to_string(ExitCode()) + "\n" : "";
        std::string text;
        for (HWND window : TopLevelWindows(ProcessId))
            text += DumpWindow(window);
        return text.empty() ? "the program shows no window\n" : text;
    }
    static void Say(const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }

    void Start(const std::vector<std::string>& args);
    void SetTimeout(const std::vector<std::string>& args);
    void Sleep(const std::vector<std::string>& args);
    void ExpectWindow(const std::vector<std::string>& args);
    // Waits until a visible control of the current window shows a text that matches; missing
    // is the first line of the failure.
    void WaitForText(const std::function<bool(const std::string&)>& matches, const std::string& missing);
    void ExpectText(const std::vector<std::string>& args);
    void ExpectTextContains(const std::vector<std::string>& args);
    void ExpectButtons(const std::vector<std::string>& args);
    void ExpectIcon(const std::vector<std::string>& args);
    void Press(const std::vector<std::string>& args);
    void Key(const std::vector<std::string>& args);
    void Close(const std::vector<std::string>& args);
    void Check(const std::vector<std::string>& args);
    void Uncheck(const std::vector<std::string>& args);
    void SetText(const std::vector<std::string>& args);
    void ExpectState(const std::string& selector, const char* state);
    void ExpectChecked(const std::vector<std::string>& args) { ExpectState(args[0], "checked"); }
    void ExpectUnchecked(const std::vector<std::string>& args) { ExpectState(args[0], "unchecked"); }
    void ExpectEnabled(const std::vector<std::string>& args) { ExpectState(args[0], "enabled"); }
    void ExpectDisabled(const std::vector<std::string>& args) { ExpectState(args[0], "disabled"); }
    void ExpectHidden(const std::vector<std::string>& args);
    void WaitClosed(const std::vector<std::string>& args);
    void ExpectExit(const std::vector<std::string>& args);
    void Kill(const std::vector<std::string>& args);
    void Dump(const std::vector<std::string>& args);
    void Screenshot(const std::vector<std::string>& args);
    void IfShown(const std::vector<std::string>& args);
    void WaitIdle(const std::vector<std::string>& args);
    void WatchProgress(const std::vector<std::string>& args);
    TProbeAnswer Probe(HWND control);
    void ExpectFont(const std::vector<std::string>& args);
    void ExpectDpiAware(const std::vector<std::string>& args);
    void ExpectWindowsVersion(const std::vector<std::string>& args);
    void SetCheck(const std::string& selector, bool checked);
};

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
        {"dump", {0, 0, &TDriver::Dump, "dump  prints the program's windows and controls"}},
        {"screenshot",
         {1, 1, &TDriver::Screenshot,
          "screenshot <file.bmp>  the current window, or the screen without one"}},
        {"wait-idle",
         {0, 0, &TDriver::WaitIdle,
          "wait-idle  waits until the current window has handled what came before, and has painted"}},
        {"watch-progress",
         {4, 4, &TDriver::WatchProgress,
          "watch-progress <bar> <until> <ms> <count>  until the control <until> shows, asks the current "
          "window every 50 ms: it answers within <ms>, and the bar shows at least <count> positions "
          "between 0 and 100, never going back"}},
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

void TDriver::Finish() {
    if (ProgramRunning())
        throw EDriverFailure("the script ended while " + ProgramName + " is still running");
}

void TDriver::Start(const std::vector<std::string>& args) {
    if (ProgramRunning())
        throw EDriverFailure(ProgramName + " is still running");
    ProgramName = args[0];
    Window = nullptr;
    std::string commandLine = "\"" + args[0] + "\"";
    if (args.size() > 1)
        commandLine += " " + args[1];
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        ::CloseHandle(process.hThread);
        Process.Reset(process.hProcess);
        ProcessId = process.dwProcessId;
        return;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_ELEVATION_REQUIRED)
        throw EDriverFailure("cannot start " + args[0] + ": error " + std::to_string(error));
    // A program whose manifest requires administrator rights is started through the shell,
    // which asks for elevation; CreateProcess refuses it from a process without them.
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.lpVerb = "runas";
    execute.lpFile = args[0].c_str();
    execute.lpParameters = args.size() > 1 ? args[1].c_str() : nullptr;
    execute.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExA(&execute) || !execute.hProcess)
        throw EDriverFailure("cannot start " + args[0] + " elevated: error " +
                             std::to_string(::GetLastError()));
    Process.Reset(execute.hProcess);
    ProcessId = ::GetProcessId(execute.hProcess);
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
            if (!ProgramRunning())
                throw EDriverFailure("expected window " + QuoteWord(caption) + ", but " + DumpProgram());
            for (HWND window : TopLevelWindows(ProcessId))
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
    if (::WaitForSingleObject(Process.Get(), Timeout) == WAIT_TIMEOUT)
        throw EDriverFailure(ProgramName + " did not end\n" + DumpProgram());
    Window = nullptr;
    DWORD code = ExitCode();
    Say("  exit code " + std::to_string(code) + "\n");
    if (code != wanted)
        throw EDriverFailure("expected exit code " + std::to_string(wanted) + ", got " +
                             std::to_string(code));
}

void TDriver::Kill(const std::vector<std::string>&) {
    RequireProgram();
    KillProgram();
    Window = nullptr;
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
    while (!FindControl(args[1], false)) {
        if (::GetTickCount() - start >= Timeout)
            throw EDriverFailure("no visible control " + QuoteWord(args[1]));
        // A window that takes no message for five seconds is "Not Responding" to Windows.
        const DWORD asked = ::GetTickCount();
        DWORD_PTR position = 0;
        if (!::SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &position))
            throw EDriverFailure("the window " + QuoteWord(TextOf(Window)) + " took no message for 5 s");
        longest = std::max(longest, ::GetTickCount() - asked);
        ++probes;
        if (::SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position) &&
            (positions.empty() || static_cast<int>(position) != positions.back()))
            positions.push_back(static_cast<int>(position));
        ::Sleep(50);
    }
    std::string seen;
    size_t between = 0;
    for (size_t i = 0; i < positions.size(); ++i) {
        seen += " " + std::to_string(positions[i]);
        between += positions[i] > 0 && positions[i] < 100;
        if (i > 0 && positions[i] < positions[i - 1])
            throw EDriverFailure("the bar went back:" + seen);
    }
    Say("  " + std::to_string(probes) + " probes, longest answer " + std::to_string(longest) +
        " ms; positions" + seen + "\n");
    if (longest > limit)
        throw EDriverFailure("the window took " + std::to_string(longest) + " ms to answer, over " + args[2]);
    if (between < wanted)
        throw EDriverFailure("the bar showed " + std::to_string(between) + " positions between 0 and 100:" + seen);
}

void Unhook(HHOOK hook) {
    ::UnhookWindowsHookEx(hook);
}
void UnmapView(void* view) {
    ::UnmapViewOfFile(view);
}

TProbeAnswer TDriver::Probe(HWND control) {
    RequireWindow();
    char path[MAX_PATH] = {};
    std::string dll(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + ProbeDllName;
    UniqueModule probe(::LoadLibraryA(dll.c_str()));
    auto hook = probe ? reinterpret_cast<HOOKPROC>(
                            reinterpret_cast<void*>(::GetProcAddress(probe.Get(), ProbeHookName)))
                      : nullptr;
    if (!hook)
        throw EDriverFailure("cannot load the probe " + dll);
    char name[64];
    ProbeBlockName(::GetCurrentProcessId(), name);
    UniqueHandle block(
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TProbeAnswer), name));
    TUniqueAny<void*, UnmapView> view(
        block ? ::MapViewOfFile(block.Get(), FILE_MAP_WRITE, 0, 0, sizeof(TProbeAnswer)) : nullptr);
    if (!view)
        throw EDriverFailure("cannot create the probe's shared block");
    auto* answer = static_cast<volatile TProbeAnswer*>(view.Get());
    answer->Done = 0;
    // The system loads the probe into the program when the hooked thread next takes a
    // message from its queue; the posted probe message is that message.
    TUniqueAny<HHOOK, Unhook> hooked(
        ::SetWindowsHookExA(WH_GETMESSAGE, hook, probe.Get(), ::GetWindowThreadProcessId(Window, nullptr)));
    if (!hooked)
        throw EDriverFailure("cannot hook the program: error " + std::to_string(::GetLastError()));
    static const UINT message = ::RegisterWindowMessageA(ProbeMessageName);
    ::PostMessageA(Window, message, ::GetCurrentProcessId(), reinterpret_cast<LPARAM>(control));
    WaitFor([&] { return answer->Done != 0; },
            [&] { return std::string("the program did not answer the probe"); });
    TProbeAnswer result;
    std::memcpy(&result, view.Get(), sizeof result);
    return result;
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

const char UsageText[] =
    "usage: setupdriver [NAME=value]... [-e <command>]... [<script file>]...\n"
    "Runs the commands of the script files and -e arguments in order. In a script, one\n"
    "command per line; \"#\" starts a comment line; a word in double quotes may hold blanks\n"
    "and the escapes \\r \\n \\t \\\" \\\\; ${NAME} is a variable from the command line or the\n"
    "environment. <control> is a caption (\"&\" mnemonics may be left out) or #<id>.\n"
    "Exit code 0 when every expectation holds, 1 on a failure, 2 on a usage error.\n"
    "Commands:\n";

int Usage() {
    std::fputs(UsageText, stderr);
    for (const auto& [name, info] : TDriver::Commands())
        std::fprintf(stderr, "  %s\n", info.Usage);
    return 2;
}

std::string ReadTextFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in)
        throw EScriptError("cannot read " + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> variables;
    auto lookup = [&variables](const std::string& name) -> std::optional<std::string> {
        auto found = variables.find(name);
        if (found != variables.end())
            return found->second;
        DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
        if (size == 0)
            return std::nullopt;
        std::string value(size, '\0');
        value.resize(::GetEnvironmentVariableA(name.c_str(), &value[0], size));
        return value;
    };

    std::vector<TCommand> script;
    int commandArguments = 0;
    try {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            std::vector<TCommand> part;
            if (arg == "-e" && i + 1 < argc) {
                part = ParseScript(argv[++i], "-e", lookup);
                for (TCommand& command : part)
                    command.Line = ++commandArguments;
            } else if (arg.empty() || arg[0] == '-')
                return Usage();
            else if (arg.find('=') != std::string::npos && arg.find_first_of("\\/:") > arg.find('='))
                variables[arg.substr(0, arg.find('='))] = arg.substr(arg.find('=') + 1);
            else
                part = ParseScript(ReadTextFile(arg), arg, lookup);
            script.insert(script.end(), part.begin(), part.end());
        }
        // The whole script is checked before anything runs.
        for (const TCommand& command : script)
            TDriver::Validate(command);
    } catch (const EScriptError& error) {
        std::fprintf(stderr, "setupdriver: %s\n", error.what());
        return 2;
    }
    if (script.empty())
        return Usage();

    TDriver driver;
    const TCommand* current = nullptr;
    try {
        for (const TCommand& command : script) {
            current = &command;
            std::string line = command.Source + ":" + std::to_string(command.Line) + ": " + command.Name;
            for (const std::string& arg : command.Args)
                line += " " + QuoteWord(arg);
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            driver.Execute(command);
        }
        current = nullptr;
        driver.Finish();
    } catch (const std::exception& error) {
        bool scriptError = dynamic_cast<const EScriptError*>(&error) != nullptr;
        std::string where = current ? current->Source + ":" + std::to_string(current->Line) + ": " : "";
        std::printf("FAIL: %s%s\n", where.c_str(), error.what());
        std::fflush(stdout);
        driver.Abort();
        return scriptError ? 2 : 1;
    }
    std::printf("PASS\n");
    return 0;
}
