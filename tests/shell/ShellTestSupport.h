// Fixtures for the Windows shell tests: a temporary folder removed with everything in it, and
// registry keys and values of the test's own, removed before and after each case.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "common/Registry.h"

// A fresh folder below the temporary-files folder; deleted with its contents (read-only and
// hidden entries included) when the fixture ends.
class TTempFolder {
public:
    // Below the temporary-files folder, or below base (with a trailing backslash).
    explicit TTempFolder(std::string base = std::string()) {
        if (base.empty()) {
            char temp[MAX_PATH + 1] = {};
            ::GetTempPathA(MAX_PATH, temp);
            base = temp;
        }
        for (unsigned attempt = 0; attempt < 100 && Folder.empty(); ++attempt) {
            const std::string candidate = base + "shelltest-" + std::to_string(::GetCurrentProcessId()) +
                                          "-" + std::to_string(::GetTickCount() + attempt);
            if (::CreateDirectoryA(candidate.c_str(), nullptr))
                Folder = candidate;
        }
        if (Folder.empty())
            throw std::runtime_error("cannot create a test folder below " + base);
    }
    ~TTempFolder() { RemoveTree(Folder); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // The folder without a trailing backslash, as the shell spells folders.
    const std::string& Path() const { return Folder; }
    std::string PathOf(const std::string& name) const { return Folder + "\\" + name; }

    // Creates an empty file (with the given attributes) and returns its path.
    std::string MakeFile(const std::string& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
        const std::string path = PathOf(name);
        HANDLE file =
            ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot create " + path);
        ::CloseHandle(file);
        return path;
    }
    std::string MakeFolder(const std::string& name) const {
        const std::string path = PathOf(name);
        if (!::CreateDirectoryA(path.c_str(), nullptr))
            throw std::runtime_error("cannot create " + path);
        return path;
    }

private:
    std::string Folder;

    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA entry;
        HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = entry.cFileName;
                if (name == "." || name == "..")
                    continue;
                const std::string path = folder + "\\" + name;
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    ::DeleteFileA(path.c_str());
            } while (::FindNextFileA(search, &entry));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(folder.c_str());
    }
};

// A registry key (with its subkeys) that belongs to the test: removed when the guard is
// created, so that a crashed earlier run leaves nothing behind, and when it ends.
class TRegistryKeyGuard {
public:
    TRegistryKeyGuard(HKEY root, std::string path) : Root(root), Path(std::move(path)) { Remove(); }
    ~TRegistryKeyGuard() { Remove(); }
    TRegistryKeyGuard(const TRegistryKeyGuard&) = delete;
    TRegistryKeyGuard& operator=(const TRegistryKeyGuard&) = delete;

    void Remove() const {
        ::RegDeleteTreeA(Root, Path.c_str());
        ::RegDeleteKeyA(Root, Path.c_str());
    }

private:
    HKEY Root;
    std::string Path;
};

// A value of the test's own in an existing key: removed before and after.
class TRegistryValueGuard {
public:
    TRegistryValueGuard(HKEY root, std::string key, std::string name)
        : Root(root), Key(std::move(key)), Name(std::move(name)) {
        Remove();
    }
    ~TRegistryValueGuard() { Remove(); }
    TRegistryValueGuard(const TRegistryValueGuard&) = delete;
    TRegistryValueGuard& operator=(const TRegistryValueGuard&) = delete;

    void Remove() const {
        HKEY key;
        if (::RegOpenKeyExA(Root, Key.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            ::RegDeleteValueA(key, Name.c_str());
            ::RegCloseKey(key);
        }
    }

private:
    HKEY Root;
    std::string Key;
    std::string Name;
};

// Writes a value below root\key, creating the key; throws when the registry refuses.
inline void WriteRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type,
                               const void* data, DWORD size) {
    const UniqueHKey handle = CreateKey(root, key, KEY_SET_VALUE);
    if (!handle)
        throw std::runtime_error("cannot create registry key " + key);
    if (::RegSetValueExA(handle.Get(), name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write registry value below " + key);
}

inline void WriteRegistryString(HKEY root, const std::string& key, const char* name, const std::string& value,
                                DWORD type = REG_SZ) {
    WriteRegistryValue(root, key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
