// The program's 8-bit texts to and from UTF-16, for the few calls that take only wide text or
// where the 8-bit form would lose something. Windows only. Without a code page, the one the
// program runs with (CP_ACP: UTF-8 where the manifest's declaration is honoured).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr uint32_t RunningCodePageId = 0; // CP_ACP

// Empty when text is not text of that code page.
std::wstring ToWide(std::string_view text, uint32_t codePage = RunningCodePageId);
// fallback: what stands for a character the code page lacks; null for Windows' own choice
// (and for UTF-8, which takes none: the conversion fails with one).
std::string FromWide(std::wstring_view text, uint32_t codePage = RunningCodePageId,
                     const char* fallback = nullptr);
