#include "common/FileSystem.h"

#include <gtest/gtest.h>

#include "common/Stream.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

void MakeFile(const std::string& path, const char* content = "x") {
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteBuffer(content, int32_t(std::char_traits<char>::length(content)));
}

TEST(FileSystem, FilesAndFolders) {
    TTestFolder folder;
    const std::string sub = folder.PathOf("sub");
    const std::string file = folder.PathOf("file.txt");

    EXPECT_TRUE(DirectoryExists(folder.Path())) << "a trailing delimiter is allowed";
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_FALSE(DirectoryExists(sub));

    ASSERT_TRUE(CreateDir(sub));
    EXPECT_TRUE(DirectoryExists(sub));
    EXPECT_TRUE(DirectoryExists(sub + PathDelimiter()));
    EXPECT_FALSE(FileExists(sub));
    EXPECT_FALSE(CreateDir(sub)) << "exists already";
    EXPECT_FALSE(CreateDir(folder.PathOf("a") + PathDelimiter() + "b")) << "one level only";

    MakeFile(file);
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_FALSE(DeleteFileAt(sub)) << "a folder is no file";
    EXPECT_FALSE(RemoveDir(file)) << "a file is no folder";

    const std::string inner = folder.PathOf("sub" + std::string(1, PathDelimiter()) + "inner.txt");
    MakeFile(inner);
    EXPECT_FALSE(RemoveDir(sub)) << "not empty";
    EXPECT_TRUE(DeleteFileAt(inner));
    EXPECT_FALSE(DeleteFileAt(inner));
    EXPECT_TRUE(RemoveDir(sub));
    EXPECT_FALSE(DirectoryExists(sub));
    EXPECT_TRUE(DeleteFileAt(file));
    EXPECT_FALSE(FileExists(file));
}

TEST(FileSystem, ClearReadOnly) {
    TTestFolder folder;
    const std::string file = folder.PathOf("readonly.txt");
    MakeFile(file, "keep");
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(DeleteFileAt(file)) << "Windows refuses to delete a read-only file";
    ClearReadOnly(file);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE)) << "other attributes stay";
#else
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    ClearReadOnly(file);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
#endif
    ClearReadOnly(file); // a writable file stays as it is
    ClearReadOnly(folder.PathOf("missing.txt"));
    TFileStream writable(file, TFileMode::fmOpenReadWrite);
}

TEST(FileSystem, SetFileDateRoundTrip) {
    TTestFolder folder;
    const std::string path = folder.PathOf("dated.bin");
    const uint32_t dates[] = {
        DosStamp(1980, 1, 1, 0, 0, 0),     DosStamp(1999, 12, 31, 23, 59, 58),
        DosStamp(2021, 6, 15, 12, 34, 56), DosStamp(2024, 2, 29, 8, 0, 2),
        DosStamp(2024, 1, 15, 3, 4, 6),    DosStamp(2107, 12, 31, 23, 59, 58),
        DosStamp(2000, 2, 29, 1, 2, 4),
    };
    for (uint32_t date : dates) {
        {
            TFileStream file(path, TFileMode::fmCreate);
            file.WriteBuffer("data", 4);
            ASSERT_TRUE(SetFileDate(file, date)) << std::hex << date;
        }
        const auto read = GetFileDate(path);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, date) << std::hex << *read << " instead of " << date;
    }
}

TEST(FileSystem, SetFileDateRefusesImpossibleDates) {
    TTestFolder folder;
    const std::string path = folder.PathOf("dated.bin");
    TFileStream file(path, TFileMode::fmCreate);
    const uint32_t bad[] = {
        DosStamp(2020, 0, 1, 0, 0, 0),  DosStamp(2020, 13, 1, 0, 0, 0), DosStamp(2020, 1, 0, 0, 0, 0),
        DosStamp(2021, 2, 29, 0, 0, 0), DosStamp(2020, 4, 31, 0, 0, 0), DosStamp(2020, 1, 1, 24, 0, 0),
        DosStamp(2020, 1, 1, 0, 60, 0), DosStamp(2020, 1, 1, 0, 0, 60), DosStamp(2100, 2, 29, 0, 0, 0),
    };
    for (uint32_t date : bad)
        EXPECT_FALSE(SetFileDate(file, date)) << std::hex << date;
}

TEST(FileSystem, TempDirectory) {
    const std::string temp = TempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), PathDelimiter());
    EXPECT_TRUE(DirectoryExists(temp));
}

} // namespace
