#include "tools/setuppack/PackRules.h"

#include <cstdio>

#include "common/CommonUtils.h"
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
    reading.AsWritten = reading.Version.ToText() == text;
    return reading;
}

std::string VersionNotAsWritten(const std::string& text, const TProgramVersion& version) {
    return "'" + text + "' reads as " + version.ToText() +
           ", the version the setup program would install and register; write it as it reads "
           "(5.04, 5.04 beta 2, 5.04 (press preview), 5.04 beta 12 (press preview))";
}
