#include "common/DosDate.h"

#include <gtest/gtest.h>

#include "tests/support/TestValues.h"

namespace {

TEST(DosDate, PackUnpackAndValidate) {
    struct TCase {
        TDosDateTime Value;
        bool Valid;
    };
    const TCase cases[] = {
        {{1980, 1, 1, 0, 0, 0}, true},     {{2107, 12, 31, 23, 59, 58}, true},
        {{2024, 2, 29, 12, 30, 10}, true}, {{2000, 2, 29, 0, 0, 0}, true},
        {{2100, 2, 29, 0, 0, 0}, false},   {{2023, 2, 29, 0, 0, 0}, false},
        {{2023, 4, 31, 0, 0, 0}, false},   {{2023, 0, 1, 0, 0, 0}, false},
        {{2023, 13, 1, 0, 0, 0}, false},   {{2023, 1, 0, 0, 0, 0}, false},
        {{2023, 1, 1, 24, 0, 0}, false},   {{2023, 1, 1, 0, 60, 0}, false},
        {{2023, 1, 1, 0, 0, 60}, false},
    };
    for (const auto& c : cases) {
        const TDosDateTime& v = c.Value;
        const uint32_t packed = DosStamp(v.Year, v.Month, v.Day, v.Hour, v.Minute, v.Second);
        SCOPED_TRACE(packed);
        EXPECT_EQ(PackDosDateTime(v), packed);
        const TDosDateTime back = UnpackDosDateTime(packed);
        EXPECT_EQ(back.Year, v.Year);
        EXPECT_EQ(back.Month, v.Month);
        EXPECT_EQ(back.Day, v.Day);
        EXPECT_EQ(back.Hour, v.Hour);
        EXPECT_EQ(back.Minute, v.Minute);
        EXPECT_EQ(back.Second, v.Second);
        EXPECT_EQ(IsValidDosDateTime(packed), c.Valid);
    }
    EXPECT_EQ(PackDosDateTime({1979, 12, 31, 23, 59, 58}), 0u);
    EXPECT_EQ(PackDosDateTime({2108, 1, 1, 0, 0, 0}), 0u);
    EXPECT_EQ(PackDosDateTime({2024, 5, 1, 5, 4, 59}), DosStamp(2024, 5, 1, 5, 4, 58))
        << "odd seconds round down";
    EXPECT_FALSE(IsValidDosDateTime(0));
}

TEST(DosDate, DayNumbers) {
    struct TCase {
        int Year, Month, Day;
        int64_t Days; // since 1970-01-01
    };
    const TCase cases[] = {
        {1970, 1, 1, 0},       {1969, 12, 31, -1},   {1899, 12, 30, -25569}, {1980, 1, 1, 3652},
        {2000, 2, 29, 11016},  {2000, 3, 1, 11017},  {2107, 12, 31, 50402},  {1, 1, 1, -719162},
        {-1, 12, 31, -719529}, {2400, 3, 1, 157114},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DaysFromCivil(c.Year, c.Month, c.Day), c.Days) << c.Year << "-" << c.Month << "-" << c.Day;
        int year = 0, month = 0, day = 0;
        CivilFromDays(c.Days, year, month, day);
        EXPECT_EQ(year * 10000 + month * 100 + day, c.Year * 10000 + c.Month * 100 + c.Day) << c.Days;
    }
    // Every day of four centuries, leap rules included, goes there and back.
    int64_t expected = DaysFromCivil(1900, 1, 1);
    for (int year = 1900; year < 2300; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= DaysInMonth(year, month); ++day, ++expected)
                ASSERT_EQ(DaysFromCivil(year, month, day), expected) << year << "-" << month << "-" << day;
        }
    }
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

} // namespace
