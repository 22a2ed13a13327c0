// A stand-in for a DLL planted beside a setup program: loading it leaves a marker file named
// after the name it was loaded under (NAME.dll.loaded) in the folder given by PLANTED_DLL_MARKERS,
// or beside itself. It exports nothing, and uses kernel32 alone.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(instance, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    const char* name = self;
    for (const char* p = self; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    char marker[MAX_PATH + 32];
    const DWORD folder = ::GetEnvironmentVariableA("PLANTED_DLL_MARKERS", marker, MAX_PATH);
    if (folder == 0 || folder >= MAX_PATH) {
        lstrcpynA(marker, self, static_cast<int>(name - self) + 1);
    } else {
        lstrcatA(marker, "\\");
    }
    lstrcatA(marker, name);
    lstrcatA(marker, ".loaded");
    HANDLE file =
        ::CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, self, length, &written, nullptr);
        ::CloseHandle(file);
    }
    return TRUE;
}
