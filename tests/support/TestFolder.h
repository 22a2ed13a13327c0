// A fresh folder for one test, removed with everything in it (read-only entries included) when
// the test ends. Paths inside it are plain strings in the platform's spelling, as the file layer
// takes them.
#pragma once

#include <string>

class TTestFolder {
public:
    // Below the temporary-files folder.
    TTestFolder();
    // Below base, given with a trailing delimiter.
    explicit TTestFolder(const std::string& base);
    ~TTestFolder();
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;

    // The folder with a trailing delimiter.
    const std::string& Path() const { return Folder; }
    // A path below the folder; nothing is created.
    std::string PathOf(const std::string& relative) const { return Folder + relative; }
    // Creates the folder at relative with its parents and returns its path.
    std::string MakeFolder(const std::string& relative) const;
    // Writes a file at relative, creating its parent folders, and returns its path.
    std::string MakeFile(const std::string& relative, const std::string& content = std::string()) const;

private:
    std::string Folder;
};
