#include "common/TextEncoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(TextEncodingTest, Utf8ToWindows1252) {
    struct {
        std::string Utf8;
        std::optional<std::string> Expected; // none: not valid UTF-8, or not in the page
    } const cases[] = {
        {"Setup.ini", std::string("Setup.ini")},
        {"", std::string()},
        {"\xC3\xA9t\xC3\xA9", std::string("\xE9t\xE9")},
        {"\xE2\x82\xAC \xC5\xA0 \xE2\x80\x9E \xC5\xB8", std::string("\x80 \x8A \x84 \x9F")},
        {"\xC2\xA0\xC3\xBF", std::string("\xA0\xFF")},
        {"\xC2\x81", std::nullopt},         // U+0081: the byte means something else in the page
        {"\xE6\x97\xA5", std::nullopt},     // not in the page
        {"\xF0\x9F\x98\x80", std::nullopt}, // valid, four bytes, not in the page
        {"\xC3", std::nullopt},             // cut off
        {"a\xE2\x82", std::nullopt},        // cut off after a valid start
        {"\xC0\xAF", std::nullopt},         // overlong "/"
        {"\xE0\x80\xAF", std::nullopt},     // overlong "/"
        {"\xF0\x80\x80\xAF", std::nullopt}, // overlong "/"
        {"\xED\xA0\x80", std::nullopt},     // surrogate
        {"\xF4\x90\x80\x80", std::nullopt}, // beyond U+10FFFF
        {"\x80", std::nullopt},             // stray continuation byte
        {"\xC3\x28", std::nullopt},         // lead byte without its continuation
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWindows1252(c.Utf8), c.Expected) << c.Utf8;
        if (c.Expected) {
            EXPECT_TRUE(IsUtf8(c.Utf8)) << c.Utf8;
        }
    }
    EXPECT_TRUE(IsUtf8("\xF0\x9F\x98\x80\xE6\x97\xA5"));
    EXPECT_FALSE(IsUtf8("ok\xE9"));
}

TEST(TextEncodingTest, EveryDefinedByteRoundTrips) {
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::optional<std::string> back = Utf8ToWindows1252(Windows1252ToUtf8(byte));
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            EXPECT_FALSE(back) << b;
        else
            EXPECT_EQ(back, byte) << b;
    }
}

// The product's Windows-1252 texts in the code pages the program may run with. Code pages
// other than UTF-8 and 1252 are the system's tables: Wine's and Windows' agree on these rows.
TEST(TextEncodingTest, Windows1252ToCodePage) {
    struct {
        uint32_t CodePage;
        std::string Text;
        std::string Expected;
    } const cases[] = {
        {CodePageUtf8, "D\xE9j\xE0 vu\\Caf\xE9 Pr\xE9sets.txt",
         "D\xC3\xA9j\xC3\xA0 vu\\Caf\xC3\xA9 Pr\xC3\xA9sets.txt"},
        {CodePageUtf8, "\x80 \x99 \x81", "\xE2\x82\xAC \xE2\x84\xA2 \xC2\x81"},
        {CodePageUtf8, "Setup.ini", "Setup.ini"},
        {CodePageWindows1252, "D\xE9j\xE0 vu", "D\xE9j\xE0 vu"},
#ifdef _WIN32
        {1251, "Velmora 5", "Velmora 5"},
        {1251, "\x85 \x80", "\x85 \x88"}, // the ellipsis and the euro sign have places in 1251 too
        {1250, "Caf\xE9 \xC4rger", "Caf\xE9 \xC4rger"}, // both letters in Central European
        {1253, "Caf\xE9", "Cafe"},                      // not in Greek: the nearest letter
#endif
    };
    for (const auto& c : cases)
        EXPECT_EQ(Windows1252ToCodePage(c.Text, c.CodePage), c.Expected) << c.CodePage << " " << c.Text;
}

} // namespace
