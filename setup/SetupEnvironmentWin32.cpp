// The setup controller's view of the running Windows system.

#include <windows.h>

#include "common/FileSystem.h"
#include "common/Registry.h"
#include "common/WinHandle.h"
#include "setup/SetupEnvironment.h"
#include "shell/ShellUtils.h"

namespace {

HKEY RootKey(TRegistryRoot root) { return root == rrCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// Key paths are absolute below their root and written with a leading backslash, which
// RegOpenKeyEx does not accept.
UniqueHKey OpenKeyReadOnly(TRegistryRoot root, const std::string& path) {
    const char* relative = path.c_str();
    while (*relative == '\\')
        ++relative;
    UniqueHKey key;
    if (::RegOpenKeyExA(RootKey(root), relative, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return UniqueHKey();
    return key;
}

// Opens the key for writing values, creating it and its missing parents.
UniqueHKey CreateKeyForWriting(TRegistryRoot root, const std::string& path) {
    const char* relative = path.c_str();
    while (*relative == '\\')
        ++relative;
    UniqueHKey key;
    if (::RegCreateKeyExA(RootKey(root), relative, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          key.Put(), nullptr) != ERROR_SUCCESS)
        return UniqueHKey();
    return key;
}

bool WriteValue(TRegistryRoot root, const std::string& path, const std::string& name, DWORD type, const void* data,
                DWORD size) {
    UniqueHKey key = CreateKeyForWriting(root, path);
    return key && ::RegSetValueExA(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
                      ERROR_SUCCESS;
}

// A full path (C:\x.dll or \\server\share\x.dll), the only kind for which the loader
// defines the altered search order.
bool IsFullPath(const std::string& path) {
    const auto isDelimiter = [](char c) { return c == '\\' || c == '/'; };
    return (path.size() >= 3 && path[1] == ':' && isDelimiter(path[2])) ||
           (path.size() >= 2 && isDelimiter(path[0]) && isDelimiter(path[1]));
}

class TSystemEnvironment final : public ISetupEnvironment {
public:
    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& path) override {
        UniqueHKey key = OpenKeyReadOnly(root, path);
        if (!key)
            return std::nullopt;
        return ::SubkeyNames(key.Get());
    }

    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& path,
                                          const std::string& name) override {
        UniqueHKey key = OpenKeyReadOnly(root, path);
        if (!key)
            return std::nullopt;
        return ReadStringValue(key.Get(), name.c_str());
    }

    std::string ProgramFilesFolder() override { return GetProgramFilesFolder(); }
    std::string CommonFilesFolder() override { return GetCommonFilesFolder(); }
    std::string CommonProgramFilesFolder() override { return GetSpecialFolder(sfCommonFiles); }
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
        return WriteValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }

    bool WriteInteger(TRegistryRoot root, const std::string& path, const std::string& name,
                      int32_t value) override {
        const DWORD data = static_cast<DWORD>(value);
        return WriteValue(root, path, name, REG_DWORD, &data, sizeof data);
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
        // Setup.exe limits the search for libraries to the system folder when it starts. A
        // product library given by its full path is loaded with the altered search order,
        // which looks in the library's own folder first, so that the libraries it needs are
        // found beside it. Any other name keeps the usual search.
        UniqueModule library(
            ::LoadLibraryExA(path.c_str(), nullptr, IsFullPath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0));
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
};

} // namespace

ISetupEnvironment& SystemEnvironment() {
    static TSystemEnvironment environment;
    return environment;
}
