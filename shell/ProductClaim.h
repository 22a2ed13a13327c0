// One setup program or uninstaller of a product at a time: two of them at once would install
// and remove the same files and keys under each other. The first one that starts claims the
// product; a later one finds the claim, brings the first one's window to the front and ends.
// Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "common/WinHandle.h"

class TProductClaim {
public:
    // Claims the product named productName for this process until it ends or the claim is
    // destroyed. False when another process holds the claim: its frontmost window has then been
    // brought to the front (when it shows one).
    bool Claim(const std::string& productName);

private:
    UniqueHandle Mutex;
    UniqueHandle Owner; // a small shared memory holding the claiming process's id
};
