// The one-integer pattern formatter.

#include "common/Format.h"

#include <string>

namespace {

[[noreturn]] void ThrowInvalid(const std::string& pattern) {
    throw EFormatError("Format '" + pattern + "' invalid or incompatible with argument");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal number at pattern[i], advancing i; fails above MaxFormatWidth.
bool ReadCount(const std::string& pattern, size_t& i, int& count) {
    count = 0;
    while (i < pattern.size() && IsDigit(pattern[i])) {
        count = count * 10 + (pattern[i] - '0');
        if (count > MaxFormatWidth)
            return false;
        ++i;
    }
    return true;
}

} // namespace

std::string FormatInteger(const std::string& pattern, int32_t value) {
    std::string result;
    bool used = false;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i++];
        if (c != '%') {
            result += c;
            continue;
        }
        if (i < pattern.size() && pattern[i] == '%') {
            result += '%';
            ++i;
            continue;
        }
        // One specifier: [-][width][.precision]d, and only one per pattern.
        if (used)
            ThrowInvalid(pattern);
        bool leftJustify = false;
        if (i < pattern.size() && pattern[i] == '-') {
            leftJustify = true;
            ++i;
        }
        int width = 0;
        int precision = 0;
        if (!ReadCount(pattern, i, width))
            ThrowInvalid(pattern);
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            if (!ReadCount(pattern, i, precision))
                ThrowInvalid(pattern);
        }
        if (i >= pattern.size() || (pattern[i] != 'd' && pattern[i] != 'D'))
            ThrowInvalid(pattern);
        ++i;
        used = true;

        // The magnitude as unsigned, so that the most negative value has digits too.
        const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        std::string digits = std::to_string(magnitude);
        if (static_cast<int>(digits.size()) < precision)
            digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        if (value < 0)
            digits.insert(0, 1, '-');
        if (static_cast<int>(digits.size()) < width) {
            const std::string padding(static_cast<size_t>(width) - digits.size(), ' ');
            digits = leftJustify ? digits + padding : padding + digits;
        }
        result += digits;
    }
    return result;
}
