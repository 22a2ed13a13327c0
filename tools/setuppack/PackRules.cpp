#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/ToolData.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "setupdata/ArchiveFormat.h"

namespace {

// Device names that Windows resolves in every folder, with or without an extension.
bool IsDeviceName(const std::string& name) {
    const std::string stem = AsciiLowerCase(name.substr(0, name.find('.')));
    static const char* const devices[] = {"con", "prn", "aux", "nul"};
    for (const char* device : devices) {
        if (stem == device)
            return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::optional<std::string> NameRuleBroken(const std::string& utf8Name, std::string& stored) {
    const std::optional<std::string> name = Utf8ToWindows1252(utf8Name);
    if (!name)
        return std::string("cannot be written in the Windows-1252 code page");
    if (name->size() > static_cast<size_t>(Archive::MaxNameLength))
        return "is longer than 67 bytes (" + std::to_string(name->size()) + ")";
    const std::string refused = "cannot be used for a file on Windows: ";
    for (const char c : *name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", u);
            return refused + "it holds the control character " + code;
        }
        if (std::string("<>\"|?*:\\/").find(c) != std::string::npos)
            return refused + "it holds \"" + std::string(1, c) + "\"";
    }
    if (name->back() == '.' || name->back() == ' ')
        return refused + "Windows drops a final dot or blank";
    if (IsDeviceName(*name))
        return refused + name->substr(0, name->find('.')) + " is a device name in every folder";
    if (!Archive::IsValidEntryName(*name))
        return refused + "it is not a plain name";
    stored = *name;
    return std::nullopt;
}

TVersionReading ReadVersion(const std::string& text) {
    TVersionReading reading;
    reading.Version.FromText(text);
    const std::string read = reading.Version.ToText();
    reading.AsWritten = read == text;
    reading.SameValue = !reading.AsWritten && !text.empty() && read.compare(0, text.size(), text) == 0 &&
                        read.find_first_not_of(".0", text.size()) == std::string::npos;
    return reading;
}

std::string VersionNotAsWritten(const std::string& text, const TProgramVersion& version) {
    return "'" + text + "' reads as " + version.ToText() +
           ", the version the setup program would install and register; write it as it reads "
           "(5.04, 5.04 beta 2, 5.04 (press preview), 5.04 beta 12 (press preview))";
}

const char* const RequiredProductFiles[3] = {"Setup.ini", "Setup.lic", "Setup.jpg"};

std::vector<std::string> MissingRequiredFiles(const std::string& productFolder) {
    namespace fs = std::filesystem;
    // By FileNameKey of the UTF-8 names the file system gives (u8string), as Windows looks
    // them up.
    const auto key = [](const std::string& utf8Name) { return FileNameKey(utf8Name, CodePageUtf8); };
    std::map<std::string, fs::path> present;
    std::error_code error;
    for (fs::directory_iterator entry(fs::u8path(productFolder), error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code kindError;
        if (entry->is_regular_file(kindError))
            present.emplace(key(entry->path().filename().u8string()), entry->path());
    }
    std::vector<std::string> missing;
    for (const char* name : RequiredProductFiles) {
        if (present.count(key(name)) == 0)
            missing.emplace_back(name);
    }
    // A bundle's list of items, with IsBundle read as the setup program reads it.
    const auto ini = present.find(key("Setup.ini"));
    if (ini != present.end() && present.count(key("BundleInfo.ini")) == 0) {
        const std::string text = ReadWholeFile(ini->second).value_or(std::string());
        if (TIniFile(SplitLines(text)).ReadBool("Setup", "IsBundle", false))
            missing.emplace_back("BundleInfo.ini");
    }
    return missing;
}
