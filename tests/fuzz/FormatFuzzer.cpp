// libFuzzer target for the formatter of DefaultFolder patterns: the first four bytes of an
// input are the number, the rest the pattern. A pattern is refused only with EFormatError; an
// accepted one gives a result of bounded length that holds the number's digits when the
// pattern has a specifier, and the pattern itself when it has no "%".

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/Format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    const std::string pattern(reinterpret_cast<const char*>(data), size);
    std::string result;
    try {
        result = FormatInteger(pattern, value);
    } catch (const EFormatError&) {
        return 0;
    }
    // At most one specifier, padded to at most MaxFormatWidth plus a sign.
    if (result.size() > pattern.size() + MaxFormatWidth + 1)
        __builtin_trap();
    if (pattern.find('%') == std::string::npos && result != pattern)
        __builtin_trap();
    const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    bool hasSpecifier = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%')
            ++i;
        else if (pattern[i] == '%')
            hasSpecifier = true;
    }
    // The number appears as decimal (signed or unsigned) or as hexadecimal in either case.
    const auto hex = [](uint32_t n, const char* digits) {
        std::string text;
        do {
            text.insert(text.begin(), digits[n % 16]);
            n /= 16;
        } while (n != 0);
        return text;
    };
    const uint32_t bits = static_cast<uint32_t>(value);
    const std::string forms[] = {std::to_string(magnitude), std::to_string(bits), hex(bits, "0123456789abcdef"),
                                 hex(bits, "0123456789ABCDEF")};
    bool found = false;
    for (const std::string& form : forms)
        found = found || result.find(form) != std::string::npos;
    if (hasSpecifier && !found)
        __builtin_trap();
    return 0;
}
