// Values the tests build again and again: program versions from their fields, packed DOS
// date-times written out field by field, and the message of the error an action raises.
#pragma once

#include <cstdint>
#include <string>

#include "common/Errors.h"
#include "common/Version.h"

// 5.04 is MakeVersion(5, 0, 4).
inline TProgramVersion MakeVersion(int32_t major, int32_t minor, int32_t release, int32_t beta = 0,
                                   bool pressPreview = false) {
    TProgramVersion version;
    version.Major = major;
    version.Minor = minor;
    version.Release = release;
    version.Beta = beta;
    version.PressPreview = pressPreview;
    return version;
}

// A packed DOS date-time: the date in the high word, seconds in two-second steps. Written out
// here, apart from the product's own packer, so that the tests of that packer compare with
// something else.
constexpr uint32_t DosStamp(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return static_cast<uint32_t>(year - 1980) << 25 | static_cast<uint32_t>(month) << 21 |
           static_cast<uint32_t>(day) << 16 | static_cast<uint32_t>(hour) << 11 |
           static_cast<uint32_t>(minute) << 5 | static_cast<uint32_t>(second / 2);
}

// The message of the error of type TError that action raises; "(no error)" when it raises none.
// Errors of other types pass through and fail the test.
template <typename TError = Exception, typename TAction> std::string ErrorOf(TAction&& action) {
    try {
        action();
    } catch (const TError& e) {
        return e.Message();
    }
    return "(no error)";
}
