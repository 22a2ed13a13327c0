// The folder enumerator against the real find functions.

#include "common/FileEnumerator.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/TestFolder.h"

namespace {

// Every name the enumerator hands out, sorted; checks that each comes once.
std::vector<std::string> Enumerate(const std::string& mask, uint32_t attributes) {
    std::vector<std::string> names;
    TFileEnumerator files(mask, attributes);
    while (files.Next())
        names.push_back(files.FileName());
    EXPECT_EQ(files.FileName(), "");
    EXPECT_FALSE(files.HasAttribute(0xFFFFFFFF));
    EXPECT_FALSE(files.Next()) << "a finished search stays finished";
    std::sort(names.begin(), names.end());
    return names;
}

using TNames = std::vector<std::string>;

// An empty file created with the given attributes, as a program would create it.
void MakeFileWith(const std::string& path, DWORD attributes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    ::CloseHandle(file);
}

} // namespace

TEST(FileEnumerator, EmptyFolderYieldsNothing) {
    TTestFolder folder;
    TFileEnumerator files(folder.PathOf("*.lnk"), faReadOnly | faArchive);
    EXPECT_EQ(files.FileName(), "");
    EXPECT_FALSE(files.Next());
    EXPECT_EQ(files.FileName(), "");
    EXPECT_FALSE(files.HasAttribute(faArchive));
}

TEST(FileEnumerator, MissingFolderYieldsNothing) {
    TTestFolder folder;
    EXPECT_EQ(Enumerate(folder.PathOf("missing\\*.*"), 0x3F), TNames{});
}

TEST(FileEnumerator, WildcardSelectsNames) {
    TTestFolder folder;
    folder.MakeFile("Velmora.lnk");
    folder.MakeFile("Readme.LNK");
    folder.MakeFile("Readme.txt");
    folder.MakeFile("link");
    EXPECT_EQ(Enumerate(folder.PathOf("*.lnk"), faReadOnly | faArchive),
              (TNames{"Readme.LNK", "Velmora.lnk"}));
}

// Hidden, system and directory entries are passed over unless asked for; normal, read-only
// and archive entries always come. The folder's "." and ".." come first in a search for "*.*",
// so the plain-files filter also covers a first entry that does not match.
class FileEnumeratorFilter : public testing::Test {
protected:
    void SetUp() override {
        MakeFileWith(Folder.PathOf("archive.txt"), FILE_ATTRIBUTE_ARCHIVE);
        MakeFileWith(Folder.PathOf("normal.txt"), FILE_ATTRIBUTE_NORMAL);
        MakeFileWith(Folder.PathOf("readonly.txt"), FILE_ATTRIBUTE_READONLY);
        MakeFileWith(Folder.PathOf("hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
        MakeFileWith(Folder.PathOf("system.txt"), FILE_ATTRIBUTE_SYSTEM);
        Folder.MakeFolder("sub");
    }
    std::string All() const { return Folder.PathOf("*.*"); }

    TTestFolder Folder;
};

TEST_F(FileEnumeratorFilter, PlainFilesOnly) {
    EXPECT_EQ(Enumerate(All(), faReadOnly | faArchive),
              (TNames{"archive.txt", "normal.txt", "readonly.txt"}));
    // Read-only and archive are no filter: without them the same entries come.
    EXPECT_EQ(Enumerate(All(), 0), (TNames{"archive.txt", "normal.txt", "readonly.txt"}));
}

TEST_F(FileEnumeratorFilter, EachSpecialBitAdmitsItsEntries) {
    EXPECT_EQ(Enumerate(All(), faHidden),
              (TNames{"archive.txt", "hidden.txt", "normal.txt", "readonly.txt"}));
    EXPECT_EQ(Enumerate(All(), faSystem),
              (TNames{"archive.txt", "normal.txt", "readonly.txt", "system.txt"}));
    EXPECT_EQ(Enumerate(All(), faDirectory),
              (TNames{".", "..", "archive.txt", "normal.txt", "readonly.txt", "sub"}));
}

TEST_F(FileEnumeratorFilter, EveryEntryWithDirectoriesTold) {
    TNames files;
    TNames folders;
    TFileEnumerator entries(All(), 0x3F);
    while (entries.Next())
        (entries.HasAttribute(faDirectory) ? folders : files).push_back(entries.FileName());
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(files, (TNames{"archive.txt", "hidden.txt", "normal.txt", "readonly.txt", "system.txt"}));
    EXPECT_EQ(folders, (TNames{".", "..", "sub"}));
}

TEST_F(FileEnumeratorFilter, HasAttributeOfCurrentEntry) {
    TFileEnumerator entries(Folder.PathOf("readonly.txt"), faReadOnly | faArchive);
    ASSERT_TRUE(entries.Next());
    EXPECT_EQ(entries.FileName(), "readonly.txt");
    EXPECT_TRUE(entries.HasAttribute(faReadOnly));
    EXPECT_TRUE(entries.HasAttribute(faReadOnly | faDirectory));
    EXPECT_FALSE(entries.HasAttribute(faDirectory | faHidden));
    EXPECT_FALSE(entries.Next());
    EXPECT_FALSE(entries.HasAttribute(faReadOnly));
}
