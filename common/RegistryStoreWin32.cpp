// The system's registry behind the uninstall engine's registry interface.

#include <windows.h>

#include "common/Registry.h"
#include "common/RegistryStore.h"

namespace {

HKEY RootKey(TRegistryHive root) {
    return root == TRegistryHive::ClassesRoot   ? HKEY_CLASSES_ROOT
           : root == TRegistryHive::CurrentUser ? HKEY_CURRENT_USER
                                                : HKEY_LOCAL_MACHINE;
}

// The registry functions refuse empty names between backslashes: every path goes through
// CleanKeyPath.
class TSystemRegistry : public IRegistryStore {
public:
    bool DeleteKeyTree(TRegistryHive root, const std::string& path) override {
        return ::DeleteKeyTree(RootKey(root), CleanKeyPath(path));
    }

    bool DeleteEmptyKey(TRegistryHive root, const std::string& path) override {
        const std::string clean = CleanKeyPath(path);
        if (clean.empty())
            return false;
        UniqueHKey key = OpenKey(RootKey(root), clean, KEY_QUERY_VALUE);
        DWORD subkeys = 0;
        DWORD values = 0;
        if (!key ||
            ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return false;
        key.Reset();
        // RegDeleteKeyA refuses a key with subkeys, but takes its values with it: the check
        // above keeps a value written in between only if it came before it.
        return ::RegDeleteKeyA(RootKey(root), clean.c_str()) == ERROR_SUCCESS;
    }
};

} // namespace

IRegistryStore& SystemRegistry() {
    // Holds nothing: every call goes to the system.
    static TSystemRegistry registry;
    return registry;
}
