// Setup.jpg decoded into the wizard's bitmap, with pictures made by Debian's image tools:
// Picture.jpg is a 64 x 48 colour gradient from #2060A0 at the top to #F0C040 at the bottom,
// Gray.jpg a 24 x 8 grey-scale gradient from white to black.

#include <gtest/gtest.h>

#include <windows.h>

#include "common/Errors.h"
#include "setup/SetupInstaller.h"
#include "setup/SetupPicture.h"
#include "tests/setup/SetupTestSupport.h"

namespace {

std::string TestPicture(const std::string& name) { return ReadBytes(std::string(SETUP_TEST_DATA) + "\\" + name); }

class SetupPictureTest : public ::testing::Test {
protected:
    TTestFolder Folder;
    TTestSystem System;

    std::unique_ptr<TSetupInstaller> CreateWithPicture(const std::optional<std::string>& jpeg) {
        TTestSetup setup;
        setup.Ini = MinimalSetupSection;
        if (jpeg)
            setup.Entries.push_back(TTestEntry::File("Setup.jpg", *jpeg));
        return CreateInstaller(WriteSetup(Folder, setup), System);
    }
    std::string LoadError(const std::optional<std::string>& jpeg) {
        TPicture picture;
        try {
            CreateWithPicture(jpeg)->LoadPicture(picture);
        } catch (const Exception& error) {
            EXPECT_TRUE(picture.Empty());
            return error.what();
        }
        return "<no error>";
    }
};

// Blue, green and red of the pixel at x, y of a top-down 24-bit section.
struct TPixel {
    int Blue, Green, Red;
};
TPixel PixelAt(const TPicture& picture, int x, int y) {
    DIBSECTION section = {};
    EXPECT_EQ(::GetObjectA(picture.Handle(), sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    const uint8_t* pixel = bits + static_cast<size_t>(y) * section.dsBm.bmWidthBytes + x * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

void ExpectNear(const TPixel& actual, const TPixel& expected, const char* where) {
    EXPECT_NEAR(actual.Blue, expected.Blue, 12) << where;
    EXPECT_NEAR(actual.Green, expected.Green, 12) << where;
    EXPECT_NEAR(actual.Red, expected.Red, 12) << where;
}

TEST_F(SetupPictureTest, DecodesAColourPictureTopRowFirst) {
    TPicture picture;
    CreateWithPicture(TestPicture("Picture.jpg"))->LoadPicture(picture);
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Width(), 64);
    EXPECT_EQ(picture.Height(), 48);
    BITMAP bitmap = {};
    ASSERT_NE(::GetObjectA(picture.Handle(), sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 64);
    EXPECT_EQ(bitmap.bmHeight, 48);
    ExpectNear(PixelAt(picture, 10, 0), {0xA0, 0x60, 0x20}, "top");
    ExpectNear(PixelAt(picture, 50, 47), {0x40, 0xC0, 0xF0}, "bottom");
}

TEST_F(SetupPictureTest, DecodesAGreyPictureIntoColour) {
    TPicture picture;
    CreateWithPicture(TestPicture("Gray.jpg"))->LoadPicture(picture);
    EXPECT_EQ(picture.Width(), 24);
    EXPECT_EQ(picture.Height(), 8);
    ExpectNear(PixelAt(picture, 23, 0), {255, 255, 255}, "top");
    ExpectNear(PixelAt(picture, 0, 7), {0, 0, 0}, "bottom");
}

TEST_F(SetupPictureTest, ReportsTheDecodersErrors) {
    const std::string jpeg = TestPicture("Picture.jpg");
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Message;
    };
    const TCase cases[] = {
        {"truncated in the image data", jpeg.substr(0, jpeg.size() - 60), "Premature end of JPEG file"},
        {"truncated in the header", jpeg.substr(0, 100), "Premature end of JPEG file"},
        {"not a picture", "not a picture", "Not a JPEG file: starts with 0x6e 0x6f"},
        {"empty", "", "Empty input file"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LoadError(c.Bytes), c.Message) << c.Name;
}

TEST_F(SetupPictureTest, NeedsTheFile) {
    const std::string message = LoadError(std::nullopt);
    EXPECT_EQ(message.rfind("Cannot open file \"", 0), 0u) << message;
    EXPECT_NE(message.find("Setup.jpg"), std::string::npos) << message;
}

} // namespace
