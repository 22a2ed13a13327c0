// The product folder's files as pack will take them: every rule pack refuses a file by, and
// what Windows or the setup program would take otherwise than the folder shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/setuppack/Checker.h"
#include "tools/setuppack/CodePageNotes.h"

struct TProductFolder {
    // Top-level files and component folders that pack stores, by the FileNameKey of their UTF-8
    // names (as the setup program's controller names them here): the setup program finds them
    // without regard to case, as Windows does.
    std::map<std::string, std::filesystem::path> TopFiles;
    std::map<std::string, std::string> Folders; // the name, as written
    // Every stored name outside ASCII (Windows-1252), with the folder it is in ("Program/Déjà
    // vu"; empty at the top level), for the code-page information.
    std::vector<TProductText> AccentedNames;
    int64_t TotalBytes = 0;
};

// Reports every file and folder that pack would refuse, names that differ only in letter case,
// symbolic links, empty components and version-control leftovers into found (files named by
// their path below the product folder, "/" separated). Progress receives the top-level entries
// done and their number.
TProductFolder ScanProductFolder(const std::filesystem::path& product, std::vector<TDiagnostic>& found,
                                 const std::function<void(int64_t done, int64_t total)>& progress);
