// A formatter for patterns that come from configuration files and take one integer, such as
// the product folder name "Velmora %d". The pattern is parsed here and never handed to the C
// library's printf family, so a pattern with other specifiers cannot read arguments that were
// never passed.
#pragma once

#include <cstdint>
#include <string>

#include "common/Errors.h"

// A pattern that does not fit its argument.
class EFormatError : public Exception {
    using Exception::Exception;
};

// Fills pattern with value. Accepted: "%%" for a percent sign, and at most one integer
// specifier "%[0:][-][width][.precision]type": "0:" names the one argument by its index, type
// is "d" or "D" (signed decimal), "u" or "U" (unsigned decimal of the 32 bits) or "x" / "X"
// (hexadecimal, small / capital letters); width pads with blanks on the left (on the right
// after "-"), precision pads the digits with zeros. Width and precision are at most
// MaxFormatWidth. A pattern without a specifier comes back unchanged. Anything else raises
// EFormatError "Format '<pattern>' invalid or incompatible with argument".
std::string FormatInteger(const std::string& pattern, int32_t value);

constexpr int MaxFormatWidth = 260;
