#include "common/DosDate.h"

TDosDateTime UnpackDosDateTime(uint32_t packed) {
    TDosDateTime value;
    value.Year = static_cast<int>(packed >> 25) + 1980;
    value.Month = static_cast<int>((packed >> 21) & 15);
    value.Day = static_cast<int>((packed >> 16) & 31);
    value.Hour = static_cast<int>((packed >> 11) & 31);
    value.Minute = static_cast<int>((packed >> 5) & 63);
    value.Second = static_cast<int>(packed & 31) * 2;
    return value;
}

uint32_t PackDosDateTime(const TDosDateTime& value) {
    if (value.Year < 1980 || value.Year > 2107)
        return 0;
    const uint32_t date = static_cast<uint32_t>(value.Year - 1980) << 9 |
                          static_cast<uint32_t>(value.Month) << 5 | static_cast<uint32_t>(value.Day);
    const uint32_t time = static_cast<uint32_t>(value.Hour) << 11 | static_cast<uint32_t>(value.Minute) << 5 |
                          static_cast<uint32_t>(value.Second / 2);
    return date << 16 | time;
}

bool IsValidDosDateTime(uint32_t packed) {
    const TDosDateTime v = UnpackDosDateTime(packed);
    return v.Month >= 1 && v.Month <= 12 && v.Day >= 1 && v.Day <= DaysInMonth(v.Year, v.Month) &&
           v.Hour < 24 && v.Minute < 60 && v.Second < 60;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// H. Hinnant's days_from_civil and civil_from_days. Counting the year from 1 March puts the
// leap day at its end, so that every month before it has a fixed offset; a 400-year cycle
// ("era") has 146097 days, and 1970-01-01 is day 719468 of era 0.
int64_t DaysFromCivil(int year, int month, int day) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}
