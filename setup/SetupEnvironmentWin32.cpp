// The setup controller's view of the running Windows system.

#include <windows.h>

#include "common/FileSystem.h"
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

class TSystemEnvironment final : public ISetupEnvironment {
public:
    std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& path) override {
        UniqueHKey key = OpenKeyReadOnly(root, path);
        if (!key)
            return std::nullopt;
        DWORD count = 0;
        DWORD longest = 0;
        if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return std::vector<std::string>();
        std::vector<std::string> names;
        std::vector<char> name(longest + 1);
        for (DWORD index = 0; index < count; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            if (::RegEnumKeyExA(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            names.emplace_back(name.data(), length);
        }
        return names;
    }

    std::optional<std::string> ReadString(TRegistryRoot root, const std::string& path,
                                          const std::string& name) override {
        UniqueHKey key = OpenKeyReadOnly(root, path);
        if (!key)
            return std::nullopt;
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        // The stored data need not end with a NUL: one more byte keeps the buffer terminated.
        std::vector<char> data(size + 1, '\0');
        if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                               &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::string(data.data());
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
};

} // namespace

ISetupEnvironment& SystemEnvironment() {
    static TSystemEnvironment environment;
    return environment;
}
