// Versions: the product's and each bundle item's, and the items of BundleInfo.ini.

#include "tools/setuppack/CheckContext.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/CommonUtils.h"
#include "common/DosDate.h"
#include "common/Format.h"
#include "common/IniFile.h"
#include "setup/SetupInstaller.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/PackRules.h"

namespace Checking {

void TChecker::CheckVersions() {
    bool versionValid = true;
    try {
        const TVersionReading reading = ReadVersion(Options.VersionText);
        Version = reading.Version;
        if (reading.SameValue)
            Report("", 0, fnProductVersionSpelling, Options.VersionText, Version.ToText());
        else if (!reading.AsWritten)
            Report("", 0, fnProductVersionInvalid, VersionNotAsWritten(Options.VersionText, Version));
    } catch (const EProgramVersionError& e) {
        Report("", 0, fnProductVersionInvalid, e.what());
        versionValid = false;
        Fatal = true;
    }
    if (versionValid && !Options.TimeGiven && !VersionTimeOfDay(Version))
        Report("", 0, fnProductVersionNoTime, Version.ToText());

    const std::string pattern = Ini->ReadString("Setup", "DefaultFolder", "");
    if (versionValid && !pattern.empty()) {
        try {
            FormatInteger(pattern, Version.Major);
        } catch (const EFormatError& e) {
            Report(SetupIni, KeyLine("Setup", "DefaultFolder"), fnFolderPatternRefused, e.what());
            Fatal = true;
        }
    }
}

void TChecker::CheckBundleItems() {
    if (!Ini->ReadBool("Setup", "IsBundle", false))
        return;
    // The items as the controller reads them, and the list rewritten as stored (Windows-1252)
    // for the controller's scratch archive: the same lines, so the same count.
    const std::vector<std::string> lines = ReadLines(BundleInfoIni);
    const std::vector<std::string> stored = SplitLines(Texts[BundleInfoIni]);
    std::string cleaned;
    for (size_t i = 0; i < lines.size() && i < stored.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        TItem item, storedItem;
        if (!TSetupInstaller::SplitBundleLine(lines[i], item.Name, item.VersionText, item.ProductName) ||
            !TSetupInstaller::SplitBundleLine(stored[i], storedItem.Name, storedItem.VersionText,
                                              storedItem.ProductName))
            continue;
        // The line is not trimmed: a blank around "=" or "," stays in the name or version.
        for (auto [part, what] : {std::pair{&item.Name, "name"},
                                  {&item.VersionText, "version"},
                                  {&item.ProductName, "product name"}}) {
            if (*part != TrimText(*part)) {
                Report(BundleInfoIni, number, fnItemBlank, what, *part);
                break;
            }
        }
        item = {TrimText(item.Name), TrimText(item.VersionText), TrimText(item.ProductName)};
        cleaned += TrimText(storedItem.Name) + "=" + TrimText(storedItem.VersionText) + "," +
                   TrimText(storedItem.ProductName) + "\r\n";
        Items.push_back(item);
        CheckItemVersion(item, number);
    }
    Texts[BundleInfoIni] = cleaned;
}

void TChecker::CheckItemVersion(const TItem& item, int line) {
    TProgramVersion version;
    try {
        const TVersionReading reading = ReadVersion(item.VersionText);
        version = reading.Version;
        if (reading.SameValue)
            Report(BundleInfoIni, line, fnItemVersionSpelling, item.Name, item.VersionText, version.ToText());
        else if (!reading.AsWritten)
            Report(BundleInfoIni, line, fnItemVersionInvalid, item.Name,
                   VersionNotAsWritten(item.VersionText, version));
    } catch (const EProgramVersionError& e) {
        Report(BundleInfoIni, line, fnItemVersionInvalid, item.Name, e.what());
        Fatal = true;
        return;
    }
    // The item's files are stamped with the build date plus the version as a time of day.
    TDosDateTime buildDate;
    buildDate.Year = 2000;
    try {
        ItemFileDate(PackDosDateTime(buildDate), version);
    } catch (const Exception&) {
        Report(BundleInfoIni, line, fnItemVersionNoTime, item.Name, item.VersionText);
        Fatal = true;
    }
}

} // namespace Checking
