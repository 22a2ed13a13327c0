#include "common/Path.h"

#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace {

TEST(PathUtilities, IncludeDelimiterAndJoin) {
    struct TCase {
        const char* Path;
        const char* Expected;
    };
    const TCase delimiterCases[] = {
        {"", ""},       {"C:\\Program Files", "C:\\Program Files\\"}, {"C:\\a\\", "C:\\a\\"}, {"C:", "C:\\"},
        {"a/", "a/\\"},
    };
    for (const auto& c : delimiterCases)
        EXPECT_EQ(IncludeDelimiter(c.Path), c.Expected) << c.Path;

    EXPECT_EQ(JoinPath("", "Setup.ini"), "Setup.ini");
    EXPECT_EQ(JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(JoinPath("C:\\a", ""), "C:\\a\\");
    EXPECT_EQ(JoinPaths("C:\\a", "b", "c.txt"), "C:\\a\\b\\c.txt");
    EXPECT_EQ(JoinPaths("", "b", "c"), "b\\c");
    EXPECT_EQ(JoinPaths("", "", "c"), "c");
}

TEST(PathUtilities, BaseFileName) {
    struct TCase {
        const char* Path;
        const char* Expected;
    };
    const TCase cases[] = {
        {"C:\\dir\\file.txt", "file"},
        {"file.tar.gz", "file.tar"},
        {"C:file.ext", "file"},
        {"C:\\dir.d\\file", "file"},
        {"noext", "noext"},
        {".hidden", ""},
        {"dir\\", ""},
        {"", ""},
        {"a:b\\c:d.e", "d"},
        {"x/y.z", "x/y"}, // only backslash and colon separate
    };
    for (const auto& c : cases)
        EXPECT_EQ(BaseFileName(c.Path), c.Expected) << c.Path;
}

// One row per path: what each helper makes of it. Backslash, slash and drive colon are treated
// alike on every platform, and a full path is a Windows one on every platform too.
TEST(PathUtilities, FoldersParentsAndVolumes) {
    struct TCase {
        const char* Path;
        const char* Folder;    // FileFolder
        const char* Parent;    // ParentFolder
        const char* Excluded;  // ExcludeDelimiter
        const char* Volume;    // VolumeRoot
        const char* Extension; // FileExtension
        bool Full;             // IsFullPath
    };
    const TCase cases[] = {
        {"C:\\a\\b.txt", "C:\\a\\", "C:\\a\\", "C:\\a\\b.txt", "C:", ".txt", true},
        {"C:\\a\\b\\", "C:\\a\\b\\", "C:\\a\\", "C:\\a\\b", "C:", "", true},
        {"C:/a/b.dll", "C:/a/", "C:/a/", "C:/a/b.dll", "C:", ".dll", true},
        {"C:\\a.d\\b", "C:\\a.d\\", "C:\\a.d\\", "C:\\a.d\\b", "C:", "", true},
        {"C:\\", "C:\\", "C:", "C:", "C:", "", true},
        {"C:", "C:", "C:", "C:", "C:", "", false},
        {"C:b.x", "C:", "C:", "C:b.x", "C:", ".x", false},
        {"\\\\srv\\share\\dir\\f.txt", "\\\\srv\\share\\dir\\", "\\\\srv\\share\\dir\\",
         "\\\\srv\\share\\dir\\f.txt", "\\\\srv\\share", ".txt", true},
        {"\\\\srv\\share", "\\\\srv\\", "\\\\srv\\", "\\\\srv\\share", "\\\\srv\\share", "", true},
        {"\\\\srv\\share\\", "\\\\srv\\share\\", "\\\\srv\\", "\\\\srv\\share", "\\\\srv\\share", "", true},
        {"//srv/share/x", "//srv/share/", "//srv/share/", "//srv/share/x", "//srv/share", "", true},
        {"\\\\srv", "\\\\", "\\\\", "\\\\srv", "\\\\srv", "", false},
        {"/tmp/x.y/z", "/tmp/x.y/", "/tmp/x.y/", "/tmp/x.y/z", "", "", false},
        {"a\\b/c", "a\\b/", "a\\b/", "a\\b/c", "", "", false},
        {"name.tar.gz", "", "", "name.tar.gz", "", ".gz", false},
        {".hidden", "", "", ".hidden", "", ".hidden", false},
        {"\\x", "\\", "\\", "\\x", "", "", false},
        {"/x", "/", "/", "/x", "", "", false},
        {"\\\\srv\\\\x", "\\\\srv\\\\", "\\\\srv\\\\", "\\\\srv\\\\x", "\\\\srv\\", "", false},
        {"1:\\x", "1:\\", "1:\\", "1:\\x", "1:", "", false},
        {"", "", "", "", "", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(FileFolder(c.Path), c.Folder);
        EXPECT_EQ(ParentFolder(c.Path), c.Parent);
        EXPECT_EQ(ExcludeDelimiter(c.Path), c.Excluded);
        EXPECT_EQ(VolumeRoot(c.Path), c.Volume);
        EXPECT_EQ(FileExtension(c.Path), c.Extension);
        EXPECT_EQ(IsFullPath(c.Path), c.Full);
    }
}

TEST(PathUtilities, ProgramFileAndDirectory) {
    const std::string file = ProgramFileName();
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(FileExists(file)) << file;
    EXPECT_TRUE(DirectoryExists(dir)) << dir;
    EXPECT_EQ(dir.back(), PathDelimiter());
    EXPECT_EQ(file.compare(0, dir.size(), dir), 0);
    EXPECT_EQ(file.find(PathDelimiter(), dir.size()), std::string::npos);
    EXPECT_NE(file.find("common_tests", dir.size()), std::string::npos);
}

// Names that Windows takes for one file, and names it keeps apart. Rows in UTF-8; the same
// rows run natively over the portable table and under Wine through the system's casing.
TEST(PathUtilities, SameFileName) {
    struct TCase {
        const char* A;
        const char* B;
        bool Same;
    };
    const TCase cases[] = {
        {"Setup.INI", "setup.ini", true},
        {"Caf\xC3\xA9", "CAF\xC3\x89", true},                                   // é, É
        {"\xC3\xBF", "\xC5\xB8", true},                                         // ÿ, Ÿ
        {"\xC5\x81\xC3\xB3\x64\xC5\xBA", "\xC5\x81\xC3\x93\x44\xC5\xB9", true}, // Łódź, ŁÓDŹ
        {"\xC5\x93uvre", "\xC5\x92UVRE", true},                                 // œ, Œ
        {"\xCE\xB5\xCE\xBB", "\xCE\x95\xCE\x9B", true},                         // ελ, ΕΛ
        {"\xCE\xAC", "\xCE\x86", true},                                         // ά, Ά
        {"\xCF\x82", "\xCE\xA3", false},                // ς, Σ: final sigma has no capital of its own
        {"\xD1\x91\xD0\xB6", "\xD0\x81\xD0\x96", true}, // ёж, ЁЖ
        {"C:\\Program Files\\Caf\xC3\xA9\\", "c:\\PROGRAM FILES\\CAF\xC3\x89\\", true},
        {"stra\xC3\x9F\x65", "STRASSE", false}, // one letter never becomes two
        {"Caf\xC3\xA9", "Cafe", false},
        {"a", "b", false},
        {"[", "{", false},
        {"\xC3\xB7", "\xC3\x97", false}, // division and multiplication signs have no case
        {"", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.A) + " | " + c.B);
        EXPECT_EQ(FileNameKey(c.A, CodePageUtf8) == FileNameKey(c.B, CodePageUtf8), c.Same);
    }
    // Windows-1252 bytes fold as their letters do; the running code page's names through
    // SameFileName.
    EXPECT_EQ(FileNameKey("Caf\xE9 \x9A\xFF", CodePageWindows1252),
              FileNameKey("CAF\xC9 \x8A\x9F", CodePageWindows1252));
    EXPECT_TRUE(SameFileName("C:\\Plug-Ins\\X.dll", "c:\\plug-ins\\x.DLL"));
    EXPECT_FALSE(SameFileName("X.dll", "X.vst3"));
}

} // namespace
