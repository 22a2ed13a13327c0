// Small registry helpers over an open key, shared by the engines, the shell services and the
// setup controller. Windows only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The names of the key's direct subkeys, in the registry's order.
std::vector<std::string> SubkeyNames(HKEY key);

// The string value name (nullptr or "" for the key's default value): REG_SZ, or REG_EXPAND_SZ
// returned unexpanded, cut at its first NUL. Nothing when the value is missing or of another type.
std::optional<std::string> ReadStringValue(HKEY key, const char* name);

// Deletes subKey of parent with all of its subkeys. RegDeleteKeyA refuses a key that still has
// subkeys, and RegDeleteTreeA is missing on older systems, so the walk is our own.
bool DeleteKeyTree(HKEY parent, const std::string& subKey);
