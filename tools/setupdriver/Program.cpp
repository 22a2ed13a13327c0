#include "tools/setupdriver/Program.h"

#include <shellapi.h>

#include "tools/setupdriver/Wait.h"

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740
#endif

void TProgram::Start(const std::string& path, const std::optional<std::string>& arguments) {
    Path = path;
    std::string commandLine = "\"" + path + "\"";
    if (arguments)
        commandLine += " " + *arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        const UniqueHandle thread(process.hThread); // the driver waits on the process alone
        Process.Reset(process.hProcess);
        ProcessId = process.dwProcessId;
        return;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_ELEVATION_REQUIRED)
        throw EDriverFailure("cannot start " + path + ": error " + std::to_string(error));
    // A program whose manifest requires administrator rights is started through the shell,
    // which asks for elevation; CreateProcess refuses it from a process without them.
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
    execute.lpVerb = "runas";
    execute.lpFile = path.c_str();
    execute.lpParameters = arguments ? arguments->c_str() : nullptr;
    execute.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExA(&execute) || !execute.hProcess)
        throw EDriverFailure("cannot start " + path + " elevated: error " + std::to_string(::GetLastError()));
    Process.Reset(execute.hProcess);
    ProcessId = ::GetProcessId(execute.hProcess);
}

bool TProgram::Running() const {
    return Process && ::WaitForSingleObject(Process.Get(), 0) == WAIT_TIMEOUT;
}

bool TProgram::WaitForExit(DWORD timeout) const {
    return ::WaitForSingleObject(Process.Get(), timeout) != WAIT_TIMEOUT;
}

DWORD TProgram::ExitCode() const {
    DWORD code = 0;
    ::GetExitCodeProcess(Process.Get(), &code);
    return code;
}

void TProgram::Kill() {
    if (Running()) {
        ::TerminateProcess(Process.Get(), 1);
        ::WaitForSingleObject(Process.Get(), 5000);
    }
}
