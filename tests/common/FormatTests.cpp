#include "common/Format.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "tests/support/TestValues.h"
namespace {

TEST(FormatIntegerTest, FillsOneInteger) {
    struct TCase {
        const char* Pattern;
        int32_t Value;
        std::optional<std::string> Expected; // none: EFormatError
    };
    const TCase cases[] = {
        {"Velmora %d", 5, "Velmora 5"},
        {"Velmora", 5, "Velmora"},
        {"", 5, ""},
        {"%d", INT32_MIN, "-2147483648"},
        {"Vendor\\V%D", 12, "Vendor\\V12"},
        {"100%% %d%%", 5, "100% 5%"},
        {"%%d", 5, "%d"},
        {"%%", 5, "%"},
        {"[%3d]", 5, "[  5]"},
        {"[%-3d]", 5, "[5  ]"},
        {"[%.2d]", 5, "[05]"},
        {"[%5.3d]", -5, "[ -005]"},
        {"[%1d]", 123, "[123]"},
        {"[%.0d]", 0, "[0]"},
        {"[%260d]", 1, "[" + std::string(259, ' ') + "1]"},
        // The other specifiers that take one integer, and the argument by its index.
        {"Velmora %u", 12, "Velmora 12"},
        {"%U", -1, "4294967295"},
        {"Velmora %x", 12, "Velmora c"},
        {"%X|%.4x", 255, std::nullopt},
        {"[%-4X]", 255, "[FF  ]"},
        {"[%.4x]", 12, "[000c]"},
        {"%x", INT32_MIN, "80000000"},
        {"Velmora %0:d", 12, "Velmora 12"},
        {"[%00:-4.3d]", 5, "[005 ]"},
        {"%1:d", 5, std::nullopt},
        {"%10:d", 5, std::nullopt},
        {"%0:s", 5, std::nullopt},
        {"%0:", 5, std::nullopt},
        {"%:d", 5, std::nullopt},
        {"%-0:d", 5, std::nullopt},
        // Anything that is not one integer.
        {"%s", 5, std::nullopt},
        {"Velmora %s %d", 5, std::nullopt},
        {"%d %d", 5, std::nullopt},
        {"%", 5, std::nullopt},
        {"Velmora %", 5, std::nullopt},
        {"%ld", 5, std::nullopt},
        {"%*d", 5, std::nullopt},
        {"%+d", 5, std::nullopt},
        {"%n", 5, std::nullopt},
        {"%-", 5, std::nullopt},
        {"%.d", 5, "5"},
        {"%261d", 5, std::nullopt},
        {"%.99999999999d", 5, std::nullopt},
    };
    for (const TCase& c : cases) {
        if (c.Expected) {
            EXPECT_EQ(FormatInteger(c.Pattern, c.Value), *c.Expected) << c.Pattern;
        } else {
            EXPECT_THROW(FormatInteger(c.Pattern, c.Value), EFormatError) << c.Pattern;
        }
    }
}

TEST(FormatIntegerTest, ErrorNamesThePattern) {
    EXPECT_EQ(ErrorOf<EFormatError>([] { FormatInteger("Velmora %s", 5); }),
              "Format 'Velmora %s' invalid or incompatible with argument");
}

} // namespace
