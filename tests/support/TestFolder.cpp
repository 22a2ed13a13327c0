#include "tests/support/TestFolder.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include "common/FileSystem.h"
#include "tests/support/Bytes.h"

namespace fs = std::filesystem;

TTestFolder::TTestFolder() : TTestFolder(TempDirectory()) {}

TTestFolder::TTestFolder(const std::string& base) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100 && Folder.empty(); ++attempt) {
        const std::string candidate = base + "test-" + std::to_string(random());
        if (CreateDir(candidate))
            Folder = candidate + PathDelimiter();
    }
    if (Folder.empty())
        throw std::runtime_error("cannot create a test folder below " + base);
}

TTestFolder::~TTestFolder() {
    // Windows refuses to delete a read-only file, so the attribute goes first.
    std::error_code ignored;
    std::vector<std::string> entries;
    for (fs::recursive_directory_iterator it(Folder, ignored), end; !ignored && it != end;
         it.increment(ignored))
        entries.push_back(it->path().string());
    for (const std::string& entry : entries)
        ClearReadOnly(entry);
    fs::remove_all(Folder, ignored);
}

std::string TTestFolder::MakeFolder(const std::string& relative) const {
    fs::create_directories(PathOf(relative));
    return PathOf(relative);
}

std::string TTestFolder::MakeFile(const std::string& relative, const std::string& content) const {
    const fs::path path = PathOf(relative);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    WriteBytes(path, content);
    return PathOf(relative);
}
