#include "tools/setuppack/CheckFolder.h"

#include <algorithm>
#include <cstdio>

#include "common/CommonUtils.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/PackRules.h"

namespace fs = std::filesystem;

namespace {

// Left behind by version control and by file browsers; never part of a product.
const char* const Leftovers[] = {".git",        ".svn",           ".hg",         ".bzr",     "CVS",
                                 ".gitignore",  ".gitattributes", ".gitmodules", ".gitkeep", ".hgignore",
                                 ".hgtags",     ".cvsignore",     ".DS_Store",   "__MACOSX", "Thumbs.db",
                                 "ehthumbs.db", "desktop.ini"};

bool IsLeftover(const std::string& name) {
    for (const char* leftover : Leftovers) {
        if (SameText(name, leftover))
            return true;
    }
    return name.rfind("._", 0) == 0; // the resource forks that macOS archivers add
}

// A folder's entries in name order, so that the findings are the same on every file system.
std::vector<fs::directory_entry> ListFolder(const fs::path& folder) {
    std::vector<fs::directory_entry> entries{fs::directory_iterator(folder), fs::directory_iterator()};
    std::sort(entries.begin(), entries.end());
    return entries;
}

class TFolderScan {
public:
    explicit TFolderScan(std::vector<TDiagnostic>& found) : Found(found) {}

    TProductFolder Result;
    bool FileTooLarge = false;

    void Top(const fs::path& product, const std::function<void(int64_t, int64_t)>& progress) {
        const std::vector<fs::directory_entry> entries = ListFolder(product);
        int64_t done = 0;
        Walk(entries, std::string(), 0, [&] {
            if (progress)
                progress(++done, static_cast<int64_t>(entries.size()));
        });
    }

private:
    std::vector<TDiagnostic>& Found;

    // Scans one folder's entries, at depth (0 for the top level); returns how many count.
    size_t Walk(const std::vector<fs::directory_entry>& entries, const std::string& display, int depth,
                const std::function<void()>& entryDone) {
        std::map<std::string, std::string> seen; // FileNameKey -> the name first met
        size_t counted = 0;
        for (const fs::directory_entry& entry : entries) {
            const std::string name = entry.path().filename().u8string();
            if (name != ".keep") {
                ++counted;
                Entry(entry, name, display, depth, seen);
            }
            if (entryDone)
                entryDone();
        }
        return counted;
    }

    void Entry(const fs::directory_entry& entry, const std::string& name, const std::string& folder,
               int depth, std::map<std::string, std::string>& seen) {
        const std::string path = folder.empty() ? name : folder + "/" + name;
        if (IsLeftover(name)) {
            Found.push_back(MakeDiagnostic(path, 0, fnLeftover));
            return;
        }
        std::string stored;
        if (const std::optional<std::string> broken = NameRuleBroken(name, stored))
            Found.push_back(MakeDiagnostic(path, 0, fnNameRefused, *broken));
        if (!IsAscii(stored))
            Result.AccentedNames.push_back({folder, stored});
        // As NTFS and FAT compare names: without regard to case, accented letters included.
        const std::string key = FileNameKey(name, CodePageUtf8);
        if (const auto other = seen.find(key); other != seen.end())
            Found.push_back(MakeDiagnostic(path, 0, fnNamesDifferInCase, other->second));
        else
            seen[key] = name;

        std::error_code error;
        const fs::file_status status = entry.status(error); // follows symbolic links
        if (entry.is_symlink(error) && (fs::is_directory(status) || fs::is_regular_file(status)))
            Found.push_back(MakeDiagnostic(path, 0, fnSymbolicLink));
        if (fs::is_directory(status)) {
            Folder(entry.path(), path, depth, stored.empty() ? std::string() : name);
        } else if (fs::is_regular_file(status)) {
            const auto size = static_cast<int64_t>(entry.file_size(error));
            if (size >= TwoGiB) {
                Found.push_back(MakeDiagnostic(path, 0, fnFileTooLarge));
                FileTooLarge = true;
            }
            Result.TotalBytes += size;
            if (depth == 0 && !stored.empty())
                Result.TopFiles[FileNameKey(name, CodePageUtf8)] = entry.path();
        } else {
            Found.push_back(MakeDiagnostic(path, 0, fnNotFileOrFolder));
        }
    }

    // name: the folder's name where pack stores it, else empty.
    void Folder(const fs::path& folder, const std::string& path, int depth, const std::string& name) {
        // The archive's depth rule, as pack applies it: the list inside this folder lies at depth + 1.
        if (depth >= Archive::MaxFolderDepth) {
            Found.push_back(MakeDiagnostic(path, 0, fnTooDeep));
            return;
        }
        const size_t counted = Walk(ListFolder(folder), path, depth + 1, nullptr);
        if (depth == 0 && !name.empty()) {
            Result.Folders[FileNameKey(name, CodePageUtf8)] = name;
            if (counted == 0)
                Found.push_back(MakeDiagnostic(path, 0, fnComponentEmpty));
        }
    }
};

} // namespace

TProductFolder ScanProductFolder(const fs::path& product, std::vector<TDiagnostic>& found,
                                 const std::function<void(int64_t done, int64_t total)>& progress) {
    TFolderScan scan(found);
    scan.Top(product, progress);
    // A file of 2 GiB is refused already.
    if (scan.Result.TotalBytes >= TwoGiB && !scan.FileTooLarge) {
        char total[32];
        std::snprintf(total, sizeof total, "%.1f",
                      static_cast<double>(scan.Result.TotalBytes) / (int64_t(1) << 30));
        found.push_back(MakeDiagnostic("", 0, fnLargeTotal, total));
    }
    return scan.Result;
}
