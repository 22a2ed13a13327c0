// Shows one message dialog, chosen by the command line, and ends with the button the user
// chose as its exit code (1 OK, 6 Yes, 7 No), for the driver tests of the dialog kinds.
//   confirm | warning | information | error
#include <windows.h>

#include <string>

#include "messages/Strings.h"
#include "ui/ErrorBox.h"
#include "ui/MessageDialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const std::string kind = commandLine;
    if (kind == "confirm")
        return ShowMessage(FillMessage(LoadMessage(msConfirmUninstall), "Velmora 5.04"), mkConfirmation);
    if (kind == "warning")
        return ShowMessage(FillMessage(LoadMessage(msUninstallRightsRequired), "Velmora"), mkWarning);
    if (kind == "information")
        return ShowMessage(FillMessage(LoadMessage(msUninstallPartial), "A&B Tools"), mkInformation);
    if (kind == "error") {
        ShowErrorBox("Velmora Setup", LoadMessage(msNotEnoughSpace));
        return mrOK;
    }
    return 100;
}
