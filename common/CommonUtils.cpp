// Small portable helpers: the shared integer conversion, text comparison, path utilities and
// the Adler-32 checksum. No system calls here except through the platform layer
// (ProgramFileName, PathDelimiter).

#include "common/CommonUtils.h"

#include "common/FileSystem.h"

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

// The conversion follows the classic Pascal StrToInt, which version texts, INI values and
// registry values written by earlier setups were made for:
//  - only spaces count as leading blanks; nothing may follow the number, not even a blank;
//  - one "+" or "-", then either a hexadecimal number after "$", "x", "X", "0x" or "0X", or
//    decimal digits; at least one digit is required;
//  - hexadecimal takes up to 32 significant bits and reinterprets them as a signed 32-bit
//    value: "$FFFFFFFF" is -1, "$80000000" is -2147483648; a sign then negates with 32-bit
//    wrap-around, so "-$FFFFFFFF" is 1 and "-$80000000" stays -2147483648; a 33rd bit fails;
//  - decimal accepts exactly -2147483648..2147483647 and fails beyond.
bool TryStrToInt(std::string_view text, int32_t& value) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false; // no digits

    uint32_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0 || (magnitude & 0xF0000000u) != 0)
                return false;
            magnitude = (magnitude << 4) | static_cast<uint32_t>(digit);
        }
        // Two's complement negation of the 32-bit pattern.
        value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
        return true;
    }

    const uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        const uint32_t digit = static_cast<uint32_t>(c - '0');
        if (magnitude > (limit - digit) / 10)
            return false; // beyond the signed 32-bit range
        magnitude = magnitude * 10 + digit;
    }
    value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    return true;
}

int32_t StrToIntDef(std::string_view text, int32_t defaultValue) {
    int32_t value;
    return TryStrToInt(text, value) ? value : defaultValue;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

std::string IncludeDelimiter(const std::string& path) {
    if (path.empty() || path.back() == '\\')
        return path;
    return path + '\\';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return IncludeDelimiter(folder) + name;
}

std::string JoinPaths(const std::string& a, const std::string& b, const std::string& c) {
    return JoinPath(JoinPath(a, b), c);
}

std::string BaseFileName(const std::string& path) {
    const size_t cut = path.find_last_of("\\:");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

TSplitResult SplitString(const std::string& text, char separator) {
    const size_t at = text.find(separator);
    if (at == std::string::npos)
        return {false, text, std::string()};
    return {true, text.substr(0, at), text.substr(at + 1)};
}

std::string ProgramDirectory() {
    const std::string file = ProgramFileName();
    const size_t cut = file.rfind(PathDelimiter());
    return cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

bool IsValidDosDateTime(uint32_t dosDateTime) {
    static const int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = static_cast<int>(dosDateTime >> 25) + 1980;
    const int month = static_cast<int>((dosDateTime >> 21) & 15);
    const int day = static_cast<int>((dosDateTime >> 16) & 31);
    const int hour = static_cast<int>((dosDateTime >> 11) & 31);
    const int minute = static_cast<int>((dosDateTime >> 5) & 63);
    const int second = static_cast<int>(dosDateTime & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return false;
    const bool leapYear = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= monthDays[month - 1] + (month == 2 && leapYear ? 1 : 0);
}

// Adler-32 as RFC 1950 defines it, with the modulo deferred: NMAX is the largest n for which
// 255 n (n + 1) / 2 + (n + 1) (Base - 1) still fits in 32 bits, so the sums of a block of up
// to NMAX bytes cannot overflow before they are reduced once. Inputs whose halves are not yet
// reduced give the same results as zlib's adler32.
namespace {

constexpr uint32_t AdlerBase = 65521;
constexpr size_t AdlerNmax = 5552;

inline void Adler16(uint32_t& a, uint32_t& b, const uint8_t* p) {
    // clang-format off
    a += p[0];  b += a;
    a += p[1];  b += a;
    a += p[2];  b += a;
    a += p[3];  b += a;
    a += p[4];  b += a;
    a += p[5];  b += a;
    a += p[6];  b += a;
    a += p[7];  b += a;
    a += p[8];  b += a;
    a += p[9];  b += a;
    a += p[10]; b += a;
    a += p[11]; b += a;
    a += p[12]; b += a;
    a += p[13]; b += a;
    a += p[14]; b += a;
    a += p[15]; b += a;
    // clang-format on
}

} // namespace

uint32_t Adler32(uint32_t adler, const void* data, size_t len) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;

    if (p == nullptr)
        return 1;
    if (len == 1) {
        a += p[0];
        if (a >= AdlerBase)
            a -= AdlerBase;
        b += a;
        if (b >= AdlerBase)
            b -= AdlerBase;
        return a | (b << 16);
    }
    if (len < 16) {
        while (len-- != 0) {
            a += *p++;
            b += a;
        }
        if (a >= AdlerBase)
            a -= AdlerBase;
        b %= AdlerBase;
        return a | (b << 16);
    }

    while (len >= AdlerNmax) {
        len -= AdlerNmax;
        for (size_t blocks = AdlerNmax / 16; blocks != 0; --blocks) {
            Adler16(a, b, p);
            p += 16;
        }
        a %= AdlerBase;
        b %= AdlerBase;
    }
    if (len != 0) {
        for (; len >= 16; len -= 16) {
            Adler16(a, b, p);
            p += 16;
        }
        while (len-- != 0) {
            a += *p++;
            b += a;
        }
        a %= AdlerBase;
        b %= AdlerBase;
    }
    return a | (b << 16);
}
