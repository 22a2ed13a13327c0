// The program's message dialogs: warning, information, confirmation and the error box, the
// kinds of messages/Strings.h. Each shows its text with the kind's caption and system icon, is modal
// to the whole application, and returns the button the user chose. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "messages/Strings.h"

// Shows text (lines broken at each carriage return) in a dialog of the given kind and waits
// for the answer. Every top-level window of the calling thread is disabled meanwhile.
// Escape and the close box answer No on a confirmation and OK on the other kinds; a dialog
// that cannot be created counts as that same answer. The caption is the kind's own
// ("Warning", "Information", "Confirm"); the error kind is titled errorCaption, the program's
// title, which only its caller knows (ShowErrorBox).
TMessageResult ShowMessage(const std::string& text, TMessageKind kind, const std::string& errorCaption = {});

// The font the system uses for message boxes, owned by the caller; null when it cannot be had.
HFONT CreateMessageFont();
// The base of the dialog units for the font selected into dc, as the dialog manager computes
// it: the average character width (cx) and the character height (cy), in pixels. A dialog unit
// is a quarter of the one and an eighth of the other.
SIZE DialogBaseUnits(HDC dc);
