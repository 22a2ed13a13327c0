// Bundle items and the date arithmetic that stamps their files with their version.

#include "setup/SetupClasses.h"

#include "common/Errors.h"
#include "setup/SetupInstaller.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1 March of year 0 of the proleptic Gregorian calendar, and back. Counting from
// March puts the leap day at the end of the year, so that every month before it has a fixed
// offset; the 400-year cycle ("era") has 146097 days. Only years after 0 occur here.
int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int64_t era = year / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    const int64_t era = days / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

} // namespace

uint32_t ItemFileDate(uint32_t archiveFileDate, const TProgramVersion& version) {
    const int32_t hours = version.Major;
    const int32_t minutes = version.Minor * 10 + version.Release;
    if (hours < 0 || hours >= 24 || minutes < 0 || minutes >= 60)
        throw Exception("Invalid argument to time encode");

    const int year = static_cast<int>(archiveFileDate >> 25) + 1980;
    const int month = static_cast<int>((archiveFileDate >> 21) & 0x0F);
    const int day = static_cast<int>((archiveFileDate >> 16) & 0x1F);
    const int archiveHours = static_cast<int>((archiveFileDate >> 11) & 0x1F);
    const int archiveMinutes = static_cast<int>((archiveFileDate >> 5) & 0x3F);
    const int archiveSeconds = static_cast<int>(archiveFileDate & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw Exception("Invalid argument to date encode");
    if (archiveHours >= 24 || archiveMinutes >= 60 || archiveSeconds >= 60)
        throw Exception("Invalid argument to time encode");

    int64_t days = DaysFromCivil(year, month, day);
    int seconds = archiveHours * 3600 + archiveMinutes * 60 + archiveSeconds + hours * 3600 + minutes * 60;
    days += seconds / 86400;
    seconds %= 86400;

    int newYear, newMonth, newDay;
    CivilFromDays(days, newYear, newMonth, newDay);
    if (newYear < 1980 || newYear > 2107)
        return 0;
    const uint32_t date = static_cast<uint32_t>(newDay | newMonth << 5 | (newYear - 1980) << 9);
    const uint32_t time = static_cast<uint32_t>((seconds % 60) / 2 | (seconds / 60 % 60) << 5 | (seconds / 3600) << 11);
    return date << 16 | time;
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
