// The message table: every number's text, loaded the way the program loads it (from the test
// program's own string resources under Windows, from the table in code natively).
#include <gtest/gtest.h>

#include <string>

#include "ui/Strings.h"

namespace {

struct TMessageCase {
    int Number;
    int Constant; // the named constant code uses for it
    const char* Text;
};

// The texts as the program must show them, character for character; \r is one carriage return.
// Note 65239's first line ending after "to install", the blank after "manually" in 65242 and
// the missing final full stop of 65253 (the error box adds it: message-dialogs.driver).
const TMessageCase MessageCases[] = {
    {65232, msOverwriteOtherVersion,
     "It is recommended to install this new version of $ProductName\rinto a new folder to preserve your "
     "currently installed copy.\r\rAre you sure you want to overwrite your existing copy?"},
    {65233, msEnterName, "Please enter your name first."},
    {65234, msSelectDestFolder, "Select the folder in which $ProductName will be installed:"},
    {65235, msSelectVst2Folder, "Select the VST plug-in folder on your computer:"},
    {65236, msSelectDigiFolder, "Select the Pro Tools plug-in folder on your computer:"},
    {65237, msSelectPhotoshopFolder, "Select the Adobe Photoshop plug-ins folder on your computer:"},
    {65238, msCancelSetup,
     "$FullProductName has not been fully installed yet.\rAre you sure you want to cancel $ProductName "
     "Setup?"},
    {65239, msInstallRightsRequired,
     "You must have Administrator or Power User rights to install\r$ProductName on this computer. Setup will "
     "now close.\r\rPlease log on as a different user and try again."},
    {65240, msConfirmUninstall, "Are you sure you want to completely remove %s\rand all of its components?"},
    {65241, msUninstallComplete, "Uninstallation successfully completed."},
    {65242, msUninstallPartial,
     "Uninstallation successfully completed.\r\rSome items could not be removed. You "
     "should manually \rremove items related to %s."},
    {65243, msUninstallRightsRequired,
     "You must have Administrator or Power User rights to uninstall "
     "%s.\rPlease log on as a different user and try again."},
    {65248, msInvalidVersion, "'%s' is not a valid version number"},
    {65249, msInvalidVersionStream, "Invalid version number on stream"},
    {65253, msNotEnoughSpace,
     "There is not enough space on the destination drive.\rPlease free up some space and then try again"},
    {65254, msPreparing, "Preparing installation..."},
    {65255, msCopying, "Copying files..."},
    {65256, msInitializing, "Initializing components..."},
    {65257, msCreatingSettings, "Creating settings..."},
    {65258, msSelectOneItem, "You need to install at least one item."},
    {65259, msPluginVersion, "plug-in version of $ProductName"},
    {65260, msPluginBundle, "plug-ins for $ProductName"},
    {65261, msCannotCreateFolder, "Could not create the folder '%s'.\rPlease specify a valid name."},
    {65262, msFolderNotFound, "The folder '%s' does not exist.\rPlease specify an existing folder."},
    {65263, msInstallElsewhere,
     "It is recommended to install this new version of $ProductName\rinto the same folder as your existing "
     "copy. This will ensure\rthat your currently installed version is upgraded properly.\r\rAre you sure "
     "you want to install it to a different folder?"},
};

TEST(Strings, EachNumberLoadsItsText) {
    for (const TMessageCase& c : MessageCases) {
        EXPECT_EQ(c.Constant, c.Number);
        EXPECT_EQ(LoadMessage(c.Number), c.Text) << "message " << c.Number;
    }
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
