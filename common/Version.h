// The product version: text form, 25-byte stream form and three-way comparison.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Errors.h"

class TStream;

class TProgramVersion {
public:
    int32_t Beta = 0;
    bool PressPreview = false;
    int32_t Major = 0;
    int32_t Minor = 0;
    int32_t Release = 0;

    int Compare(const TProgramVersion& other) const;   // -1, 0 or 1
    bool IsBeta() const { return Beta > 0; }
    std::string ToText() const;
    void FromText(const std::string& text);            // EProgramVersionError on invalid text
    void LoadFromStream(TStream& stream);              // EProgramVersionError on a bad marker/format
    void SaveToStream(TStream& stream) const;

    static constexpr int StreamSize = 25;
};

// The time of day in seconds that a version stands for where it dates files: major hours and
// minor * 10 + release minutes, so that 5.04 is 05:04. None when the version has no such time
// (a part below 0, major above 23, release above 9, or more than 59 minutes).
std::optional<int> VersionTimeOfDay(const TProgramVersion& version);
