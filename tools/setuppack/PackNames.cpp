// The names the archive stores: Windows-1252, at most 67 bytes, usable as a file name on
// Windows, and their order.

#include "tools/setuppack/PackTree.h"

#include <algorithm>
#include <optional>

#include "common/CommonUtils.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/Charset.h"
#include "tools/setuppack/Packer.h"

namespace Packing {

using namespace Archive;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

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

std::string StoredName(const std::string& utf8Name, const std::string& display) {
    const std::optional<std::string> name = Utf8ToWindows1252(utf8Name);
    if (!name)
        throw EPackError("The name of " + Quoted(display) +
                         " cannot be written in the Windows-1252 code page");
    if (name->size() > static_cast<size_t>(MaxNameLength))
        throw EPackError("The name of " + Quoted(display) + " is longer than 67 bytes");
    if (!IsValidEntryName(*name) || name->find_first_of("<>\"|?*") != std::string::npos ||
        name->back() == '.' || name->back() == ' ' || IsDeviceName(*name))
        throw EPackError("The name of " + Quoted(display) + " cannot be used for a file on Windows");
    return *name;
}

bool StoredBefore(const TPackEntry& a, const TPackEntry& b) {
    const size_t n = std::min(a.Name.size(), b.Name.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(AsciiLower(a.Name[i]));
        const auto y = static_cast<unsigned char>(AsciiLower(b.Name[i]));
        if (x != y)
            return x < y;
    }
    if (a.Name.size() != b.Name.size())
        return a.Name.size() < b.Name.size();
    if (a.Name != b.Name)
        return a.Name < b.Name;
    return !a.Folder && b.Folder;
}

} // namespace Packing
