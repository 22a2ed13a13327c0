#include "shell/ProductClaim.h"

#include "common/CommonUtils.h"

namespace {

// The objects' names: the product's name in lower case, without backslashes, which a kernel
// object's name cannot hold beyond its namespace. "Local\": the setup program and the
// uninstaller both ask for administrator rights, and an elevated process and the user's own
// share one namespace per session; a window can be brought forward only within a session.
std::string ObjectName(const char* kind, const std::string& productName) {
    std::string name = AsciiLowerCase(productName);
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return std::string("Local\\Setup ") + kind + " " + name;
}

struct TWindowSearch {
    DWORD ProcessId;
    HWND Found = nullptr;
};

// The process's topmost visible window that takes input: a message box or dialog rather than
// the window it disables. EnumWindows goes from the top of the order down.
BOOL CALLBACK FindFrontWindow(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<TWindowSearch*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != search.ProcessId || !::IsWindowVisible(window))
        return TRUE;
    if (!search.Found)
        search.Found = window;
    if (!::IsWindowEnabled(window))
        return TRUE;
    search.Found = window;
    return FALSE;
}

void BringForward(DWORD processId) {
    TWindowSearch search = {processId};
    ::EnumWindows(FindFrontWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.Found)
        return;
    if (::IsIconic(search.Found))
        ::ShowWindow(search.Found, SW_RESTORE);
    // Windows lets a process that the user has just started take the foreground; the first
    // program's window then takes the user's next keystroke. Where it refuses (focus stealing
    // prevention, when the user has turned to another program meanwhile), the window's button
    // on the taskbar flashes instead.
    if (!::SetForegroundWindow(search.Found)) {
        FLASHWINFO flash = {sizeof flash, search.Found, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
        ::FlashWindowEx(&flash);
    }
}

} // namespace

bool TProductClaim::Claim(const std::string& productName) {
    // Only the mutex's existence counts; nobody waits on it. A process that may not open it
    // (another user's in the same session) is taken to hold it as well.
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, ObjectName("Run", productName).c_str()));
    const DWORD error = ::GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        Mutex = std::move(mutex);
        Owner.Reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                         ObjectName("Owner", productName).c_str()));
        if (Owner) {
            if (void* view = ::MapViewOfFile(Owner.Get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
                *static_cast<DWORD*>(view) = ::GetCurrentProcessId();
                ::UnmapViewOfFile(view);
            }
        }
        return true;
    }
    // The first one writes its id just after it has created the mutex; a second one that comes
    // in between ends without bringing anything forward.
    UniqueHandle owner(::OpenFileMappingA(FILE_MAP_READ, FALSE, ObjectName("Owner", productName).c_str()));
    if (owner) {
        if (void* view = ::MapViewOfFile(owner.Get(), FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
            const DWORD processId = *static_cast<const DWORD*>(view);
            ::UnmapViewOfFile(view);
            if (processId != 0)
                BringForward(processId);
        }
    }
    return false;
}
