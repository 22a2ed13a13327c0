#include "common/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const TestKey = "Software\\SetupBuilderTest Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, TestKey); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, TestKey); }
    static std::string Path(const std::string& below) { return std::string(TestKey) + "\\" + below; }
};

TEST_F(RegistryTest, LeadingBackslashesAreDroppedOnce) {
    EXPECT_EQ(RelativeKeyPath("\\Software\\A"), "Software\\A");
    EXPECT_EQ(RelativeKeyPath("\\\\Software\\A\\"), "Software\\A\\");
    EXPECT_EQ(RelativeKeyPath("\\"), "");

    EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, "\\" + Path("A\\B")));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, "\\" + Path("A\\B"))) << "missing parents are created";
    EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, Path("A\\B")));
    EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, "\\" + Path("A")));
}

TEST_F(RegistryTest, ValuesOfEachTypeAndMissingOnes) {
    UniqueHKey key = CreateKey(HKEY_CURRENT_USER, Path("V"));
    ASSERT_TRUE(key);
    EXPECT_TRUE(WriteStringValue(key.Get(), "Text", "C:\\Program Files\\"));
    EXPECT_TRUE(WriteStringValue(key.Get(), "", "default"));
    EXPECT_TRUE(WriteDwordValue(key.Get(), "Number", 0xFFFFFFFEu));
    // Stored without a terminating NUL, and cut at an inner one.
    const char raw[] = {'a', 'b', '\0', 'c'};
    ::RegSetValueExA(key.Get(), "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 2);
    ::RegSetValueExA(key.Get(), "Inner", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);

    UniqueHKey read = OpenKey(HKEY_CURRENT_USER, Path("V"));
    ASSERT_TRUE(read);
    EXPECT_EQ(ReadStringValue(read.Get(), "Text"), "C:\\Program Files\\");
    EXPECT_EQ(ReadStringValue(read.Get(), nullptr), "default");
    EXPECT_EQ(ReadStringValue(read.Get(), "Raw"), "ab");
    EXPECT_EQ(ReadStringValue(read.Get(), "Inner"), "ab");
    EXPECT_EQ(ReadDwordValue(read.Get(), "Number"), 0xFFFFFFFEu);
    EXPECT_EQ(ReadStringValue(read.Get(), "Number"), std::nullopt) << "another type";
    EXPECT_EQ(ReadDwordValue(read.Get(), "Text"), std::nullopt) << "another type";
    EXPECT_EQ(ReadStringValue(read.Get(), "Missing"), std::nullopt);
    EXPECT_EQ(ReadDwordValue(read.Get(), "Missing"), std::nullopt);
    EXPECT_FALSE(WriteStringValue(read.Get(), "Text", "x")) << "a key opened for reading refuses writes";
}

TEST_F(RegistryTest, SubkeysAndTheRecursiveDelete) {
    for (const char* path : {"T\\One\\Deep\\Deeper", "T\\Two", "T\\Three\\X"})
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, Path(path)));
    UniqueHKey tree = OpenKey(HKEY_CURRENT_USER, Path("T"));
    auto names = SubkeyNames(tree.Get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"One", "Three", "Two"}));
    tree.Reset();

    EXPECT_FALSE(DeleteKeyTree(HKEY_CURRENT_USER, Path("Missing")));
    UniqueHKey root = OpenKey(HKEY_CURRENT_USER, TestKey, KEY_ALL_ACCESS);
    EXPECT_FALSE(DeleteKeyTree(root.Get(), "\\")) << "an empty path would name the parent itself";
    EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, Path("T\\Two")));

    EXPECT_TRUE(DeleteKeyTree(root.Get(), "\\T\\One"));
    EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, Path("T\\One")));
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, "\\" + Path("T")));
    EXPECT_FALSE(OpenKey(HKEY_CURRENT_USER, Path("T")));
    EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, TestKey)) << "the parent stays";
}

} // namespace
