// Bundle items and the date arithmetic that stamps their files with their version.

#include "setup/SetupClasses.h"

#include "common/CommonUtils.h"
#include "common/DosDate.h"
#include "common/Errors.h"
#include "setup/SetupInstaller.h"

uint32_t ItemFileDate(uint32_t archiveFileDate, const TProgramVersion& version) {
    const std::optional<int> timeOfDay = VersionTimeOfDay(version);
    if (!timeOfDay)
        throw Exception("Invalid argument to time encode");

    const TDosDateTime archive = UnpackDosDateTime(archiveFileDate);
    if (archive.Month < 1 || archive.Month > 12 || archive.Day < 1 ||
        archive.Day > DaysInMonth(archive.Year, archive.Month))
        throw Exception("Invalid argument to date encode");
    if (archive.Hour >= 24 || archive.Minute >= 60 || archive.Second >= 60)
        throw Exception("Invalid argument to time encode");

    int64_t days = DaysFromCivil(archive.Year, archive.Month, archive.Day);
    int seconds = archive.Hour * 3600 + archive.Minute * 60 + archive.Second + *timeOfDay;
    days += seconds / 86400;
    seconds %= 86400;

    TDosDateTime stamp;
    CivilFromDays(days, stamp.Year, stamp.Month, stamp.Day);
    stamp.Hour = seconds / 3600;
    stamp.Minute = seconds / 60 % 60;
    stamp.Second = seconds % 60;
    return PackDosDateTime(stamp);
}

TSetupBundleItem::TSetupBundleItem(const TSetupInstaller& installer, const std::string& productName,
                                   const std::string& versionText, const std::string& name) {
    Version.FromText(versionText);
    Name = name;
    ItemProductName = productName;
    Selected = true;
    Caption = ExpandItemName(installer.BundleItemName + " " + versionText);
    FileDate = ItemFileDate(installer.Installer->ArchiveFileDate, Version);
}

std::string TSetupBundleItem::ExpandItemName(const std::string& text) const {
    return ReplaceAll(text, "$BundleItem", Name);
}
