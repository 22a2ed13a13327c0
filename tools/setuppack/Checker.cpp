// The product check. The configuration is read by the setup program's own INI reader and
// loaded by its own controller (TSetupInstaller) over the product's setup files packed into a
// scratch archive, on a system where every plug-in host is installed and the product is not.
// What the controller cannot tell (which line a value came from) the INI reader's line numbers
// add. The files themselves go through pack's rules first (CheckFolder.cpp).

#include "tools/setuppack/Checker.h"
#include "tools/setuppack/CheckContext.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>

#include "common/CommonUtils.h"
#include "common/DosDate.h"
#include "common/Format.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setup/SetupClasses.h"
#include "setup/SetupInstaller.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/CheckFolder.h"
#include "tools/setuppack/CodePageNotes.h"
#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/Packer.h"

namespace fs = std::filesystem;

namespace Checking {

void TChecker::Report(const std::string& file, int line, TFinding finding, const std::string& a,
                      const std::string& b, const std::string& c) {
    Found.push_back(MakeDiagnostic(file, line, finding, a, b, c));
}

std::optional<fs::path> TChecker::TopFile(const char* name) const {
    // The setup program finds its files without regard to case.
    const auto found = Product.TopFiles.find(FileNameKey(name, CodePageUtf8));
    return found == Product.TopFiles.end() ? std::nullopt : std::optional<fs::path>(found->second);
}

std::vector<std::string> TChecker::ReadLines(const char* name) const {
    const auto text = Texts.find(name);
    return text == Texts.end() ? std::vector<std::string>() : SplitLines(ProductText(text->second));
}

std::vector<TProductText> TChecker::ProductTexts() const {
    std::vector<TProductText> texts = Product.AccentedNames;
    for (const char* name : {SetupIni, SetupLic, BundleInfoIni}) {
        const auto text = Texts.find(name);
        if (text == Texts.end())
            continue;
        const std::vector<std::string> lines = SplitLines(text->second);
        for (size_t index = 0; index < lines.size(); ++index) {
            // Setup.ini's comments are never shown.
            const bool comment = std::string(name) == SetupIni && TrimText(lines[index]).rfind(';', 0) == 0;
            if (!IsAscii(lines[index]) && !comment)
                texts.push_back({std::string(name) + ":" + std::to_string(index + 1), lines[index]});
        }
    }
    return texts;
}

std::vector<std::pair<std::string, int>> TChecker::Lines(const std::string& section) const {
    const std::vector<std::string> lines = Ini->ReadSection(section);
    const std::vector<int> numbers = Ini->SectionLines(section).LineNumbers;
    std::vector<std::pair<std::string, int>> result;
    for (size_t i = 0; i < lines.size(); ++i)
        result.emplace_back(lines[i], numbers[i]);
    return result;
}

int TChecker::KeyLine(const std::string& section, const std::string& key) const {
    // The line whose value ReadString returns: the last one of that name.
    int line = 0;
    for (const auto& [text, number] : Lines(section)) {
        if (text.find('=') != std::string::npos && SameText(LineName(text), key))
            line = number;
    }
    return line;
}

int TChecker::KeyOrSectionLine(const std::string& section, const std::string& key) const {
    const int line = KeyLine(section, key);
    return line != 0 ? line : Ini->SectionLines(section).HeaderLine;
}

std::vector<TDiagnostic> TChecker::Run() {
    Product = ScanProductFolder(fs::u8path(Options.ProductFolder), Found, Options.Progress);
    for (const char* name : {SetupIni, SetupLic, SetupJpg}) {
        if (!TopFile(name)) {
            Report(name, 0, fnFileMissing);
            Fatal = true;
        }
    }
    for (const char* name : {SetupIni, SetupLic, BundleInfoIni})
        CheckText(name);
    // The names and lines as stored, before a bundle's list is cleaned.
    const std::vector<std::string> information = CodePageInformation(ProductTexts());
    CheckPicture();
    if (Texts.count(SetupIni) != 0) {
        Ini.emplace(ReadLines(SetupIni));
        CheckLayout();
        CheckRequiredKeys();
        CheckRegistryPaths();
        CheckDefaultFolder();
        CheckVersions();
        CheckBundleItems();
        CheckComponents();
        CheckOptionsAndShortcuts();
        CheckRegistryValues();
        if (!Fatal)
            CheckWithController();
    }
    // By file, the command line's first, then by line.
    std::stable_sort(Found.begin(), Found.end(), [](const TDiagnostic& a, const TDiagnostic& b) {
        return a.File != b.File ? a.File < b.File : a.Line < b.Line;
    });
    // Once, after the findings: which names older Windows cannot show.
    if (!information.empty()) {
        std::string message;
        for (const std::string& line : information)
            message += (message.empty() ? "" : "\n") + line;
        Found.push_back({std::string(), 0, TSeverity::Information, message});
    }
    return Found;
}

} // namespace Checking

std::vector<TDiagnostic> CheckProduct(const TCheckOptions& options) {
    return PlanProduct(options).Diagnostics;
}

TProductPlans PlanProduct(const TCheckOptions& options) {
    if (!fs::is_directory(fs::u8path(options.ProductFolder)))
        throw EPackError("The product folder \"" + options.ProductFolder + "\" does not exist");
    Checking::TChecker checker(options);
    TProductPlans result;
    result.Diagnostics = checker.Run();
    result.Plans = checker.TakePlans();
    return result;
}
