// The names the archive stores, by the rules that check applies too (PackRules.cpp), and their
// order.

#include "tools/setuppack/PackTree.h"

#include <algorithm>
#include <optional>

#include "common/CommonUtils.h"
#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/Packer.h"

namespace Packing {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string StoredName(const std::string& utf8Name, const std::string& display) {
    std::string stored;
    if (const std::optional<std::string> broken = NameRuleBroken(utf8Name, stored))
        throw EPackError("The name of " + Quoted(display) + " " + *broken);
    return stored;
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
