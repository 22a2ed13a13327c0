// Which of the system's message icons a control of another process shows.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// The icons by the names the script uses: error, warning, information, question.
const std::map<std::string, LPCSTR>& SystemIcons();

// The name of the system icon that the icon control shows, or "an unknown".
std::string IconShown(HWND control);
