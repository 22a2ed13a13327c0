// The registry: the one place that opens, creates, reads, writes and deletes keys, for the
// engines, the setup controller, the shell services and the Windows tests. Windows only.
//
// Key paths are given below a root, as the configuration and the install log write them: with
// or without a leading backslash. The registry functions refuse a leading backslash, so it is
// dropped here, once. A key that cannot be opened comes back as an empty handle, a missing value
// as an empty optional: both are normal, and callers fall back to a default.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/WinHandle.h"

// The path without its leading backslashes.
std::string RelativeKeyPath(const std::string& path);

// Opens an existing key; empty when it is missing or the access is refused.
UniqueHKey OpenKey(HKEY root, const std::string& path, REGSAM access = KEY_READ);
// Opens a key, creating it and its missing parents first; empty on failure.
UniqueHKey CreateKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS);

// The names of the key's direct subkeys, in the registry's order.
std::vector<std::string> SubkeyNames(HKEY key);

// The string value name (nullptr or "" for the key's default value): REG_SZ, or REG_EXPAND_SZ
// returned unexpanded, cut at its first NUL. Nothing when the value is missing or of another type.
std::optional<std::string> ReadStringValue(HKEY key, const char* name);
// The REG_DWORD value name; nothing when it is missing or of another type.
std::optional<DWORD> ReadDwordValue(HKEY key, const char* name);

// Writes a REG_SZ or REG_DWORD value; false on failure.
bool WriteStringValue(HKEY key, const char* name, const std::string& value);
bool WriteDwordValue(HKEY key, const char* name, DWORD value);

// Deletes the key at path below parent with all of its subkeys. An empty path would name the
// parent itself and is refused. RegDeleteKeyA refuses a key that still has subkeys, and
// RegDeleteTreeA is missing before Windows Vista, so the walk is our own.
bool DeleteKeyTree(HKEY parent, const std::string& path);
