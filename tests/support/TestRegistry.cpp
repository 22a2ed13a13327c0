#include "tests/support/TestRegistry.h"

#include <stdexcept>

#include "common/WinHandle.h"

void TRegistryKeyGuard::Remove() const {
    ::RegDeleteTreeA(Root, Path.c_str());
    ::RegDeleteKeyA(Root, Path.c_str());
}

void TRegistryValueGuard::Remove() const {
    UniqueHKey key;
    if (::RegOpenKeyExA(Root, Key.c_str(), 0, KEY_SET_VALUE, key.Put()) == ERROR_SUCCESS)
        ::RegDeleteValueA(key.Get(), Name.c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
    UniqueHKey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

void WriteRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                        DWORD size) {
    UniqueHKey handle;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(), nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create registry key " + key);
    if (::RegSetValueExA(handle.Get(), name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write registry value below " + key);
}

void WriteRegistryString(HKEY root, const std::string& key, const char* name, const std::string& value,
                         DWORD type) {
    WriteRegistryValue(root, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
