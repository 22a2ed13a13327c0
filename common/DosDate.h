// DOS date and time: the packed local date-time that archive entries and file stamps carry, and
// the calendar arithmetic around it. Portable.
//
// The date is the high word (bits 9-15 years since 1980, 5-8 the month, 0-4 the day), the time
// the low word (bits 11-15 hours, 5-10 minutes, 0-4 seconds halved), so the format holds the
// years 1980 to 2107 to two seconds. 0 stands for "no date".
#pragma once

#include <cstdint>

struct TDosDateTime {
    int Year = 1980;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// The fields as stored, not checked: a damaged value may give month 0 or 15, or hour 31.
TDosDateTime UnpackDosDateTime(uint32_t packed);
// The packed form of a valid date and time; 0 when the year lies outside 1980..2107. An odd
// second is rounded down.
uint32_t PackDosDateTime(const TDosDateTime& value);
// True when a packed value names a real date and time: month 1..12, a day that exists in that
// month, hours below 24, minutes and seconds below 60.
bool IsValidDosDateTime(uint32_t packed);

bool IsLeapYear(int year);
// Days of a month (1..12) in the proleptic Gregorian calendar.
int DaysInMonth(int year, int month);
// Day number of a date of the proleptic Gregorian calendar counted from 1970-01-01, and back;
// exact for every date, before 1970 and before year 0 included.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);
