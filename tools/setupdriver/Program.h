// The program under test: started by the driver (through the shell when its manifest asks for
// administrator rights), watched while the script runs, and ended when a run fails so that
// none of its windows stays open.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/WinHandle.h"

class TProgram {
public:
    TProgram() = default;
    ~TProgram() { Kill(); }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    // Starts path with the arguments, if any. EDriverFailure when it cannot be started.
    void Start(const std::string& path, const std::optional<std::string>& arguments);
    bool Started() const { return static_cast<bool>(Process); }
    bool Running() const;
    // Waits up to timeout ms for the program to end; false when it still runs.
    bool WaitForExit(DWORD timeout) const;
    DWORD ExitCode() const;
    // Ends the program if it still runs, and waits a little for it to be gone.
    void Kill();
    DWORD Id() const { return ProcessId; }
    // The path it was started with, for messages.
    const std::string& Name() const { return Path; }

private:
    UniqueHandle Process;
    DWORD ProcessId = 0;
    std::string Path;
};
