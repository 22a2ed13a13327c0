#include "common/Version.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/Stream.h"
#include "tests/support/TestValues.h"

namespace {

TEST(ProgramVersion, Compare) {
    struct TCase {
        TProgramVersion A, B;
        int Expected;
    };
    const TCase cases[] = {
        {MakeVersion(5, 0, 4), MakeVersion(5, 0, 4, 7), 1},
        {MakeVersion(5, 0, 4, 7), MakeVersion(5, 0, 4), -1},
        {MakeVersion(5, 0, 4, 2), MakeVersion(5, 0, 4, 7), -1},
        {MakeVersion(5, 0, 4, 9), MakeVersion(5, 0, 4, 7), 1},
        {MakeVersion(6, 0, 0), MakeVersion(5, 9, 9), 1},
        {MakeVersion(5, 9, 9, 3), MakeVersion(6, 0, 0), -1},
        {MakeVersion(5, 0, 4), MakeVersion(5, 0, 4, 0, true), 0},
        {MakeVersion(5, 1, 0), MakeVersion(5, 0, 9), 1},
        {MakeVersion(5, 0, 3), MakeVersion(5, 0, 4), -1},
        {MakeVersion(7, 0, 0), MakeVersion(5, 0, 0), 1}, // a difference of 2 is clamped
        // Betas of zero and below are no betas; they still compare by their difference.
        {MakeVersion(5, 0, 4, 0), MakeVersion(5, 0, 4, -3), 1},
        // Differences wrap around in 32 bits before they are clamped.
        {MakeVersion(INT32_MIN, 0, 0), MakeVersion(1, 0, 0), 1},
        {MakeVersion(INT32_MAX, 0, 0), MakeVersion(-1, 0, 0), -1},
        {MakeVersion(INT32_MAX, 0, 0), MakeVersion(0, 0, 0), 1},
        {MakeVersion(5, INT32_MIN, 0), MakeVersion(5, 0, 0), -1},
        {MakeVersion(5, 0, 0, INT32_MAX), MakeVersion(5, 0, 0, 1), 1},
        {MakeVersion(5, 0, 0, -2), MakeVersion(5, 0, 0, INT32_MAX), 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(cases[i].A.Compare(cases[i].B), cases[i].Expected) << "case " << i;
}

TEST(ProgramVersion, ToText) {
    EXPECT_EQ(MakeVersion(5, 0, 4).ToText(), "5.04");
    EXPECT_EQ(MakeVersion(5, 0, 1, 2, true).ToText(), "5.01 beta 2 (press preview)");
    EXPECT_EQ(MakeVersion(5, 0, 1, 0, true).ToText(), "5.01 (press preview)");
    EXPECT_EQ(MakeVersion(5, 10, 0).ToText(), "5.100");
    EXPECT_EQ(MakeVersion(-1, 2, 3, -4).ToText(), "-1.23");
    EXPECT_EQ(MakeVersion(INT32_MIN, 0, 0, INT32_MAX).ToText(), "-2147483648.00 beta 2147483647");
}

struct TTextCase {
    const char* Text;
    bool Valid;
    int32_t Major, Minor, Release, Beta;
    bool PressPreview;
};

const TTextCase TextCases[] = {
    {"5.04", true, 5, 0, 4, 0, false},
    {"5", true, 5, 0, 0, 0, false},
    {"12.3", true, 12, 3, 0, 0, false},
    {"5.100", true, 5, 1, 0, 0, false},
    {"5.04 beta 12", true, 5, 0, 4, 12, false},
    {"5.04 beta 3", true, 5, 0, 4, 3, false},
    {"5.04 beta 3 (press preview)", true, 5, 0, 4, 0, true},
    {"5.01 beta 12 (press preview)", true, 5, 0, 1, 12, true},
    {"5.04 (press preview)", true, 5, 0, 4, 0, true},
    {"5.04 press", true, 5, 0, 4, 0, true},
    {"5.04 Press", true, 5, 0, 4, 0, false}, // searches are case-sensitive
    {"5.04 Beta 3", true, 5, 0, 4, 0, false},
    {"5.04 beta", true, 5, 0, 4, 0, false}, // no blank after "beta"
    {"5.04 beta ", true, 5, 0, 4, 0, false},
    {"5.04 beta -1", true, 5, 0, 4, -1, false},
    {"5.04 beta x1", true, 5, 0, 4, 1, false},
    {"5.1x", true, 5, 1, 0, 0, false},
    {"5.1", true, 5, 1, 0, 0, false},
    {" 5.04", true, 5, 0, 4, 0, false},
    {"$A.04", true, 10, 0, 4, 0, false},
    {"5.0.4", true, 5, 0, 0, 0, false}, // the second "." is the release digit, which fails
    {"5.x1", false, 0, 0, 0, 0, false},
    {"", false, 0, 0, 0, 0, false},
    {"-1.00", false, 0, 0, 0, 0, false},
    {"5.", false, 0, 0, 0, 0, false},
    {".5", false, 0, 0, 0, 0, false},
    {"5 .04", false, 0, 0, 0, 0, false},
    {"5. 4", false, 0, 0, 0, 0, false},
    {"beta 3", false, 0, 0, 0, 0, false},
    {"$FFFFFFFF", false, 0, 0, 0, 0, false}, // hexadecimal -1
    {"2147483648.00", false, 0, 0, 0, 0, false},
};

TEST(ProgramVersion, FromText) {
    for (const auto& c : TextCases) {
        SCOPED_TRACE(std::string("text \"") + c.Text + "\"");
        TProgramVersion v = MakeVersion(9, 8, 7, 6, true);
        if (!c.Valid) {
            EXPECT_EQ(ErrorOf<EProgramVersionError>([&] { v.FromText(c.Text); }),
                      std::string("'") + c.Text + "' is not a valid version number");
            // The value is unchanged.
            EXPECT_EQ(v.Major, 9);
            EXPECT_EQ(v.Minor, 8);
            EXPECT_EQ(v.Release, 7);
            EXPECT_EQ(v.Beta, 6);
            EXPECT_TRUE(v.PressPreview);
            continue;
        }
        v.FromText(c.Text);
        EXPECT_EQ(v.Major, c.Major);
        EXPECT_EQ(v.Minor, c.Minor);
        EXPECT_EQ(v.Release, c.Release);
        EXPECT_EQ(v.Beta, c.Beta);
        EXPECT_EQ(v.PressPreview, c.PressPreview);
    }
}

TEST(ProgramVersion, TextRoundTripOfOneDigitParts) {
    for (int32_t minor = 0; minor <= 9; ++minor) {
        for (int32_t beta : {0, 1, 42, 99}) {
            for (bool press : {false, true}) {
                const TProgramVersion original = MakeVersion(17, minor, 9 - minor, beta, press);
                TProgramVersion read;
                read.FromText(original.ToText());
                // A beta with a press preview loses its number when it has one digit: "3 " fails.
                const bool betaLost = press && beta > 0 && beta < 10;
                EXPECT_EQ(read.Beta, betaLost ? 0 : beta) << original.ToText();
                EXPECT_EQ(read.Major, 17);
                EXPECT_EQ(read.Minor, minor);
                EXPECT_EQ(read.Release, 9 - minor);
                EXPECT_EQ(read.PressPreview, press);
            }
        }
    }
}

TEST(ProgramVersion, StreamRoundTrip) {
    const TProgramVersion cases[] = {MakeVersion(5, 0, 4), MakeVersion(5, 0, 1, 2, true),
                                     MakeVersion(INT32_MIN, INT32_MAX, -1, -100, false)};
    for (const auto& original : cases) {
        TMemoryStream stream;
        original.SaveToStream(stream);
        ASSERT_EQ(stream.Size(), TProgramVersion::StreamSize);
        stream.SetPosition(0);
        TProgramVersion read = MakeVersion(1, 1, 1, 1, !original.PressPreview);
        read.LoadFromStream(stream);
        EXPECT_EQ(stream.Position(), TProgramVersion::StreamSize);
        EXPECT_EQ(read.Major, original.Major);
        EXPECT_EQ(read.Minor, original.Minor);
        EXPECT_EQ(read.Release, original.Release);
        EXPECT_EQ(read.Beta, original.Beta);
        EXPECT_EQ(read.PressPreview, original.PressPreview);
    }
}

TEST(ProgramVersion, StreamLayout) {
    TMemoryStream stream;
    MakeVersion(5, 1, 2, 3, true).SaveToStream(stream);
    const uint8_t expected[25] = {0x9C, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 5, 0, 0, 0, 1,
                                  0,    0,    0,    2,    0, 0, 0, 3, 0, 0, 0, 1};
    ASSERT_EQ(stream.Bytes().size(), sizeof expected);
    EXPECT_EQ(std::memcmp(stream.Memory(), expected, sizeof expected), 0);
}

TEST(ProgramVersion, BadStreamHeaders) {
    struct TCase {
        int32_t Marker, Format;
    };
    const TCase cases[] = {{-100, 2}, {-100, 0}, {100, 1}, {0, 0}};
    for (const auto& c : cases) {
        TMemoryStream stream;
        stream.WriteInt32(c.Marker);
        stream.WriteInt32(c.Format);
        for (int i = 0; i < 5; ++i)
            stream.WriteInt32(7);
        stream.SetPosition(0);
        TProgramVersion v = MakeVersion(5, 0, 4);
        EXPECT_EQ(ErrorOf<EProgramVersionError>([&] { v.LoadFromStream(stream); }),
                  "Invalid version number on stream")
            << c.Marker << "/" << c.Format;
        EXPECT_EQ(stream.Position(), 8);
        EXPECT_EQ(v.Compare(MakeVersion(5, 0, 4)), 0);
        EXPECT_EQ(v.Major, 5);
    }
}

TEST(ProgramVersion, ShortStreamKeepsWhatWasRead) {
    TMemoryStream stream;
    MakeVersion(6, 2, 3, 4, true).SaveToStream(stream);
    stream.SetSize(16); // marker, format, major and minor only
    stream.SetPosition(0);
    TProgramVersion v = MakeVersion(1, 1, 1);
    EXPECT_THROW(v.LoadFromStream(stream), EReadError);
    EXPECT_EQ(v.Major, 6);
    EXPECT_EQ(v.Minor, 2);
    EXPECT_EQ(v.Release, 1);
    EXPECT_FALSE(v.PressPreview);
}

} // namespace

TEST(VersionTime, VersionGivesTheTimeOfDay) {
    struct {
        const char* Version;
        std::optional<int> Seconds;
    } const cases[] = {
        {"5.04", 5 * 3600 + 4 * 60},
        {"0.00", 0},
        {"23.59", 23 * 3600 + 59 * 60},
        {"12.3", 12 * 3600 + 30 * 60},
        {"5", 5 * 3600},
        {"24.00", std::nullopt},
        {"5.60", std::nullopt},
        {"5.99 beta 3", std::nullopt},
    };
    for (const auto& c : cases) {
        TProgramVersion version;
        version.FromText(c.Version);
        EXPECT_EQ(VersionTimeOfDay(version), c.Seconds) << c.Version;
    }
}
