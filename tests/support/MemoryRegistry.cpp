#include "tests/support/MemoryRegistry.h"

#include "common/CommonUtils.h"

std::string TMemoryRegistry::KeyOf(TRegistryHive root, const std::string& path) {
    std::string key(1, static_cast<char>('0' + static_cast<int>(root)));
    for (const std::string& name : KeyPathNames(path)) {
        key += '\\';
        key += AsciiLowerCase(name);
    }
    return key;
}

void TMemoryRegistry::AddKey(TRegistryHive root, const std::string& path, int values) {
    const std::string key = KeyOf(root, path);
    for (size_t end = key.find('\\', 2); end != std::string::npos; end = key.find('\\', end + 1))
        Keys.emplace(key.substr(0, end), 0);
    Keys[key] += values;
}

bool TMemoryRegistry::KeyExists(TRegistryHive root, const std::string& path) const {
    return Keys.count(KeyOf(root, path)) != 0;
}

bool TMemoryRegistry::DeleteKeyTree(TRegistryHive root, const std::string& path) {
    const std::string key = KeyOf(root, path);
    const auto first = Keys.find(key);
    if (key.size() < 2 || first == Keys.end())
        return false;
    Keys.erase(first);
    // Below it: the names that begin with the key and a backslash, which need not follow the
    // key itself ("a-b" sorts between "a" and "a\b").
    const std::string prefix = key + "\\";
    auto last = Keys.lower_bound(prefix);
    const auto firstBelow = last;
    while (last != Keys.end() && last->first.compare(0, prefix.size(), prefix) == 0)
        ++last;
    Keys.erase(firstBelow, last);
    return true;
}

bool TMemoryRegistry::DeleteEmptyKey(TRegistryHive root, const std::string& path) {
    const std::string key = KeyOf(root, path);
    const auto found = Keys.find(key);
    if (key.size() < 2 || found == Keys.end() || found->second != 0)
        return false;
    const std::string prefix = key + "\\";
    const auto below = Keys.lower_bound(prefix);
    if (below != Keys.end() && below->first.compare(0, prefix.size(), prefix) == 0)
        return false;
    Keys.erase(found);
    return true;
}
