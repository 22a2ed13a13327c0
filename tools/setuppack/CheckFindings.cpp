#include "tools/setuppack/CheckFindings.h"

#include "common/CommonUtils.h"

namespace {

struct TFindingText {
    TFinding Finding;
    TSeverity Severity;
    const char* Text;
};

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;

const TFindingText FindingTexts[] = {
    // pack refuses these files, or Windows would install them other than they are.
    {fnNameRefused, E, "the name {1}"},
    {fnNamesDifferInCase, E,
     "differs from \"{1}\" only in letter case: Windows takes both for one name, and one overwrites "
     "the other"},
    {fnTooDeep, E, "lies deeper than 64 folders"},
    {fnFileTooLarge, E, "is 2 GiB or larger: the setup data cannot hold it"},
    {fnNotFileOrFolder, E, "is neither a file nor a folder (a broken link, a pipe or a device)"},
    // The setup program would stop, or install wrongly.
    {fnFileMissing, E, "required file is missing"},
    {fnBundleInfoMissing, E, "IsBundle=1, but BundleInfo.ini is missing"},
    {fnPictureUnreadable, E, "not a picture the setup program can show: {1}"},
    {fnRequiredKeyMissing, E,
     "[Setup] {1} is missing or empty: the setup program stops with \"Invalid configuration in Setup.ini\""},
    {fnNamelessBundle, E,
     "a bundle needs ProductName or ProductSuffix: without both its uninstall entry has no name and "
     "would be the list of installed programs itself"},
    {fnFolderPatternRefused, E, "DefaultFolder: {1}"},
    {fnDefaultFolderAbsolute, E,
     "DefaultFolder \"{1}\" is a full path, but the setup program puts it below the Program Files folder; "
     "give it relative to that folder, as \"{2}\""},
    {fnRegistryHive, E,
     "registry path \"{1}\" begins with the hive name {2}: the setup program chooses the hive itself and "
     "takes the whole path below it, {2} as a key; leave \"{2}\\\" out"},
    {fnIsBundleNotNumber, E,
     "IsBundle \"{1}\" is not a number: the setup program takes 0, a plain product, not a bundle; "
     "write 0 or 1"},
    {fnProductVersionInvalid, E, "product version: {1}"},
    {fnProductVersionNoTime, E,
     "product version {1} cannot be a time of day (5.04 stands for 05:04); "
     "pack needs --time"},
    {fnItemVersionInvalid, E, "item \"{1}\": {2}"},
    {fnItemVersionNoTime, E,
     "item \"{1}\": version {2} cannot be a time of day: the setup program stops with "
     "\"Invalid argument to time encode\""},
    {fnItemBlank, E,
     "blank around \"=\" or \",\": the item's {1} would be \"{2}\"; write NAME=VERSION,PRODUCT NAME without "
     "blanks around \"=\" and \",\""},
    {fnItemFolderMissing, E, "bundle item \"{1}\" has no component folder \"{2}\""},
    {fnDestinationNeverAbsolute, E,
     "[Components] destination \"{1}\" can never be an absolute path: it starts with no folder symbol, "
     "drive or network share"},
    {fnNothingInstalled, E, "no component installs a file: the setup program would install nothing"},
    {fnSetupStops, E, "the setup program stops: {1}"},
    {fnUtf16Text, E,
     "UTF-16 text: the setup program reads 8-bit text and shows this as garbage; save it as "
     "Windows-1252"},
    {fnByteOrderMarkJoins, E,
     "a UTF-8 byte-order mark begins the file: the setup program reads it as part of \"{1}\"; save the "
     "file as Windows-1252, without the mark"},
    // The setup program runs, but not as meant.
    {fnSymbolicLink, W, "is a symbolic link: it is packed as a copy of what it points to"},
    {fnComponentEmpty, W, "component folder holds no file (a .keep at most): nothing is installed from it"},
    {fnLeftover, W,
     "is a version-control or system file: it is packed (and, in a component, installed) like any other; "
     "leave it out of the product folder"},
    {fnLargeTotal, W,
     "the product's files total {1} GiB: pack refuses them unless they compress below 2 GiB"},
    {fnComponentFolderMissing, W, "[Components] folder \"{1}\" is not in the product folder"},
    {fnFolderNotInstalled, W, "folder \"{1}\" is packed but never installed: no [Components] line names it"},
    {fnPluginFolderNeverSet, W,
     "{1} is never set: its page is off and nothing detects it, so this line never "
     "takes effect"},
    {fnSymbolNotExpanded, W, "\"{1}\" is not expanded here and stays as written"},
    {fnFileNotInstalled, W, "\"{1}\" names a file that no component installs"},
    {fnLibraryWithoutFolder, W,
     "library \"{1}\" is given without a folder: the setup program loads a bare name from the Windows "
     "system folder only, never from the product; give its full path, as $ProgramFolder\\{1}"},
    {fnSectionNotRead, W, "section [{1}] is not read"},
    {fnSectionNotReadMeant, W, "section [{1}] is not read; did you mean [{2}]?"},
    {fnKeyNotRead, W, "key \"{1}\" in [{2}] is not read"},
    {fnLineNotKey, W, "line \"{1}\" in [{2}] is not Name=Value and is not read"},
    {fnKeyRepeated, W, "key \"{1}\" in [{2}] is given again on line {3}; this line is not read"},
    {fnSectionRepeated, W, "section [{1}] is given again on line {2}; this one is not read"},
    {fnSwitchNotNumber, W,
     "{1} \"{2}\" is not a number: the setup program takes {3}, the default; write 0 or 1 (there are no "
     "comments after a value)"},
    {fnOptionUnknown, W, "option \"{1}\" has no effect: the only option is NoOverwrite"},
    {fnOptionComponentUnknown, W,
     "no [Components] line names \"{1}\" as written here (letter case counts): the option has no effect"},
    {fnShortcutLocationUnknown, W,
     "shortcut location \"{1}\" is not StartMenu, Desktop or ProgramFolder: no shortcut is made"},
    {fnByteOrderMark, W,
     "a UTF-8 byte-order mark begins the file: the setup program takes it for three characters of the "
     "first line; save the file as Windows-1252, without the mark"},
    {fnUtf8Text, W, "UTF-8 text, not Windows-1252: the setup program shows its accented letters garbled"},
    {fnNotWindows1252Text, W, "not Windows-1252 text"},
    {fnProductVersionSpelling, W, "product version '{1}' reads as {2}, the same version; write it as {2}"},
    {fnItemVersionSpelling, W, "item \"{1}\": version '{2}' reads as {3}, the same version; write it as {3}"},
    {fnSectionMisspelled, E, "section [{1}] is not read, so {3}; did you mean [{2}]?"},
    // The plan: where the setup program would overwrite, stop or lose something.
    {fnPathTwice, E, "installs \"{1}\", which line {2} installs too: one overwrites the other"},
    {fnRenameCollides, E,
     "\"{2}\" and \"{3}\" both become \"{1}\" (.dll is installed as .vst3 here): one overwrites the other"},
    {fnShortcutCollides, E, "shortcut \"{1}\" is made by line {2} too: one replaces the other"},
    {fnUninstallerOverwrites, E,
     "installs \"{1}\", which the uninstaller overwrites at the end of the installation"},
    {fnPathTooLong, E,
     "\"{1}\" is {2} characters long, over the 259 Windows takes: the installation stops half-way, "
     "without an uninstaller"},
    {fnPathNearLimit, W,
     "\"{1}\" leaves {2} characters below the 259 Windows takes: a user who picks a deeper folder gets an "
     "installation that stops half-way"},
    {fnDestinationClimbs, E,
     "destination \"{1}\" climbs out of its folder with \"..\": the files land in \"{2}\""},
    {fnDestinationNotFull, E,
     "destination \"{1}\" becomes \"{2}\", which is not a full path: the installation stops with "
     "\"Invalid destination in Setup.ini\" before it copies anything"},
    {fnDestinationDoubled, W,
     "destination \"{1}\" has a doubled or \".\" separator after expansion; write each folder once"},
    {fnDestinationTrimmed, W,
     "destination \"{1}\" has a name ending in a dot or a blank, which Windows drops: the files land in "
     "\"{2}\""},
    {fnPageInstallsNothing, W, "{1}=1 shows a page whose choice installs nothing: no line uses its folder"},
    {fnOwnerNotStored, W,
     "the personalization page asks for a name that is never stored: [Setup] PersonalizeOwner is empty"},
    {fnInstalledFileMajor, W, "\"{1}\" is not a major version number: this line is never used"},
    {fnInstalledFileMissing, W,
     "\"{1}\" is not installed by this version: the next setup of major version {2} does not find this "
     "installation, and installs beside it"},
    {fnFolderRegistryUnknown, W, "no [Folders] line names \"{1}\": this line is never used"},
    {fnNumberOutOfRange, W,
     "\"{1}\" is outside the 32-bit range (-2147483648 to 2147483647): it is written as the text \"{1}\""},
    {fnNumberAsText, W, "\"{1}\" is not a whole number: it is written as the text \"{1}\", not a number"},
    {fnPlainNumberAsText, W,
     "\"{1}\" is written as text, not as a number; write #{1} for a 32-bit number (REG_DWORD)"},
    {fnNotVst3Renamed, W,
     "\"{1}\" is no VST 3 plug-in (it does not export GetPluginFactory), but it is installed as .vst3 in "
     "a VST 3 component; install it elsewhere"},
    {fnVst2InVst3Folder, E,
     "\"{1}\" is a VST 2 plug-in (it exports VSTPluginMain, not GetPluginFactory): in a VST 3 component "
     "it is renamed to .vst3 and no host loads it"},
    {fnVst3InVst2Folder, E,
     "\"{1}\" is a VST 3 plug-in (it exports GetPluginFactory, not VSTPluginMain): VST 2 hosts do not "
     "load it from this folder"},
    {fnLibraryNotDll, E, "\"{1}\" is a program, not a DLL: the setup program never calls it"},
    {fnLibrary64Bit, E,
     "\"{1}\" is not a 32-bit DLL: the setup program is a 32-bit program and never calls it"},
    {fnLibraryNoExport, E, "\"{1}\" does not export \"{2}\": it is never called"},
    {fnPreviousNotFound, W, "this release does not find the installation of {1} that {2} leaves: {3}"},
    {fnPreviousUnreadable, E, "{1}: {2}"},
    {fnNoOverwriteKeepsOld, W,
     "NoOverwrite keeps \"{1}\" as {2} installed it, though this release brings another one ({3} files "
     "in all)"},
};

} // namespace

TDiagnostic MakeDiagnostic(const std::string& file, int line, TFinding finding, const std::string& a,
                           const std::string& b, const std::string& c) {
    const TFindingText* text = nullptr;
    for (const TFindingText& row : FindingTexts) {
        if (row.Finding == finding)
            text = &row;
    }
    std::string message = text->Text;
    message = ReplaceAll(message, "{1}", a);
    message = ReplaceAll(message, "{2}", b);
    message = ReplaceAll(message, "{3}", c);
    return {file, line, text->Severity, message};
}
