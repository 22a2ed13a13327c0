// The setup controller's view of the running Windows system.

#include <windows.h>

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
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
