// What every part of the driver shares: the failure it reports, and the polling wait with
// which it gives the program under test time to get where the script expects it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

// A failed expectation; the message says what was expected and what was seen.
class EDriverFailure : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr DWORD PollInterval = 50;    // ms between two looks at the windows
constexpr UINT MessageTimeout = 2000; // ms for a message to a window of the program

// Polls until found returns true or timeout (ms) passes; then fails with what(), whose first
// line says what was missing and gains how long the wait was.
template <typename TFound, typename TWhat> void WaitFor(DWORD timeout, TFound found, TWhat what) {
    const DWORD start = ::GetTickCount();
    while (!found()) {
        if (::GetTickCount() - start >= timeout) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, " (waited %.1f s)", timeout / 1000.0);
            std::string message = what();
            throw EDriverFailure(message.insert(std::min(message.find('\n'), message.size()), seconds));
        }
        ::Sleep(PollInterval);
    }
}
