// The program's texts and names are 8-bit, in the code page it runs with: UTF-8 where Windows
// honours the UTF-8 declaration of the program's manifest (Windows 10 version 1903 and later,
// and Wine: GetACP() answers 65001 and every "A" function takes and gives UTF-8), the system's
// ANSI code page on older Windows, UTF-8 in the tools on Linux. What the product brings (its
// setup files, the archive's names) is Windows-1252, as the packing tool stores it, and is
// converted once where it is read. Portable; the conversion into other code pages is the
// platform layer's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr uint32_t CodePageUtf8 = 65001;
constexpr uint32_t CodePageWindows1252 = 1252;

// The code page of the running program's 8-bit texts: the active code page (GetACP) on
// Windows, UTF-8 elsewhere.
uint32_t RunningCodePage();

// The next character of a UTF-8 text from at, which moves past it; false (at unchanged) when
// the bytes there are not a character: a stray continuation byte, a sequence cut off, an
// overlong form, a surrogate or a value beyond U+10FFFF.
bool DecodeUtf8(std::string_view text, size_t& at, uint32_t& character);
// True when the whole text is well-formed UTF-8.
bool IsUtf8(std::string_view text);
// True when every byte is below 0x80: the same text in every code page Windows uses.
bool IsAscii(std::string_view text);

// The UTF-8 form of Windows-1252 bytes. The five bytes the page leaves undefined become the C1
// control characters of the same value, as Windows' own conversion does.
std::string Windows1252ToUtf8(std::string_view text);
// The Windows-1252 bytes of a UTF-8 text; none when the text is not valid UTF-8 or holds a
// character the code page lacks (including U+0080..U+009F, whose bytes the page uses for
// other characters).
std::optional<std::string> Utf8ToWindows1252(std::string_view text);

// Windows-1252 text in the given code page. UTF-8 and Windows-1252 itself need no system call;
// any other code page is the system's conversion, where a letter the page lacks becomes the
// nearest one Windows knows ("e" for "é" on a Cyrillic system) or else "_": unlike Windows'
// usual "?", it is valid in a file name, so that a product's names still install there.
std::string Windows1252ToCodePage(std::string_view text, uint32_t codePage);
// A text or name the product brings, in the running code page: the one place where the
// setup files' texts and the archive's names enter the program.
std::string ProductText(std::string_view windows1252);

// Text of one code page in another: for texts the program stored in an earlier run, in the
// code page it ran with then. Windows-1252 and UTF-8 convert among themselves anywhere; any
// other pair is the system's conversion (letters the target lacks as Windows1252ToCodePage
// says; natively, as SystemConvertCodePage says).
std::string ConvertCodePage(std::string_view text, uint32_t from, uint32_t to);

// The system's ANSI code page: the one the 8-bit calls take in a program that declares no
// code page of its own, as this program did before it declared UTF-8 (GetACP then answers the
// declaration instead). Windows-1252 natively.
uint32_t SystemAnsiCodePage();

// Platform layer: text converted between two code pages, at least one of them other than
// UTF-8 and Windows-1252, through the wide form on Windows; natively ASCII is kept and every
// other byte becomes "_".
std::string SystemConvertCodePage(std::string_view text, uint32_t from, uint32_t to);
