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
        // One specifier: [index:][-][width][.precision]type, and only one per pattern. The
        // index names the argument by its position; there is one, so only 0 fits.
        if (used)
            ThrowInvalid(pattern);
        size_t digitsEnd = i;
        while (digitsEnd < pattern.size() && IsDigit(pattern[digitsEnd]))
            ++digitsEnd;
        if (digitsEnd > i && digitsEnd < pattern.size() && pattern[digitsEnd] == ':') {
            for (; i < digitsEnd; ++i)
                if (pattern[i] != '0')
                    ThrowInvalid(pattern);
            ++i;
        }
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
        if (i >= pattern.size())
            ThrowInvalid(pattern);
        const char type = pattern[i++];
        used = true;

        // d: signed decimal. u and x: the value's 32 bits as an unsigned number, in decimal or
        // in hexadecimal (x with small letters, X with capitals). The magnitude is unsigned,
        // so that the most negative value has digits too.
        const bool negative = value < 0 && (type == 'd' || type == 'D');
        const uint32_t bits = static_cast<uint32_t>(value);
        std::string digits;
        switch (type) {
        case 'd':
        case 'D':
            digits = std::to_string(negative ? 0u - bits : bits);
            break;
        case 'u':
        case 'U':
            digits = std::to_string(bits);
            break;
        case 'x':
        case 'X': {
            const char* hexDigits = type == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
            for (uint32_t rest = bits; digits.empty() || rest != 0; rest >>= 4)
                digits.insert(digits.begin(), hexDigits[rest & 15]);
            break;
        }
        default:
            ThrowInvalid(pattern);
        }
        if (static_cast<int>(digits.size()) < precision)
            digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        if (negative)
            digits.insert(0, 1, '-');
        if (static_cast<int>(digits.size()) < width) {
            const std::string padding(static_cast<size_t>(width) - digits.size(), ' ');
            digits = leftJustify ? digits + padding : padding + digits;
        }
        result += digits;
    }
    return result;
}
