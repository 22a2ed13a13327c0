#include "tools/setuppack/CodePageNotes.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePageNotesTest, GroupsTextsBySystemsThatShowThem) {
    EXPECT_TRUE(CodePageInformation({{"Setup.ini:3", "Velmora 5"}, {"Program", "Readme.txt"}}).empty());

    const std::vector<std::string> lines = CodePageInformation({
        {"Setup.ini:3", "Velmora Caf\xE9"},
        {"Program", "Readme.txt"},
        {"Program/D\xC3\xA9j\xC3\xA0 vu", "Caf\xE9 Pr\xE9sets.txt"},
        {"Program", "D\xE9j\xE0 vu"},
        {"Setup.lic:1", "\xA9 2026 \x80"},
    });
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(0, 40), "4 names and texts have letters outside A");
    // The copyright sign and the euro sign: nearly every system; e and a with accents: few.
    EXPECT_EQ(lines[1],
              "  shown on Western European (1252), Turkish (1254), Arabic (1256), Vietnamese (1258) and "
              "Simplified Chinese (936) systems: \"D\xC3\xA9j\xC3\xA0 vu\" (Program)");
    EXPECT_EQ(
        lines[2],
        "  shown on Western European (1252), Central European (1250), Turkish (1254), Arabic (1256), "
        "Baltic (1257), Vietnamese (1258) and Simplified Chinese (936) systems: \"Velmora "
        "Caf\xC3\xA9\" (Setup.ini:3), \"Caf\xC3\xA9 Pr\xC3\xA9sets.txt\" (Program/D\xC3\xA9j\xC3\xA0 vu)");
    EXPECT_NE(lines[3].find("Cyrillic (1251)"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find(": \"\xC2\xA9 2026 \xE2\x82\xAC\" (Setup.lic:1)"), std::string::npos) << lines[3];
}

} // namespace
