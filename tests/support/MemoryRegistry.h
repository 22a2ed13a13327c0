// The uninstall engine's registry in memory, for tests that replay a log natively.
#pragma once

#include <map>
#include <string>

#include "common/RegistryStore.h"

// Keys in memory. A key holds a count of values; adding a key adds its missing parents.
class TMemoryRegistry : public IRegistryStore {
public:
    void AddKey(TRegistryHive root, const std::string& path, int values = 0);
    bool KeyExists(TRegistryHive root, const std::string& path) const;
    bool DeleteKeyTree(TRegistryHive root, const std::string& path) override;
    bool DeleteEmptyKey(TRegistryHive root, const std::string& path) override;

private:
    // By root and the path's names joined with "\", in lower case.
    std::map<std::string, int> Keys;
    static std::string KeyOf(TRegistryHive root, const std::string& path);
};
