// The program's 8-bit texts (in the code page it runs with, CP_ACP) to and from UTF-16, for the
// few calls that take only wide text or where the 8-bit form would lose something. Windows only.
#pragma once

#include <string>
#include <string_view>

std::wstring ToWide(std::string_view text);
std::string FromWide(std::wstring_view text);
