// The error box that shows an error which ends the program: the program's title as caption,
// the system's error icon and one "OK" button.
#pragma once

#include <string>

// The text the error box shows for message: a full stop is appended when the last
// character's code lies above that of the full stop, so "...download it again" ends with a
// full stop while a message ending in ")", "!", " " or "." stays as it is.
std::string ErrorBoxText(const std::string& message);

// Shows message in the error box titled caption, modal to the whole application, and returns
// when the user has pressed OK.
void ShowErrorBox(const std::string& caption, const std::string& message);
