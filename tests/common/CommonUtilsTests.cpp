#include "common/Adler32.h"
#include "common/CommonUtils.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <random>
#include <vector>

namespace {

struct TIntCase {
    const char* Text;
    std::optional<int32_t> Expected; // none: the conversion fails
};

const TIntCase IntCases[] = {
    {"0", 0},
    {"123", 123},
    {"007", 7},
    {"   42", 42},
    {"+7", 7},
    {"-7", -7},
    {"-0", 0},
    {"2147483647", 2147483647},
    {"-2147483648", INT32_MIN},
    {"00000000002147483647", 2147483647},
    // Hexadecimal prefixes, either letter case in the digits.
    {"$1F", 31},
    {"$ff", 255},
    {"x10", 16},
    {"X10", 16},
    {"0x10", 16},
    {"0X1a", 26},
    {"-$10", -16},
    {"+x7fffffff", 2147483647},
    {"  -0x0", 0},
    {"$000000001", 1},
    // 32 hexadecimal bits wrap into the negative range; a sign negates with wrap-around.
    {"$80000000", INT32_MIN},
    {"$FFFFFFFF", -1},
    {"-$FFFFFFFF", 1},
    {"-$80000000", INT32_MIN},
    {"-$7FFFFFFF", -2147483647},
    // Failures.
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"$", std::nullopt},
    {"x", std::nullopt},
    {"0x", std::nullopt},
    {"-0x", std::nullopt},
    {"12 ", std::nullopt},
    {"1 2", std::nullopt},
    {"\t5", std::nullopt},
    {"- 5", std::nullopt},
    {"--1", std::nullopt},
    {"+-1", std::nullopt},
    {"1.5", std::nullopt},
    {"12a", std::nullopt},
    {"5$", std::nullopt},
    {"$G", std::nullopt},
    {"0x-1", std::nullopt},
    {"$$1", std::nullopt},
    {"00x5", std::nullopt},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"4294967296", std::nullopt},
    {"99999999999", std::nullopt},
    {"$100000000", std::nullopt},
    {"-$100000000", std::nullopt},
};

TEST(IntegerConversion, Table) {
    for (const auto& c : IntCases) {
        SCOPED_TRACE(std::string("text \"") + c.Text + "\"");
        int32_t value = 12345;
        const bool ok = TryStrToInt(c.Text, value);
        EXPECT_EQ(ok, c.Expected.has_value());
        if (c.Expected) {
            EXPECT_EQ(value, *c.Expected);
            EXPECT_EQ(StrToIntDef(c.Text, -99), *c.Expected);
        } else {
            EXPECT_EQ(value, 12345) << "a failed conversion leaves the value alone";
            EXPECT_EQ(StrToIntDef(c.Text, -99), -99);
        }
    }
}

TEST(IntegerConversion, EmbeddedNulIsLeftOver) {
    EXPECT_EQ(StrToIntDef(std::string_view("12\0", 3), -1), -1);
}

TEST(SameText, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SameText("Setup.INI", "setup.ini"));
    EXPECT_TRUE(SameText("", ""));
    EXPECT_FALSE(SameText("abc", "abcd"));
    EXPECT_FALSE(SameText("[", "{")); // 0x5B and 0x7B differ by 32 but are not letters
    EXPECT_FALSE(SameText("@", "`"));
    EXPECT_FALSE(SameText("\xC4", "\xE4")); // A and a with diaeresis in the ANSI code page
    EXPECT_EQ(AsciiLower('Z'), 'z');
    EXPECT_EQ(AsciiLower('\xC4'), '\xC4');
    EXPECT_EQ(AsciiLowerCase("Setup.INI [@`\xC4]"), "setup.ini [@`\xC4]");
}

TEST(TextHelpers, SplitString) {
    struct TCase {
        const char* Text;
        char Separator;
        bool Found;
        const char* Before;
        const char* After;
    };
    const TCase cases[] = {
        {"a=b", '=', true, "a", "b"},   {"a=b=c", '=', true, "a", "b=c"}, {"abc", '=', false, "abc", ""},
        {"=x", '=', true, "", "x"},     {"x=", '=', true, "x", ""},       {"", '=', false, "", ""},
        {"a,b", '|', false, "a,b", ""},
    };
    for (const auto& c : cases) {
        const TSplitResult r = SplitString(c.Text, c.Separator);
        EXPECT_EQ(r.Found, c.Found) << c.Text;
        EXPECT_EQ(r.Before, c.Before) << c.Text;
        EXPECT_EQ(r.After, c.After) << c.Text;
    }
}

TEST(TextHelpers, SplitLinesAtCrLfCrOrLf) {
    struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"Fa", {"Fa"}},
        {"Fa\r\n", {"Fa"}},
        {"Fa\r\nDb", {"Fa", "Db"}},
        {"Fa\rDb\nEc\r\n", {"Fa", "Db", "Ec"}},
        {"Fa\n\rDb", {"Fa", "", "Db"}},   // LF then CR: two breaks
        {"Fa\r\n\r\nDb\r\n", {"Fa", "", "Db"}},
        {"\r\n", {""}},
        {"Fa\r", {"Fa"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.text), c.lines) << "text: " << testing::PrintToString(c.text);
}

TEST(TextHelpers, TrimAndReplace) {
    EXPECT_EQ(TrimText(" \t\r\nab c\x01 "), "ab c");
    EXPECT_EQ(TrimText("\xA0x\xE4"), "\xA0x\xE4"); // the upper half of the code page is text
    EXPECT_EQ(TrimText(std::string("\0 a\0", 4)), "a");
    EXPECT_EQ(TrimText("  "), "");

    struct TCase {
        const char* Text;
        const char* Symbol;
        const char* Value;
        const char* First;
        const char* All;
    };
    const TCase cases[] = {
        {"$A and $A", "$A", "x", "x and $A", "x and x"},
        {"$AB $A", "$A", "$A$A", "$A$AB $A", "$A$AB $A$A"}, // the replacement is not scanned again
        {"$a", "$A", "x", "$a", "$a"},                      // letter case counts
        {"abc", "", "x", "abc", "abc"},
        {"aaa", "aa", "b", "ba", "ba"},
        {"", "$A", "x", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceFirst(c.Text, c.Symbol, c.Value), c.First) << c.Text;
        EXPECT_EQ(ReplaceAll(c.Text, c.Symbol, c.Value), c.All) << c.Text;
    }
}

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& random) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

uint32_t ZlibAdler(uint32_t adler, const std::vector<uint8_t>& data) {
    return static_cast<uint32_t>(adler32(adler, data.data(), static_cast<uInt>(data.size())));
}

// Every kernel this processor runs (the plain loop first), each compared with zlib.
std::vector<TAdler32Kernel> Kernels() {
    const TAdler32Kernel* kernels;
    const size_t count = Adler32Kernels(kernels);
    return {kernels, kernels + count};
}

TEST(Adler32, KnownValues) {
    for (const auto& kernel : Kernels()) {
        SCOPED_TRACE(kernel.Name);
        EXPECT_EQ(kernel.Function(1, "", 0), 1u);
        EXPECT_EQ(kernel.Function(1, "a", 1), 0x00620062u);
        EXPECT_EQ(kernel.Function(1, "Wikipedia", 9), 0x11E60398u);
        EXPECT_EQ(kernel.Function(0x12345678, nullptr, 0), 1u);
    }
    EXPECT_EQ(Adler32(1, "Wikipedia", 9), 0x11E60398u);
}

// Lengths around the vector widths (16, 32) and the reduction interval (5552 bytes, or the 5536
// of whole 32-byte chunks within it), each at every offset from a 32-byte boundary of a few.
TEST(Adler32, EqualsZlibForManyLengths) {
    std::mt19937 random(20240601);
    const size_t lengths[] = {15,   16,    17,    31,    32,    33,    63,     64,    65,
                              255,  4096,  5535,  5536,  5537,  5551,  5552,   5553,  5567,
                              5583, 11072, 11104, 11105, 11119, 65536, 100003, 300000};
    const size_t offsets[] = {0, 1, 15, 31};
    const auto buffer = RandomBytes(300000 + 32, random);
    for (const auto& kernel : Kernels()) {
        SCOPED_TRACE(kernel.Name);
        for (size_t n : lengths) {
            for (size_t offset : offsets) {
                const std::vector<uint8_t> data(buffer.begin() + offset, buffer.begin() + offset + n);
                EXPECT_EQ(kernel.Function(1, buffer.data() + offset, n), ZlibAdler(1, data))
                    << n << "+" << offset;
            }
        }
        for (size_t n = 0; n < 200; ++n) {
            const std::vector<uint8_t> data(buffer.begin() + n, buffer.begin() + 2 * n);
            EXPECT_EQ(kernel.Function(1, data.data(), n), ZlibAdler(1, data)) << n;
        }
    }
}

// All 0xFF bytes after a start value of Base - 1 in both halves is where the deferred modulo
// comes closest to overflowing 32 bits. Unreduced start values must behave as zlib's too.
TEST(Adler32, EqualsZlibAtTheExtremes) {
    const uint32_t starts[] = {1, 0, 0xFFF0FFF0u, 0xFFFFFFFFu, 0xFFF00001u, 0x0001FFF0u};
    const size_t lengths[] = {0, 1, 7, 16, 31, 32, 5536, 5551, 5552, 5553, 3 * 5552 + 7, 3 * 5552 + 31};
    for (const auto& kernel : Kernels()) {
        for (uint32_t start : starts) {
            for (size_t n : lengths) {
                const std::vector<uint8_t> ones(n, 0xFF);
                EXPECT_EQ(kernel.Function(start, ones.data(), n), ZlibAdler(start, ones))
                    << kernel.Name << " " << std::hex << start << " " << std::dec << n;
            }
        }
    }
}

TEST(Adler32, AnySplitGivesTheSameSum) {
    std::mt19937 random(7);
    const auto data = RandomBytes(50000, random);
    const uint32_t whole = ZlibAdler(1, data);
    for (int trial = 0; trial < 200; ++trial) {
        uint32_t sum = 1;
        size_t pos = 0;
        while (pos < data.size()) {
            // Mix tiny blocks with ones around the 5552-byte reduction interval.
            const size_t pick = random() % 4;
            size_t block = pick == 0 ? random() % 20 : pick == 1 ? 5540 + random() % 30 : random() % 9000;
            block = std::min(block, data.size() - pos);
            sum = Adler32(sum, data.data() + pos, block);
            pos += block;
        }
        ASSERT_EQ(sum, whole) << "trial " << trial;
    }
}

} // namespace
