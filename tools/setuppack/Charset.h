// Archive names are bytes in the Windows-1252 code page; the packing tool meets UTF-8 names
// (file systems on Linux, std::filesystem's u8string on Windows) and converts at the edge.
#pragma once

#include <optional>
#include <string>

// The Windows-1252 bytes of a UTF-8 text; none when the text is not valid UTF-8 or holds a
// character the code page lacks (including U+0080..U+009F, whose bytes the page uses for
// other characters).
std::optional<std::string> Utf8ToWindows1252(const std::string& text);

// The UTF-8 form of Windows-1252 bytes. The five bytes the page leaves undefined become the C1
// control characters of the same value, as Windows' own conversion does.
std::string Windows1252ToUtf8(const std::string& text);
