// The product version value: comparison, text form and the 25-byte stream form.

#include "common/Version.h"

#include "common/CommonUtils.h"
#include "common/Stream.h"

namespace {

constexpr int32_t StreamMarker = -100;
constexpr int32_t StreamFormat = 1;

// Sign of a - b where the difference is taken in 32-bit arithmetic and may wrap around, as
// the stored versions were always compared: INT32_MIN against 1 counts as greater.
int ClampedDifference(int32_t a, int32_t b) {
    const auto difference = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

} // namespace

int TProgramVersion::Compare(const TProgramVersion& other) const {
    if (Major != other.Major)
        return ClampedDifference(Major, other.Major);
    if (Minor != other.Minor)
        return ClampedDifference(Minor, other.Minor);
    if (Release != other.Release)
        return ClampedDifference(Release, other.Release);
    // A final version ranks above every beta of the same release.
    if (other.IsBeta() && !IsBeta())
        return 1;
    if (IsBeta() && !other.IsBeta())
        return -1;
    return ClampedDifference(Beta, other.Beta);
}

std::string TProgramVersion::ToText() const {
    std::string text = std::to_string(Major) + "." + std::to_string(Minor) + std::to_string(Release);
    if (IsBeta())
        text += " beta " + std::to_string(Beta);
    if (PressPreview)
        text += " (press preview)";
    return text;
}

// The text form has one digit each for minor and release right after the ".", and at most
// two digits of beta number after "beta ". Texts that do not fit convert to the defaults:
// "5.04 beta 3 (press preview)" has beta 0, because "3 " is not a number.
void TProgramVersion::FromText(const std::string& text) {
    // The characters at [pos, pos + count), fewer (or none) where the text ends.
    auto part = [&text](size_t pos, size_t count) {
        return pos >= text.size() ? std::string_view() : std::string_view(text).substr(pos, count);
    };

    int32_t major, minor, release;
    const size_t dot = text.find('.');
    if (dot != std::string::npos) {
        major = StrToIntDef(part(0, dot), -1);
        minor = StrToIntDef(part(dot + 1, 1), -1);
        release = StrToIntDef(part(dot + 2, 1), 0);
    } else {
        major = StrToIntDef(text, -1);
        minor = 0;
        release = 0;
    }
    int32_t beta = 0;
    const size_t betaAt = text.find("beta ");
    if (betaAt != std::string::npos)
        beta = StrToIntDef(part(betaAt + 5, 2), 0);

    if (major < 0 || minor < 0)
        throw EProgramVersionError("'" + text + "' is not a valid version number");
    Major = major;
    Minor = minor;
    Release = release;
    Beta = beta;
    PressPreview = text.find("press") != std::string::npos;
}

void TProgramVersion::LoadFromStream(TStream& stream) {
    const int32_t marker = stream.ReadInt32();
    const int32_t format = stream.ReadInt32();
    if (marker != StreamMarker || format != StreamFormat)
        throw EProgramVersionError("Invalid version number on stream");
    // Straight into the fields: a short stream leaves those already read changed.
    Major = stream.ReadInt32();
    Minor = stream.ReadInt32();
    Release = stream.ReadInt32();
    Beta = stream.ReadInt32();
    uint8_t pressPreview;
    stream.ReadBuffer(&pressPreview, 1);
    PressPreview = pressPreview != 0;
}

void TProgramVersion::SaveToStream(TStream& stream) const {
    uint8_t bytes[StreamSize];
    const int32_t values[6] = {StreamMarker, StreamFormat, Major, Minor, Release, Beta};
    for (int i = 0; i < 6; ++i) {
        const auto v = static_cast<uint32_t>(values[i]);
        for (int k = 0; k < 4; ++k)
            bytes[i * 4 + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    bytes[24] = PressPreview ? 1 : 0;
    stream.WriteBuffer(bytes, StreamSize);
}

std::optional<int> VersionTimeOfDay(const TProgramVersion& version) {
    const int64_t minutes = int64_t(version.Minor) * 10 + version.Release;
    if (version.Major < 0 || version.Major > 23 || version.Minor < 0 || version.Release < 0 ||
        version.Release > 9 || minutes > 59)
        return std::nullopt;
    return static_cast<int>(version.Major * 3600 + minutes * 60);
}
