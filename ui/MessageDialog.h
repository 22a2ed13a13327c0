// The program's message dialogs: warning, information, confirmation and the error box. Each
// shows its text with the kind's caption and system icon, is modal to the whole application,
// and returns the button the user chose. Windows only.
#pragma once

#include <string>

enum TMessageKind {
    mkWarning,      // "Warning", exclamation icon, "OK"
    mkInformation,  // "Information", information icon, "OK"
    mkConfirmation, // "Confirm", question icon, "&Yes" (Enter) and "&No" (Escape, close box)
    mkError,        // the application's title, error icon, "OK"; the text as ErrorBoxText makes it
};

// The button that ended a dialog; the values are those of the system's IDOK, IDYES and IDNO.
enum TMessageResult { mrOK = 1, mrYes = 6, mrNo = 7 };

// Shows text (lines broken at each carriage return) in a dialog of the given kind and waits
// for the answer. Every top-level window of the calling thread is disabled meanwhile.
// Escape and the close box answer No on a confirmation and OK on the other kinds; a dialog
// that cannot be created counts as that same answer.
TMessageResult ShowMessage(const std::string& text, TMessageKind kind);
