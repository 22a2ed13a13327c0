// The setup controller's view of the running Windows system.

#include <windows.h>

#include <sddl.h>

#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/Registry.h"
#include "common/WinHandle.h"
#include "setup/SetupEnvironment.h"
#include "shell/ShellUtils.h"

namespace {

HKEY RootKey(TRegistryRoot root) { return root == rrCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// Key paths are absolute below their root and written with a leading backslash, which the
// registry module drops. Values are written into the key, created with its missing parents.
UniqueHKey KeyForWriting(TRegistryRoot root, const std::string& path) {
    return CreateKey(RootKey(root), path, KEY_SET_VALUE);
}

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Loads a product library of [CallLibraries] without searching a folder that a standard user
// may write to; the program may run with administrator rights from Downloads.
// - A bare name ("helper.dll") is loaded from the system folder only, never from the program's
//   folder, where the usual search would look first when the system lacks the restriction the
//   program sets at its start (SetDefaultDllDirectories, Windows 7 with KB2533623 on).
// - A full path: the libraries it needs are searched in its own folder and the system folder
//   only (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32, which Windows
//   offers where it offers SetDefaultDllDirectories; asking for them elsewhere fails with
//   ERROR_INVALID_PARAMETER). Without them, LOAD_WITH_ALTERED_SEARCH_PATH searches its own
//   folder first, then the usual places, the current folder among them, which the program
//   has made the system folder.
// - Anything else ("sub\x.dll") is relative to the current folder, the system folder.
HMODULE LoadProductLibrary(const std::string& path) {
    std::string file = path;
    if (path.find_first_of("\\/:") == std::string::npos) {
        char system[MAX_PATH];
        const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        file = std::string(system, length) + "\\" + path;
    } else if (!IsFullPath(path)) {
        return ::LoadLibraryExA(path.c_str(), nullptr, 0);
    }
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const bool searchFlags =
        kernel != nullptr && ::GetProcAddress(kernel, "SetDefaultDllDirectories") != nullptr;
    return ::LoadLibraryExA(file.c_str(), nullptr,
                            searchFlags ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                                        : LOAD_WITH_ALTERED_SEARCH_PATH);
}

class TSystemEnvironment final : public ISetupEnvironment {
public:
    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& path) override {
        UniqueHKey key = OpenKey(RootKey(root), path);
        if (!key)
            return std::nullopt;
        return ::SubkeyNames(key.Get());
    }

    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& path,
                                          const std::string& name) override {
        UniqueHKey key = OpenKey(RootKey(root), path);
        if (!key)
            return std::nullopt;
        return ReadStringValue(key.Get(), name.c_str());
    }

    std::string ProgramFilesFolder() override { return GetProgramFilesFolder(); }
    std::string CommonFilesFolder() override { return GetCommonFilesFolder(); }
    std::string CommonProgramFilesFolder() override { return GetSpecialFolder(sfCommonFiles); }

    std::string NativeProgramFilesFolder() override {
        // "ProgramFilesDir" of the 64-bit view of the machine's settings, which the registry
        // shows a 32-bit program only when asked for that view; rather than the variable
        // ProgramW6432, which a variable of the user's own would override in the process's
        // environment, also when it runs elevated. On 32-bit Windows the flag is ignored and the
        // answer is the one Program Files folder. (Wine has no "ProgramW6432Dir" there.)
        UniqueHKey key = OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                 KEY_READ | KEY_WOW64_64KEY);
        if (!key)
            return std::string();
        return ExcludeDelimiter(ReadStringValue(key.Get(), "ProgramFilesDir").value_or(std::string()));
    }
    std::string ApplicationDataFolder() override { return GetApplicationDataFolder(); }
    std::string DocumentsFolder() override { return GetDocumentsFolder(); }

    std::string UserName() override {
        char name[1025] = {};
        DWORD size = sizeof name;
        if (!::GetUserNameA(name, &size))
            return std::string();
        return name;
    }

    bool FileExists(const std::string& path) override { return ::FileExists(path); }

    bool WriteString(TRegistryRoot root, const std::string& path, const std::string& name,
                     const std::string& value) override {
        UniqueHKey key = KeyForWriting(root, path);
        return key && WriteStringValue(key.Get(), name.c_str(), value);
    }

    bool WriteInteger(TRegistryRoot root, const std::string& path, const std::string& name,
                      int32_t value) override {
        UniqueHKey key = KeyForWriting(root, path);
        return key && WriteDwordValue(key.Get(), name.c_str(), static_cast<DWORD>(value));
    }

    uint64_t FreeDiskSpace(const std::string& root) override {
        // The first figure is what the calling user may fill; disk quotas make it smaller than
        // the volume's free space.
        ULARGE_INTEGER available;
        if (!::GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr))
            return 0;
        return available.QuadPart;
    }

    bool CallLibraryExport(const std::string& path, const std::string& exportName) override {
        // The loader shows no box of its own for a library (or a library it needs) that is
        // missing or damaged: such a library is simply passed over.
        const UINT errorMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        UniqueModule library(LoadProductLibrary(path));
        ::SetErrorMode(errorMode);
        if (!library)
            return false;
        using TProcedure = void(WINAPI*)();
        const auto procedure = reinterpret_cast<TProcedure>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), exportName.c_str())));
        if (procedure == nullptr)
            return false;
        procedure();
        return true;
    }

    std::string StartMenuFolder() override { return GetSpecialFolder(sfPrograms); }
    std::string DesktopFolder() override { return GetSpecialFolder(sfDesktop); }

    bool CreateProtectedFolder(const std::string& path) override {
        // Program Files' own list, without the entries for the installer service and app
        // packages: SYSTEM and Administrators full control, Users read and execute, each for the
        // folder, its subfolders and files (OICI). "P" keeps out what the parent would pass on
        // (below a drive's root, that is "Authenticated Users: modify"); "AI" marks the entries
        // as ones that inheritance propagates. The list is given at creation, so that there is
        // no moment in which a standard user may create something inside the new folder and own
        // it. A volume without access lists (FAT) creates the folder without one.
        UniqueLocal descriptor;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1,
                descriptor.Put(), nullptr))
            return false;
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.Get(), FALSE};
        return ::CreateDirectoryA(path.c_str(), &attributes) != FALSE;
    }
};

} // namespace

ISetupEnvironment& SystemEnvironment() {
    static TSystemEnvironment environment;
    return environment;
}
