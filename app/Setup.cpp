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

// Loads a DLL by its full path in the system folder, its own imports resolved from there.
void LoadFromSystemFolder(const char* name) {
    char path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH)
        return;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A setup program usually runs from a downloads folder, where someone may have planted a DLL
// named like a system library: the loader searches the program's folder before the system
// folder for every DLL that is not one of Windows' KnownDLLs, also for the imports of system
// DLLs and for the DLLs they load later by bare name.
//
// So the program imports only kernel32 and msvcrt, both KnownDLLs, statically. Every other
// system DLL (user32, gdi32, comctl32, shell32, ole32, advapi32, ...) is linked for delay
// loading (app/make-delay-import-lib.sh): the first call into it loads it through
// LoadLibraryA, after this function has run at the program's entry point, before the C
// runtime's start-up and any static constructor. From then on every load, also those that
// system DLLs make on our behalf, searches only the system folder.
//
// Wine differs from Windows here: it has no KnownDLLs, and its builtin DLLs import others when
// they load (user32 imports version and imm32, shell32 many more), each searched in the
// program's folder first. A statically imported user32 thus loads a planted version.dll under
// Wine before any code of ours runs; on Windows the same happens to the non-KnownDLLs that
// system DLLs load later (uxtheme, dwmapi, propsys, ...).
//
// SetDefaultDllDirectories exists from Windows 7 with update KB2533623 on and SetDllDirectoryA
// from XP SP1 on, so both are looked up rather than imported.
void RestrictDllSearchToSystemFolder() {
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return;
    auto lookUp = [kernel](const char* name) {
        return reinterpret_cast<void*>(::GetProcAddress(kernel, name));
    };
    void* setDefaultDllDirectories = lookUp("SetDefaultDllDirectories");
    if (setDefaultDllDirectories &&
        reinterpret_cast<BOOL(WINAPI*)(DWORD)>(setDefaultDllDirectories)(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Wine's builtin DLLs resolve their own delayed imports past the restriction, by bare
        // name from the program's folder first; msimg32 is loaded that way while the wizard
        // draws. Loaded now from the system folder, it is found loaded then. (On Windows this
        // only loads a small system DLL early.)
        LoadFromSystemFolder("msimg32.dll");
        return;
    }
    // Without it the program's folder cannot be taken out of the search. SetDllDirectoryA
    // takes at least the current folder out; the DLLs the program uses, and those that system
    // DLLs load later by name, are loaded by their full path in the system folder, so that the
    // delayed loads by name find them loaded. comctl32 is left to the manifest's side-by-side
    // activation, which takes the system's version 6 and never the program's folder.
    if (void* setDllDirectory = lookUp("SetDllDirectoryA"))
        reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(setDllDirectory)("");
    for (const char* name : {"advapi32.dll", "gdi32.dll", "user32.dll", "ole32.dll", "oleaut32.dll",
                             "shell32.dll", "comdlg32.dll", "version.dll", "uxtheme.dll", "dwmapi.dll",
                             "msimg32.dll", "propsys.dll", "userenv.dll"})
        LoadFromSystemFolder(name);
}

// The current folder a program inherits is usually the folder it was started from (Downloads,
// the program's own folder when Explorer starts it). The program itself uses only full paths;
// what would use the current folder is a library load that falls back to the usual search
// (where the system lacks SetDefaultDllDirectories, and for the libraries a product library
// needs when it is loaded with LOAD_WITH_ALTERED_SEARCH_PATH), and Windows refuses to remove a
// folder that is a process's current folder, which would keep the uninstaller's own folder.
// The system folder is none a standard user can write to.
void MakeSystemFolderCurrent() {
    char path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        ::SetCurrentDirectoryA(path);
}

// The top level: an error that no flow has handled ends the program here.
void ShowApplicationError(const char* message) {
    ::MessageBoxA(nullptr, message, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

int Run() {
    // Resolution awareness, in both modes; the wizard chooses its interface font itself.
    EnableDpiAwareness();
    // The component model in the single-threaded apartment, for the shell services
    // (shortcuts, folder browsing); balanced when this function returns.
    TComInitializer com;
    MakeSystemFolderCurrent();
    if (IsUninstaller()) {
        RunUninstaller();
        return 0;
    }
    return RunSetup();
}

} // namespace

// The program's entry point (linked with --entry): the C runtime's own entry, which sets up
// the runtime, runs the static constructors and calls WinMain, comes after the restriction.
extern "C" int WinMainCRTStartup();
extern "C" int SetupStartup() {
    RestrictDllSearchToSystemFolder();
    return WinMainCRTStartup();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        return Run();
    } catch (const std::exception& error) {
        ShowApplicationError(error.what());
    } catch (...) {
        ShowApplicationError("Unexpected error");
    }
    return 1;
}
