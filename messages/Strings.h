// The program's message texts, kept as numbered string resources of the executable and
// loaded by number when they are needed, and the kinds of dialog that show them. Portable: the
// dialogs themselves are in ui/MessageDialog.h, which the controllers below the wizard reach
// only through an interface of their own.
#pragma once

#include <string>

// The numbers of the messages. Texts holding "$" symbols are expanded before they are shown;
// texts holding "%s" are filled with FillMessage.
enum TMessageNumber : int {
    msOverwriteOtherVersion = 65232,   // confirmation: another major version is in the folder
    msEnterName = 65233,               // warning: empty owner name
    msSelectDestFolder = 65234,        // browse prompt
    msSelectVst2Folder = 65235,        // browse prompt
    msSelectDigiFolder = 65236,        // browse prompt
    msSelectPhotoshopFolder = 65237,   // browse prompt
    msCancelSetup = 65238,             // confirmation: close before copying
    msInstallRightsRequired = 65239,   // information: no rights to install
    msConfirmUninstall = 65240,        // confirmation, %s = product name and version
    msUninstallComplete = 65241,       // information
    msUninstallPartial = 65242,        // information, %s = product name
    msUninstallRightsRequired = 65243, // warning, %s = product name
    msInvalidVersion = 65248,          // version error, %s = the text that failed to parse
    msInvalidVersionStream = 65249,    // version error
    msNotEnoughSpace = 65253,          // setup error: free-space test
    msPreparing = 65254,               // status line
    msCopying = 65255,                 // status line
    msInitializing = 65256,            // status line
    msCreatingSettings = 65257,        // status line
    msSelectOneItem = 65258,           // warning: no bundle item selected
    msPluginVersion = 65259,           // $PluginDescription of a single product
    msPluginBundle = 65260,            // $PluginDescription of a bundle
    msCannotCreateFolder = 65261,      // warning, %s = the tested folder
    msFolderNotFound = 65262,          // warning, %s = the folder as typed
    msInstallElsewhere = 65263,        // confirmation: same major version installed elsewhere
    msUninstalling = 65264,            // the uninstaller's window while it removes, %s = product name
    msCheckingSetup = 65265,           // the window that shows a long check of the archive at the start
    msWindowGone = 65266,              // setup error: a call for the window's thread found it gone
};

// The text of message number, loaded from the running program's string resources at each
// call; empty for a number that has none. The portable build reads the same table from code.
std::string LoadMessage(int number);

// text with its first "%s" replaced by value. A message text is never used as a printf
// format: a "%" in value, or any other "%" in the text, stays as it is.
std::string FillMessage(const std::string& text, const std::string& value);

// The kinds of message dialog.
enum TMessageKind {
    mkWarning,      // "Warning", exclamation icon, "OK"
    mkInformation,  // "Information", information icon, "OK"
    mkConfirmation, // "Confirm", question icon, "&Yes" (Enter) and "&No" (Escape, close box)
    mkError,        // the application's title, error icon, "OK"; the text as ErrorBoxText makes it
};

// The button that ended a dialog; the values are those of the system's IDOK, IDYES and IDNO.
enum TMessageResult { mrOK = 1, mrYes = 6, mrNo = 7 };
