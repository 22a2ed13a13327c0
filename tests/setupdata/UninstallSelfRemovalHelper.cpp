// A stand-in uninstaller for the self-removal test: copied into a product folder with an
// uninstall record appended, it replays the record and starts the self-removal batch file,
// as the real uninstaller does after the user has confirmed.

#include <cstdio>

#include "common/Errors.h"
#include "setupdata/Uninstaller.h"

int main() {
    try {
        TUninstaller uninstaller;
        const bool complete = uninstaller.Uninstall();
        uninstaller.RemoveSelf();
        return complete ? 0 : 2;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
