#include "common/Registry.h"

std::string RelativeKeyPath(const std::string& path) {
    const size_t start = path.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : path.substr(start);
}

UniqueHKey OpenKey(HKEY root, const std::string& path, REGSAM access) {
    UniqueHKey key;
    if (::RegOpenKeyExA(root, RelativeKeyPath(path).c_str(), 0, access, key.Put()) != ERROR_SUCCESS)
        return UniqueHKey();
    return key;
}

UniqueHKey CreateKey(HKEY root, const std::string& path, REGSAM access) {
    UniqueHKey key;
    if (::RegCreateKeyExA(root, RelativeKeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                          nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return UniqueHKey();
    return key;
}

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

std::optional<DWORD> ReadDwordValue(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

bool WriteStringValue(HKEY key, const char* name, const std::string& value) {
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteDwordValue(HKEY key, const char* name, DWORD value) {
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY parent, const std::string& path) {
    const std::string subKey = RelativeKeyPath(path);
    if (subKey.empty())
        return false;
    UniqueHKey key = OpenKey(parent, subKey, KEY_ALL_ACCESS);
    if (!key)
        return false;
    // The names first: deleting while enumerating would shift the indices.
    for (const std::string& child : SubkeyNames(key.Get()))
        DeleteKeyTree(key.Get(), child);
    key.Reset();
    return ::RegDeleteKeyA(parent, subKey.c_str()) == ERROR_SUCCESS;
}
