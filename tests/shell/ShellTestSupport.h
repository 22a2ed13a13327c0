// Fixtures for the Windows shell tests: a temporary folder removed with everything in it; the
// registry fixtures come from tests/support.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/support/TestRegistry.h"

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
