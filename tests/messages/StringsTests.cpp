// The message table: every entry of messages/Messages.inc against what LoadMessage returns for its
// number, loaded the way the program loads it (from the test program's own string resources,
// which the resource compiler made from the same file), and the texts that other code matches
// word for word. Windows only.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "common/Stream.h"
#include "common/Version.h"
#include "messages/Strings.h"
#include "tests/support/TestValues.h"

namespace {

struct TEntry {
    int Number;
    const char* Text;
};

// The table as the C++ compiler reads it, included like Strings.cpp and Strings.rc include it.
#define MESSAGE(number, text) {number, text},
const TEntry Table[] = {
#include "messages/Messages.inc"
};
#undef MESSAGE

TEST(Strings, EachEntryLoadsItsText) {
    std::set<int> numbers;
    for (const TEntry& entry : Table) {
        SCOPED_TRACE("message " + std::to_string(entry.Number));
        EXPECT_TRUE(numbers.insert(entry.Number).second) << "listed twice";
        const std::string text = entry.Text;
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(LoadMessage(entry.Number), text);
        // A dialog breaks lines at \r alone, and FillMessage fills one "%s" and nothing else.
        EXPECT_EQ(text.find('\n'), std::string::npos);
        const size_t percent = text.find('%');
        if (percent != std::string::npos) {
            EXPECT_EQ(text.compare(percent, 2, "%s"), 0);
            EXPECT_EQ(text.find('%', percent + 1), std::string::npos);
        }
    }
}

// The table holds an entry for each name code uses and no other, in the order of the names,
// each at the number it has always had.
TEST(Strings, NamedNumbersAreTheEntriesOfTheTable) {
    const int named[] = {msOverwriteOtherVersion,
                         msEnterName,
                         msSelectDestFolder,
                         msSelectVst2Folder,
                         msSelectDigiFolder,
                         msSelectPhotoshopFolder,
                         msCancelSetup,
                         msInstallRightsRequired,
                         msConfirmUninstall,
                         msUninstallComplete,
                         msUninstallPartial,
                         msUninstallRightsRequired,
                         msInvalidVersion,
                         msInvalidVersionStream,
                         msNotEnoughSpace,
                         msPreparing,
                         msCopying,
                         msInitializing,
                         msCreatingSettings,
                         msSelectOneItem,
                         msPluginVersion,
                         msPluginBundle,
                         msCannotCreateFolder,
                         msFolderNotFound,
                         msInstallElsewhere,
                         msUninstalling,
                         msCheckingSetup,
                         msWindowGone};
    const int numbers[] = {65232, 65233, 65234, 65235, 65236, 65237, 65238, 65239, 65240, 65241,
                           65242, 65243, 65248, 65249, 65253, 65254, 65255, 65256, 65257, 65258,
                           65259, 65260, 65261, 65262, 65263, 65264, 65265, 65266};
    ASSERT_EQ(std::size(Table), std::size(named));
    for (size_t i = 0; i < std::size(named); ++i) {
        EXPECT_EQ(named[i], numbers[i]);
        EXPECT_EQ(Table[i].Number, numbers[i]);
    }
}

TEST(Strings, UnusedNumbersAreEmpty) {
    for (int number : {0, 65231, 65244, 65247, 65250, 65252, 65267})
        EXPECT_EQ(LoadMessage(number), "") << "message " << number;
}

// Texts matched word for word by the driver scripts of the end-to-end tests, which see them
// filled in the real program's dialogs (\r is one carriage return). Note the blank after
// "manually" in 65242 and the missing final full stop of 65253, which the error box adds.
TEST(Strings, TextsTheScriptsMatch) {
    const std::pair<int, const char*> matched[] = {
        {msCancelSetup,
         "$FullProductName has not been fully installed yet.\rAre you sure you want to cancel $ProductName "
         "Setup?"},
        {msConfirmUninstall, "Are you sure you want to completely remove %s\rand all of its components?"},
        {msUninstallComplete, "Uninstallation successfully completed."},
        {msUninstallPartial, "Uninstallation successfully completed.\r\rSome items could not be removed. You "
                             "should manually \rremove items related to %s."},
        {msUninstallRightsRequired, "You must have Administrator or Power User rights to uninstall "
                                    "%s.\rPlease log on as a different user and try again."},
        {msNotEnoughSpace,
         "There is not enough space on the destination drive.\rPlease free up some space and then try again"},
        {msCannotCreateFolder, "Could not create the folder '%s'.\rPlease specify a valid name."},
    };
    for (const auto& [number, text] : matched)
        EXPECT_EQ(LoadMessage(number), text) << "message " << number;
}

// The version reader below the wizard cannot load messages and throws the same words itself.
TEST(Strings, VersionErrorsSayWhatTheTableSays) {
    EXPECT_EQ(ErrorOf([] { TProgramVersion().FromText("five"); }),
              FillMessage(LoadMessage(msInvalidVersion), "five"));
    TMemoryStream stream;
    stream.WriteInt32(0);
    stream.WriteInt32(0);
    stream.SetPosition(0);
    EXPECT_EQ(ErrorOf([&] { TProgramVersion().LoadFromStream(stream); }),
              LoadMessage(msInvalidVersionStream));
}

TEST(Strings, FillMessageReplacesOnlyThePlaceholder) {
    struct {
        const char* Text;
        const char* Value;
        const char* Expected;
    } cases[] = {
        {"remove %s\rand all", "Velmora 5.04", "remove Velmora 5.04\rand all"},
        // A value holding format characters is taken literally.
        {"remove %s.", "100%s %d %n", "remove 100%s %d %n."},
        {"no placeholder", "x", "no placeholder"},
        {"%s", "", ""},
        {"50% of %s", "it", "50% of it"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillMessage(c.Text, c.Value), c.Expected) << c.Text;
}

} // namespace
