// Which Windows systems without UTF-8 show which of the product's letters, from the system
// code pages' tables.

#include "tools/setuppack/CodePageNotes.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

#include "common/TextEncoding.h"

namespace {

// The ANSI code pages of Windows' other system languages, in the order of the bits below.
const char* const SystemNames[] = {
    "Central European (1250)",
    "Cyrillic (1251)",
    "Greek (1253)",
    "Turkish (1254)",
    "Hebrew (1255)",
    "Arabic (1256)",
    "Baltic (1257)",
    "Vietnamese (1258)",
    "Thai (874)",
    "Japanese (932)",
    "Simplified Chinese (936)",
    "Korean (949)",
    "Traditional Chinese (950)",
};
constexpr int SystemCount = sizeof SystemNames / sizeof SystemNames[0];
constexpr uint16_t EverySystem = (1u << SystemCount) - 1;

// For each Windows-1252 byte from 0x80, the systems above whose code page holds its character
// (bit 0: 1250), taken from the code pages' tables.
constexpr uint16_t HeldBy[128] = {
    0x19FF, 0x0000, 0x00FF, 0x00BC, 0x00FF, 0x1FFF, 0x0AFF, 0x0AFF, 0x00B8, 0x0EFF, 0x0049, 0x00FF, 0x08A8,
    0x0000, 0x0041, 0x0000, 0x0000, 0x1FFF, 0x1FFF, 0x1FFF, 0x1FFF, 0x11FF, 0x15FF, 0x15FF, 0x0098, 0x08FF,
    0x0049, 0x00FF, 0x08A8, 0x0000, 0x0041, 0x0088, 0x01FF, 0x0898, 0x12F8, 0x12FC, 0x0CEF, 0x10BC, 0x00FF,
    0x1EFF, 0x0EFD, 0x00FF, 0x0888, 0x00FF, 0x02FF, 0x08FF, 0x08FF, 0x10F8, 0x1EFF, 0x1EFF, 0x08FC, 0x08FC,
    0x0AF9, 0x00FF, 0x0AFF, 0x1CFF, 0x08F9, 0x08F8, 0x0888, 0x00FF, 0x08F8, 0x08FC, 0x08F8, 0x0898, 0x0088,
    0x0089, 0x0089, 0x0008, 0x00C9, 0x00C8, 0x08C8, 0x0089, 0x0088, 0x00C9, 0x0088, 0x0089, 0x0008, 0x0089,
    0x0089, 0x0088, 0x0800, 0x0088, 0x0008, 0x00C9, 0x0089, 0x0048, 0x00C9, 0x1EF9, 0x08C8, 0x0088, 0x0089,
    0x0088, 0x00C9, 0x0001, 0x0800, 0x08C9, 0x04A8, 0x0489, 0x00A9, 0x0008, 0x00C9, 0x00C8, 0x08C8, 0x00A9,
    0x04A8, 0x04E9, 0x04A8, 0x00A9, 0x0408, 0x0489, 0x00A9, 0x00A8, 0x0800, 0x0088, 0x0408, 0x04C9, 0x00A9,
    0x0048, 0x00C9, 0x1EF9, 0x08C8, 0x04A8, 0x0489, 0x00A8, 0x04E9, 0x0001, 0x0800, 0x0088,
};

// The systems that show every letter of a Windows-1252 text.
uint16_t SystemsShowing(const std::string& text) {
    uint16_t systems = EverySystem;
    for (const char c : text) {
        const auto b = static_cast<uint8_t>(c);
        if (b >= 0x80)
            systems &= HeldBy[b - 0x80];
    }
    return systems;
}

int SystemCountOf(uint16_t systems) {
    int count = 0;
    for (int i = 0; i < SystemCount; ++i) {
        if (systems & 1u << i)
            ++count;
    }
    return count;
}

std::string SystemList(uint16_t systems) {
    std::string list = "Western European (1252)";
    const int named = SystemCountOf(systems);
    int done = 0;
    for (int i = 0; i < SystemCount; ++i) {
        if (!(systems & 1u << i))
            continue;
        list += ++done == named ? " and " : ", ";
        list += SystemNames[i];
    }
    return list;
}

} // namespace

std::vector<std::string> CodePageInformation(const std::vector<TProductText>& texts) {
    // Grouped by the systems that show them.
    std::map<uint16_t, std::vector<const TProductText*>> groups;
    size_t count = 0;
    for (const TProductText& text : texts) {
        if (IsAscii(text.Text))
            continue;
        groups[SystemsShowing(text.Text)].push_back(&text);
        ++count;
    }
    if (count == 0)
        return {};
    std::vector<std::string> lines;
    lines.push_back(std::to_string(count) + (count == 1 ? " name or text has" : " names and texts have") +
                    " letters outside ASCII. Windows 10 version 1903 and later show them on every system; "
                    "Windows 7 and 8 only where the system's code page holds them, and elsewhere show the "
                    "nearest plain letter, or \"_\" where there is none:");
    // The texts shown by the fewest systems first.
    std::vector<std::pair<uint16_t, std::vector<const TProductText*>>> ordered(groups.begin(), groups.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return SystemCountOf(a.first) < SystemCountOf(b.first);
    });
    constexpr size_t Examples = 5;
    for (const auto& [systems, members] : ordered) {
        std::string line = "  shown on " + SystemList(systems) + " systems: ";
        for (size_t i = 0; i < members.size() && i < Examples; ++i) {
            line += (i == 0 ? "\"" : ", \"") + Windows1252ToUtf8(members[i]->Text) + "\"";
            if (!members[i]->Where.empty())
                line += " (" + members[i]->Where + ")";
        }
        if (members.size() > Examples)
            line += " and " + std::to_string(members.size() - Examples) + " more";
        lines.push_back(line);
    }
    return lines;
}
