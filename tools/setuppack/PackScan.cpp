// Scanning the product folder into the tree of entries to pack.

#include "tools/setuppack/PackTree.h"

#include <algorithm>

#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/Packer.h"

namespace fs = std::filesystem;

namespace Packing {

using namespace Archive;

namespace {

// Lists one folder; depth is that of the list being built (0 for the top level).
std::vector<TPackEntry> ScanFolder(const fs::path& folder, const std::string& displayFolder, int depth) {
    std::vector<TPackEntry> entries;
    for (const fs::directory_entry& item : fs::directory_iterator(folder)) {
        const std::string utf8Name = item.path().filename().u8string();
        if (utf8Name == ".keep")
            continue;
        TPackEntry entry;
        entry.DisplayPath = displayFolder.empty() ? utf8Name : displayFolder + "/" + utf8Name;
        entry.Name = StoredName(utf8Name, entry.DisplayPath);
        entry.Source = item.path();
        const fs::file_status status = item.status(); // follows symbolic links
        if (fs::is_directory(status)) {
            if (depth >= MaxFolderDepth)
                throw EPackError(Quoted(entry.DisplayPath) + " lies deeper than 64 folders");
            entry.Folder = true;
            entry.Children = ScanFolder(entry.Source, entry.DisplayPath, depth + 1);
        } else if (fs::is_regular_file(status)) {
            entry.Size = static_cast<int64_t>(item.file_size());
            if (entry.Size >= TwoGiB)
                throw EPackError(Quoted(entry.DisplayPath) + " is 2 GiB or larger");
        } else {
            throw EPackError(Quoted(entry.DisplayPath) + " is neither a file nor a folder");
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), StoredBefore);
    return entries;
}

} // namespace

std::vector<TPackEntry> ScanProduct(const fs::path& folder) {
    return ScanFolder(folder, std::string(), 0);
}

} // namespace Packing
