// The check's findings and their wording, in one table.
#pragma once

#include <string>

#include "tools/setuppack/Checker.h"

enum TFinding {
    // The product folder's files, as pack and Windows take them.
    fnNameRefused,
    fnNamesDifferInCase,
    fnTooDeep,
    fnFileTooLarge,
    fnNotFileOrFolder,
    fnSymbolicLink,
    fnComponentEmpty,
    fnLeftover,
    fnLargeTotal,
    // The setup files.
    fnFileMissing,
    fnBundleInfoMissing,
    fnPictureUnreadable,
    fnRequiredKeyMissing,
    fnNamelessBundle,
    fnFolderPatternRefused,
    fnDefaultFolderAbsolute,
    fnRegistryHive,
    fnIsBundleNotNumber,
    fnProductVersionInvalid,
    fnProductVersionNoTime,
    fnItemVersionInvalid,
    fnItemVersionNoTime,
    fnItemBlank,
    fnItemFolderMissing,
    fnDestinationNeverAbsolute,
    fnNothingInstalled,
    fnSetupStops,
    fnUtf16Text,
    fnByteOrderMarkJoins,
    fnComponentFolderMissing,
    fnFolderNotInstalled,
    fnPluginFolderNeverSet,
    fnSymbolNotExpanded,
    fnFileNotInstalled,
    fnLibraryWithoutFolder,
    fnSectionNotRead,
    fnSectionNotReadMeant,
    fnKeyNotRead,
    fnLineNotKey,
    fnKeyRepeated,
    fnSectionRepeated,
    fnSwitchNotNumber,
    fnOptionUnknown,
    fnOptionComponentUnknown,
    fnShortcutLocationUnknown,
    fnByteOrderMark,
    fnUtf8Text,
    fnNotWindows1252Text,
    // Versions written in another spelling of the same value.
    fnProductVersionSpelling,
    fnItemVersionSpelling,
    fnSectionMisspelled,
    // The plan of the installation.
    fnPathTwice,
    fnRenameCollides,
    fnShortcutCollides,
    fnUninstallerOverwrites,
    fnPathTooLong,
    fnPathNearLimit,
    fnDestinationClimbs,
    fnDestinationNotFull,
    fnDestinationDoubled,
    fnDestinationTrimmed,
    fnPageInstallsNothing,
    fnOwnerNotStored,
    fnInstalledFileMajor,
    fnInstalledFileMissing,
    fnFolderRegistryUnknown,
    // Values written with another type or value than they suggest.
    fnNumberOutOfRange,
    fnNumberAsText,
    fnPlainNumberAsText,
    // The binaries the plan installs and calls.
    fnNotVst3Renamed,
    fnVst2InVst3Folder,
    fnVst3InVst2Folder,
    fnLibraryNotDll,
    fnLibrary64Bit,
    fnLibraryNoExport,
    // The plan of the last release.
    fnPreviousNotFound,
    fnPreviousUnreadable,
    fnNoOverwriteKeepsOld,
};

// The finding at file and line, its wording's "{1}", "{2}" and "{3}" replaced by the details
// (UTF-8 text).
TDiagnostic MakeDiagnostic(const std::string& file, int line, TFinding finding, const std::string& a = {},
                           const std::string& b = {}, const std::string& c = {});
