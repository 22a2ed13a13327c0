// Windows-1252 agrees with Latin-1 except for 0x80..0x9F, which hold typographic characters:
// its conversion to and from UTF-8 is a table of 32 entries, with no system call.

#include "common/TextEncoding.h"

#include <algorithm>

namespace {

// Unicode values of 0x80..0x9F; 0 marks the five undefined bytes.
constexpr uint16_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<char> CodePointToWindows1252(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] != 0 && HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

// Windows-1252 has nothing beyond U+FFFF, so three bytes at most.
void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

bool DecodeUtf8(std::string_view text, size_t& at, uint32_t& character) {
    if (at >= text.size())
        return false;
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t extra;
    uint32_t c;
    if (lead < 0x80) {
        extra = 0;
        c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return false; // a continuation byte, or a lead byte only overlong forms would use
    }
    if (extra >= text.size() - at)
        return false; // the sequence is cut off
    for (size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return false;
        c = c << 6 | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not valid UTF-8.
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
        (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
        return false;
    character = c;
    at += extra + 1;
    return true;
}

bool IsUtf8(std::string_view text) {
    size_t at = 0;
    uint32_t c;
    while (at < text.size()) {
        if (!DecodeUtf8(text, at, c))
            return false;
    }
    return true;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

std::optional<std::string> Utf8ToWindows1252(std::string_view text) {
    std::string out;
    size_t at = 0;
    uint32_t c;
    while (at < text.size()) {
        if (!DecodeUtf8(text, at, c))
            return std::nullopt;
        const std::optional<char> mapped = CodePointToWindows1252(c);
        if (!mapped)
            return std::nullopt;
        out += *mapped;
    }
    return out;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<uint8_t>(ch);
        if (b >= 0x80 && b < 0xA0 && HighControls[b - 0x80] != 0)
            AppendUtf8(out, HighControls[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Windows1252ToCodePage(std::string_view text, uint32_t codePage) {
    if (codePage == CodePageWindows1252 || IsAscii(text))
        return std::string(text);
    if (codePage == CodePageUtf8)
        return Windows1252ToUtf8(text);
    return SystemConvertCodePage(text, CodePageWindows1252, codePage);
}

std::string ConvertCodePage(std::string_view text, uint32_t from, uint32_t to) {
    if (from == to || IsAscii(text))
        return std::string(text);
    if (from == CodePageWindows1252)
        return Windows1252ToCodePage(text, to);
    if (from == CodePageUtf8 && to == CodePageWindows1252) {
        if (std::optional<std::string> converted = Utf8ToWindows1252(text))
            return *converted;
    }
    return SystemConvertCodePage(text, from, to);
}

std::string ProductText(std::string_view windows1252) {
    return Windows1252ToCodePage(windows1252, RunningCodePage());
}
