// Registry fixtures for the Windows tests: keys and values of the test's own, removed when
// the guard is created (so that a crashed earlier run leaves nothing behind) and when it ends,
// and writers that throw when the registry refuses.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// A key with all of its subkeys.
class TRegistryKeyGuard {
public:
    TRegistryKeyGuard(HKEY root, std::string path) : Root(root), Path(std::move(path)) { Remove(); }
    ~TRegistryKeyGuard() { Remove(); }
    TRegistryKeyGuard(const TRegistryKeyGuard&) = delete;
    TRegistryKeyGuard& operator=(const TRegistryKeyGuard&) = delete;

    void Remove() const;

private:
    HKEY Root;
    std::string Path;
};

// A value in an existing key.
class TRegistryValueGuard {
public:
    TRegistryValueGuard(HKEY root, std::string key, std::string name)
        : Root(root), Key(std::move(key)), Name(std::move(name)) {
        Remove();
    }
    ~TRegistryValueGuard() { Remove(); }
    TRegistryValueGuard(const TRegistryValueGuard&) = delete;
    TRegistryValueGuard& operator=(const TRegistryValueGuard&) = delete;

    void Remove() const;

private:
    HKEY Root;
    std::string Key;
    std::string Name;
};

bool KeyExists(HKEY root, const std::string& path);

// Writes a value below root\key, creating the key.
void WriteRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                        DWORD size);
void WriteRegistryString(HKEY root, const std::string& key, const char* name, const std::string& value,
                         DWORD type = REG_SZ);

// A string (or expandable string) or 32-bit value below root\key; none when the key or value
// is missing or of another type.
std::optional<std::string> ReadRegistryString(HKEY root, const std::string& key, const char* name);
std::optional<DWORD> ReadRegistryDword(HKEY root, const std::string& key, const char* name);
