// Looking into an existing setup program or Setup.dat through the program's own reader
// (TInstaller): listing, verifying every member, extracting natively.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

// Called now and then with the stage ("verifying", "extracting"), and the uncompressed bytes of
// it done and the whole.
using TArchiveProgress = std::function<void(const char* stage, int64_t done, int64_t total)>;

struct TVerifyResult {
    int32_t Files = 0;
    int32_t Folders = 0;
    int64_t Bytes = 0; // uncompressed
};

// Header facts, whether a code signature follows the setup data, and one line per entry:
// size, stored length, path.
void ListSetup(const std::string& setupPath, std::ostream& out, const TArchiveProgress& progress = {});

// The same facts as one JSON object (UTF-8, "\\" separated paths), for build scripts.
void ListSetupJson(const std::string& setupPath, std::ostream& out, const TArchiveProgress& progress = {});

// Opens the archive as the setup program does (signature, checksum, record structure), then
// inflates every member the program can reach and checks its size. Raises the reader's errors.
TVerifyResult VerifySetup(const std::string& setupPath, const TArchiveProgress& progress = {});

// Verifies, then writes every member the program can reach below destination, which must be
// a new or empty folder. Names are converted from Windows-1252 to UTF-8 where the platform's
// names are UTF-8. Nothing is written when verification fails.
TVerifyResult ExtractSetup(const std::string& setupPath, const std::string& destination,
                           const TArchiveProgress& progress = {});
