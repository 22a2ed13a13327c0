// setupdriver: runs a Windows program and drives it through its windows, for setuppack
// preview and the end-to-end tests under Wine. It starts the program, waits for its top-level
// windows and message boxes, reads their captions and texts, presses buttons, and checks the
// exit code, all from a small script (see Script.h and the usage text in Main.cpp). The first
// mismatch or timeout ends the run with exit code 1 and a clear message, and the program under
// test is killed so that no window stays open.
//
// TDriver holds the state of a run (the program, the current window, the timeout) and carries
// out the commands (Driver.cpp); the table of commands is in DriverCommands.cpp.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/setupdriver/Probe.h"
#include "tools/setupdriver/Program.h"
#include "tools/setupdriver/Script.h"

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

    // The command's entry in Commands(); EScriptError for an unknown name or a wrong number
    // of arguments.
    static const TCommandInfo& Validate(const TCommand& command);
    void Execute(const TCommand& command);
    // The end of the script: a program that still runs is an error.
    void Finish();
    // After a failure: ends the program, so that none of its windows stays open.
    void Abort() { Program.Kill(); }

private:
    TProgram Program;
    HWND Window = nullptr; // the window that the control commands work on
    DWORD Timeout = 10000; // ms for every wait

    void RequireProgram() const;
    void RequireWindow() const;
    template <typename TFound, typename TWhat> void WaitFor(TFound found, TWhat what) const;

    // Finds a control of the current window: "#<id>" or a caption, compared exactly and, when
    // nothing matches so, without "&" mnemonics. Only visible controls count.
    HWND FindControl(const std::string& selector, bool buttonsOnly) const;
    HWND WaitForControl(const std::string& selector, bool buttonsOnly) const;
    std::string DumpProgram() const;
    static void Say(const std::string& text);

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
    void Move(const std::vector<std::string>& args);
    void WaitFile(const std::vector<std::string>& args);
    void Dump(const std::vector<std::string>& args);
    void Screenshot(const std::vector<std::string>& args);
    void IfShown(const std::vector<std::string>& args);
    void WaitIdle(const std::vector<std::string>& args);
    void WatchProgress(const std::vector<std::string>& args);
    void StartSecond(const std::vector<std::string>& args);
    TProbeAnswer Probe(HWND control);
    void ExpectFont(const std::vector<std::string>& args);
    void ExpectDpiAware(const std::vector<std::string>& args);
    void ExpectWindowsVersion(const std::vector<std::string>& args);
    void SetCheck(const std::string& selector, bool checked);
};
