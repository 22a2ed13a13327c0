// A fresh folder below the temporary-files folder for one test, removed with what the test
// registered in it when the test ends.
#pragma once

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/FileSystem.h"

class TTestFolder {
public:
    TTestFolder() {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100 && Folder.empty(); ++attempt) {
            const std::string candidate = TempDirectory() + "coretest-" + std::to_string(random());
            if (CreateDir(candidate))
                Folder = candidate + PathDelimiter();
        }
        if (Folder.empty())
            throw std::runtime_error("cannot create a test folder in " + TempDirectory());
    }
    ~TTestFolder() {
        for (auto it = Files.rbegin(); it != Files.rend(); ++it) {
            ClearReadOnly(*it);
            DeleteFileAt(*it);
        }
        for (auto it = Folders.rbegin(); it != Folders.rend(); ++it)
            RemoveDir(*it);
        RemoveDir(Folder);
    }
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder with a trailing delimiter.
    const std::string& Path() const { return Folder; }
    // A path inside the folder that is not registered for removal.
    std::string PathOf(const std::string& name) const { return Folder + name; }
    // A path inside the folder of a file (or folder) the test may create; removed at the end.
    std::string File(const std::string& name) {
        Files.push_back(Folder + name);
        return Files.back();
    }
    std::string SubFolder(const std::string& name) {
        Folders.push_back(Folder + name);
        return Folders.back();
    }

private:
    std::string Folder;
    std::vector<std::string> Files;
    std::vector<std::string> Folders;
};
