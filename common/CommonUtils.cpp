// Small portable helpers: the shared integer conversion and the text helpers (the Adler-32
// checksum is in Adler32.cpp). No system calls here.

#include "common/CommonUtils.h"

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

std::string AsciiLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    return lower;
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

std::string TrimText(const std::string& text) {
    const auto isBlankOrControl = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isBlankOrControl(text[first]))
        ++first;
    while (last > first && isBlankOrControl(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string ReplaceFirst(const std::string& text, const std::string& symbol, const std::string& value) {
    const size_t at = text.find(symbol);
    if (at == std::string::npos || symbol.empty())
        return text;
    std::string result = text;
    return result.replace(at, symbol.size(), value);
}

std::string ReplaceAll(const std::string& text, const std::string& symbol, const std::string& value) {
    if (symbol.empty())
        return text;
    std::string result;
    size_t start = 0;
    for (size_t at; (at = text.find(symbol, start)) != std::string::npos; start = at + symbol.size())
        result.append(text, start, at - start).append(value);
    return result.append(text, start, std::string::npos);
}

TSplitResult SplitString(const std::string& text, char separator) {
    const size_t at = text.find(separator);
    if (at == std::string::npos)
        return {false, text, std::string()};
    return {true, text.substr(0, at), text.substr(at + 1)};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}
