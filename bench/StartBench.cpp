// The time from starting a setup program to its first page: starts the program, waits until
// a visible top-level window of its process titled TITLE appears (any title when none is
// given), prints the time and that window's title, and ends the program. A window that shows
// before it (the archive check's, on a slow read) is reported with its time and the positions
// its bar took. Run it under Wine.
// Usage: start_bench SETUP_EXE [TITLE]

#include <windows.h>

#include <commctrl.h>

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

std::string TitleOf(HWND window) {
    char title[256] = {};
    ::GetWindowTextA(window, title, sizeof title);
    return title;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: start_bench SETUP_EXE [TITLE]\n");
        return 2;
    }
    const std::string wanted = argc > 2 ? argv[2] : "";
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const auto start = std::chrono::steady_clock::now();
    auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    if (!::CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::fprintf(stderr, "start_bench: cannot start %s (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    // The check's window, when one shows first: its time and its bar's positions.
    HWND before = nullptr;
    std::string beforeTitle;
    double beforeAt = 0;
    std::string positions;
    int lastPosition = -1;
    HWND found = nullptr;
    while (!found && ::WaitForSingleObject(process.hProcess, 2) == WAIT_TIMEOUT) {
        TSearch search = {process.dwProcessId, nullptr};
        ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (!search.Window)
            continue;
        if (wanted.empty() || TitleOf(search.Window) == wanted) {
            found = search.Window;
        } else {
            if (!before) {
                before = search.Window;
                beforeTitle = TitleOf(before);
                beforeAt = since();
            }
            DWORD_PTR position = 0;
            if (::SendMessageTimeoutA(::GetDlgItem(search.Window, 0x100), PBM_GETPOS, 0, 0, SMTO_NORMAL, 1000,
                                      &position) &&
                static_cast<int>(position) != lastPosition) {
                lastPosition = static_cast<int>(position);
                positions += " " + std::to_string(lastPosition);
            }
        }
    }
    const double seconds = since();
    const std::string title = found ? TitleOf(found) : std::string();
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (before)
        std::printf("window \"%s\" after %.3f s, bar at%s\n", beforeTitle.c_str(), beforeAt,
                    positions.c_str());
    if (!found) {
        std::fprintf(stderr, "start_bench: the program ended without showing its first page\n");
        return 1;
    }
    std::printf("first page after %.3f s (\"%s\")\n", seconds, title.c_str());
    return 0;
}
