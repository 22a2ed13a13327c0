#include "common/Registry.h"

#include "common/WinHandle.h"

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[256]; // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::optional<std::string> ReadStringValue(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    // The stored data need not end with a NUL: one more byte keeps the buffer terminated.
    std::vector<char> data(size + 1, '\0');
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::string(data.data());
}

bool DeleteKeyTree(HKEY parent, const std::string& subKey) {
    UniqueHKey key;
    if (::RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, key.Put()) != ERROR_SUCCESS)
        return false;
    // The names first: deleting while enumerating would shift the indices.
    for (const std::string& child : SubkeyNames(key.Get()))
        DeleteKeyTree(key.Get(), child);
    key.Reset();
    return ::RegDeleteKeyA(parent, subKey.c_str()) == ERROR_SUCCESS;
}
