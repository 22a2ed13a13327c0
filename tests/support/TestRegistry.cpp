#include "tests/support/TestRegistry.h"

#include <stdexcept>

#include "common/Registry.h"
#include "common/WinHandle.h"

void TRegistryKeyGuard::Remove() const { DeleteKeyTree(Root, Path); }

void TRegistryValueGuard::Remove() const {
    if (const UniqueHKey key = OpenKey(Root, Key, KEY_SET_VALUE))
        ::RegDeleteValueA(key.Get(), Name.c_str());
}

bool KeyExists(HKEY root, const std::string& path) { return static_cast<bool>(OpenKey(root, path)); }

void WriteRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                        DWORD size) {
    const UniqueHKey handle = CreateKey(root, key, KEY_SET_VALUE);
    if (!handle)
        throw std::runtime_error("cannot create registry key " + key);
    if (::RegSetValueExA(handle.Get(), name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write registry value below " + key);
}

void WriteRegistryString(HKEY root, const std::string& key, const char* name, const std::string& value,
                         DWORD type) {
    WriteRegistryValue(root, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

std::optional<std::string> ReadRegistryString(HKEY root, const std::string& key, const char* name) {
    const UniqueHKey handle = OpenKey(root, key);
    return handle ? ReadStringValue(handle.Get(), name) : std::nullopt;
}

std::optional<DWORD> ReadRegistryDword(HKEY root, const std::string& key, const char* name) {
    const UniqueHKey handle = OpenKey(root, key);
    return handle ? ReadDwordValue(handle.Get(), name) : std::nullopt;
}
