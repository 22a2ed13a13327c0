// Program entry of Setup.exe and of its uninstaller copy Uninst.exe.
#include <windows.h>

#include <exception>

#include "app/Startup.h"
#include "common/WinHandle.h"
#include "ui/Font.h"

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// A setup program usually runs from a downloads folder, where someone may have planted a
// DLL named like a system library. The program imports only DLLs that Windows always takes
// from its own folder (the KnownDLLs, and the common controls through the manifest's
// side-by-side activation); this makes every later load, also those that system DLLs make
// on our behalf, search only the system folder. SetDefaultDllDirectories exists from
// Windows 7 with update KB2533623 on and SetDllDirectoryA from XP SP1 on, so both are
// looked up rather than imported.
void RestrictDllSearchToSystemFolder() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return;
    auto lookUp = [kernel](const char* name) {
        return reinterpret_cast<void*>(::GetProcAddress(kernel, name));
    };
    if (void* setDefaultDllDirectories = lookUp("SetDefaultDllDirectories"))
        reinterpret_cast<BOOL(WINAPI*)(DWORD)>(setDefaultDllDirectories)(LOAD_LIBRARY_SEARCH_SYSTEM32);
    else if (void* setDllDirectory = lookUp("SetDllDirectoryA"))
        // Older systems: at least take the current folder out of the search path.
        reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(setDllDirectory)("");
}

// The top level: an error that no flow has handled ends the program here.
void ShowApplicationError(const char* message) {
    ::MessageBoxA(nullptr, message, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

int Run() {
    // The modules' start-up: resolution awareness and the interface font, in both modes.
    InitializeUiFont();
    // The component model in the single-threaded apartment, for the shell services
    // (shortcuts, folder browsing); balanced when this function returns.
    TComInitializer com;
    if (IsUninstaller()) {
        RunUninstaller();
        return 0;
    }
    return RunSetup();
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemFolder();
    try {
        return Run();
    } catch (const std::exception& error) {
        ShowApplicationError(error.what());
    } catch (...) {
        ShowApplicationError("Unexpected error");
    }
    return 1;
}
