// The message table: every number's text, loaded the way the program loads it (from the test
// program's own string resources under Windows, from the table in code natively).
#include <gtest/gtest.h>

#include <string>

#include "ui/Strings.h"

namespace {

struct TMessageCase {
    int Number;
    const char* Text;
};

// The texts as the program must show them, character for character; \r is one carriage return.
const TMessageCase MessageCases[] = {
    {msOverwriteOtherVersion,
     "It is recommended to install this new version of $ProductName\rinto a new folder to preserve your "
     "currently installed copy.\r\rAre you sure you want to overwrite your existing copy?"},
    {msEnterName, "Please enter your name first."},
    {msSelectDestFolder, "Select the folder in which $ProductName will be installed:"},
    {msSelectVst2Folder, "Select the VST plug-in folder on your computer:"},
    {msSelectDigiFolder, "Select the Pro Tools plug-in folder on your computer:"},
    {msSelectPhotoshopFolder, "Select the Adobe Photoshop plug-ins folder on your computer:"},
    {msCancelSetup,
     "$FullProductName has not been fully installed yet.\rAre you sure you want to cancel $ProductName Setup?"},
    {msInstallRightsRequired,
     "You must have Administrator or Power User rights to install\r$ProductName on this computer. Setup will "
     "now close.\r\rPlease log on as a different user and try again."},
    {msConfirmUninstall, "Are you sure you want to completely remove %s\rand all of its components?"},
    {msUninstallComplete, "Uninstallation successfully completed."},
    {msUninstallPartial, "Uninstallation successfully completed.\r\rSome items could not be removed. You "
                         "should manually \rremove items related to %s."},
    {msUninstallRightsRequired, "You must have Administrator or Power User rights to uninstall "
                                "%s.\rPlease log on as a different user and try again."},
    {msInvalidVersion, "'%s' is not a valid version number"},
    {msInvalidVersionStream, "Invalid version number on stream"},
    {msNotEnoughSpace,
     "There is not enough space on the destination drive.\rPlease free up some space and then try again"},
    {msPreparing, "Preparing installation..."},
    {msCopying, "Copying files..."},
    {msInitializing, "Initializing components..."},
    {msCreatingSettings, "Creating settings..."},
    {msSelectOneItem, "You need to install at least one item."},
    {msPluginVersion, "plug-in version of $ProductName"},
    {msPluginBundle, "plug-ins for $ProductName"},
    {msCannotCreateFolder, "Could not create the folder '%s'.\rPlease specify a valid name."},
    {msFolderNotFound, "The folder '%s' does not exist.\rPlease specify an existing folder."},
    {msInstallElsewhere,
     "It is recommended to install this new version of $ProductName\rinto the same folder as your existing "
     "copy. This will ensure\rthat your currently installed version is upgraded properly.\r\rAre you sure "
     "you want to install it to a different folder?"},
};

TEST(Strings, EachNumberLoadsItsText) {
    for (const TMessageCase& c : MessageCases)
        EXPECT_EQ(LoadMessage(c.Number), c.Text) << "message " << c.Number;
}

TEST(Strings, NumbersAreTheFixedOnes) {
    // Code refers to messages by these numbers; a shifted constant would load another text.
    EXPECT_EQ(msOverwriteOtherVersion, 65232);
    EXPECT_EQ(msConfirmUninstall, 65240);
    EXPECT_EQ(msUninstallRightsRequired, 65243);
    EXPECT_EQ(msInvalidVersion, 65248);
    EXPECT_EQ(msNotEnoughSpace, 65253);
    EXPECT_EQ(msInstallElsewhere, 65263);
}

TEST(Strings, LineBreaksAreSingleCarriageReturns) {
    for (const TMessageCase& c : MessageCases)
        EXPECT_EQ(LoadMessage(c.Number).find('\n'), std::string::npos) << "message " << c.Number;
    // The blank after "manually" stays before the second line break.
    EXPECT_NE(LoadMessage(msUninstallPartial).find("manually \rremove"), std::string::npos);
    // "$ProductName" begins the second line.
    EXPECT_NE(LoadMessage(msInstallRightsRequired).find("to install\r$ProductName on"), std::string::npos);
    // No final full stop.
    EXPECT_EQ(LoadMessage(msNotEnoughSpace).back(), 'n');
}

TEST(Strings, UnusedNumbersAreEmpty) {
    for (int number : {0, 65231, 65244, 65247, 65250, 65252, 65264})
        EXPECT_EQ(LoadMessage(number), "") << "message " << number;
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
