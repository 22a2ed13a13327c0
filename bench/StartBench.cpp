// The time from starting a setup program to its first page: starts the program, waits until
// a visible top-level window of its process appears, prints the time and that window's title,
// and ends the program. Run it under Wine.
// Usage: start_bench SETUP_EXE

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct TSearch {
    DWORD ProcessId;
    HWND Window;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<TSearch*>(parameter);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != search.ProcessId || !::IsWindowVisible(window))
        return TRUE;
    search.Window = window;
    return FALSE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: start_bench SETUP_EXE\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const auto start = std::chrono::steady_clock::now();
    if (!::CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::fprintf(stderr, "start_bench: cannot start %s (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    TSearch search = {process.dwProcessId, nullptr};
    while (search.Window == nullptr && ::WaitForSingleObject(process.hProcess, 2) == WAIT_TIMEOUT)
        ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char title[256] = {};
    if (search.Window != nullptr)
        ::GetWindowTextA(search.Window, title, sizeof title);
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (search.Window == nullptr) {
        std::fprintf(stderr, "start_bench: the program ended without showing a window\n");
        return 1;
    }
    std::printf("first page after %.3f s (\"%s\")\n", seconds, title);
    return 0;
}
