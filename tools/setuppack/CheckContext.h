// The product check's state and the rule families' operations, shared by its sources:
// Checker.cpp (the order of the work), CheckTexts.cpp (encodings, the picture, text symbols),
// CheckKeys.cpp (sections, keys, switches, registry paths), CheckBundles.cpp (versions and
// bundle items), CheckValues.cpp (component, option, shortcut and registry values as written),
// CheckPlan.cpp (the plan of the installation and the rules over it), CheckBinaries.cpp (the
// DLLs the plan installs and calls) and CheckUpgrade.cpp (the plan of an earlier release).
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/IniFile.h"
#include "common/Version.h"
#include "setup/SetupInstaller.h"
#include "setup/SetupPlan.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/CheckFolder.h"
#include "tools/setuppack/Checker.h"

namespace Checking {

namespace fs = std::filesystem;

inline const char* const SetupIni = "Setup.ini";
inline const char* const SetupLic = "Setup.lic";
inline const char* const SetupJpg = "Setup.jpg";
inline const char* const BundleInfoIni = "BundleInfo.ini";

// The first "$Name" (or, where custom folders apply, "%Name") left in an expanded text.
std::string LeftoverSymbol(const std::string& expanded, bool customFolders);

// A scratch folder, removed with the check.
class TScratch {
public:
    TScratch() {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Folder = fs::temp_directory_path() /
                 ("setuppack-check-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        fs::create_directories(Folder / "product");
    }
    ~TScratch() {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    fs::path Folder;
};

class TChecker {
public:
    explicit TChecker(const TCheckOptions& options) : Options(options) {}

    std::vector<TDiagnostic> Run();
    std::vector<TPlan> TakePlans() { return std::move(Plans); }

private:
    const TCheckOptions& Options;
    std::vector<TDiagnostic> Found;
    bool Fatal = false; // the controller cannot load this product at all
    TProductFolder Product;
    // The setup files' bytes (Windows-1252) as the rest of the check reads them: a byte-order
    // mark reported and removed, a bundle line's blanks reported and removed, so that what
    // follows from such a mistake is not reported again. A file that is not 8-bit text has none.
    // They go into the controller's scratch archive as they are.
    std::map<std::string, std::string> Texts;
    // Setup.ini's lines as the controller reads them (ReadLines), with their line numbers.
    std::optional<TIniFile> Ini;
    TProgramVersion Version;
    struct TItem {
        std::string Name, VersionText, ProductName;
    };
    std::vector<TItem> Items;
    TPlanEnvironment Environment;
    // The loaded controller (over the scratch archive at SetupData), and its plans: the
    // default choices first, then each other choice the wizard offers.
    std::unique_ptr<TSetupInstaller> Setup;
    std::string SetupData;
    std::vector<TPlan> Plans;
    // What the default plan installs, by the FileNameKey of its full path.
    std::set<std::string> Installed;
    bool InstallsFiles = false; // else a file missing from Installed is no news
    bool NothingReported = false;
    const TSetupBundleItem* AnyItem = nullptr;
    // The files of each component as the product folder holds them (UTF-8 names, in the order
    // pack stores them), by the FileNameKey of the folder.
    std::map<std::string, std::vector<std::pair<std::string, uint64_t>>> ComponentFiles;

    // The details are UTF-8, as every text of the check but the setup files' own bytes.
    void Report(const std::string& file, int line, TFinding finding, const std::string& a = {},
                const std::string& b = {}, const std::string& c = {});
    std::optional<fs::path> TopFile(const char* name) const;
    // A setup file's lines as the controller reads them: converted once from the Windows-1252
    // that the product stores into the code page the tool runs with (UTF-8).
    std::vector<std::string> ReadLines(const char* name) const;
    // The product's names and setup-file lines outside ASCII, as stored (Windows-1252).
    std::vector<TProductText> ProductTexts() const;
    // The line of the key that counts; 0 when it is missing.
    int KeyLine(const std::string& section, const std::string& key) const;
    // That, else the section's header (0 without the section): where a missing key belongs.
    int KeyOrSectionLine(const std::string& section, const std::string& key) const;
    // The lines of a section with their numbers.
    std::vector<std::pair<std::string, int>> Lines(const std::string& section) const;

    void CheckText(const char* name);
    void CheckByteOrderMark(const char* name, std::string& text);
    void CheckPicture();
    void CheckLayout();
    void CheckKeyedSection(const std::string& section);
    void CheckSwitch(const TConfigurationKey& key, const std::string& value, int line);
    void CheckRequiredKeys();
    void CheckRegistryPaths();
    void CheckDefaultFolder();
    void CheckVersions();
    void CheckBundleItems();
    void CheckItemVersion(const TItem& item, int line);
    void CheckComponents();
    void CheckOptionsAndShortcuts();
    void CheckRegistryValues();
    void CheckNotExpanded();
    void CheckWithController();
    bool LoadController(const fs::path& scratch);
    TComponentFiles ProductFiles();
    void MakePlans();
    void CheckFolderValue(int line, const std::string& raw, const TSetupBundleItem* item,
                          bool isInstalledFile);
    void CheckTextSymbols(int line, const std::string& expanded);
    // The rules over the plans (CheckPlan.cpp) and over the binaries they install
    // (CheckBinaries.cpp).
    void CheckPlanPaths(const TPlan& plan);
    void CheckDestinations();
    void CheckChoices();
    void CheckBinaries();
    // The line in Setup.ini of a list section's entry by its index; the header for -1.
    int ListLine(const std::string& section, int index) const;
    // The product folder's file for an archive path of the plan.
    fs::path ProductPath(const std::string& source) const;
    // The plan of an earlier release (CheckUpgrade.cpp).
    void CheckUpgrade();
    // Each finding once: the plans of several choices meet the same line.
    void ReportOnce(const std::string& file, int line, TFinding finding, const std::string& a = {},
                    const std::string& b = {}, const std::string& c = {});
};

} // namespace Checking
