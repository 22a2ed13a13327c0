// The registry as the uninstall engine sees it: an interface with the system's registry behind
// it on Windows (RegistryStoreWin32.cpp, over Registry.h); the tests have one in memory
// (tests/support/MemoryRegistry.h). Portable: no <windows.h> here.
//
// Key paths are given below a root as the install log writes them: a leading backslash, and
// doubled or trailing ones, are allowed. Names compare as the registry compares them: without
// regard to letter case.
#pragma once

#include <string>
#include <vector>

// The three roots the install log names (C, U, M). (The setup controller's environment has a
// registry of its own with the two roots it writes.)
enum class TRegistryHive { ClassesRoot, CurrentUser, LocalMachine };

class IRegistryStore {
public:
    virtual ~IRegistryStore() = default;
    // Deletes the key with all its subkeys and values; false when it is missing, the path names
    // the root itself, or something could not be deleted.
    virtual bool DeleteKeyTree(TRegistryHive root, const std::string& path) = 0;
    // Deletes the key only when it exists and holds neither values nor subkeys.
    virtual bool DeleteEmptyKey(TRegistryHive root, const std::string& path) = 0;
};

// The system's registry on Windows (a 32-bit program sees the 32-bit view, as when it wrote
// the keys); elsewhere a registry that holds nothing and deletes nothing.
IRegistryStore& SystemRegistry();

// The path's key names without the empty ones that stray backslashes make.
std::vector<std::string> KeyPathNames(const std::string& path);
// Those names joined with single backslashes, as the registry functions take a path.
std::string CleanKeyPath(const std::string& path);
