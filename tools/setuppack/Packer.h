// Building setup data: a product folder packed into an archive, appended to a copy of a setup
// program or written alone as a Setup.dat.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/Errors.h"
#include "common/Version.h"

// What the archive format cannot carry, or a product folder that cannot be read. The message
// names the file.
class EPackError : public Exception {
    using Exception::Exception;
};

struct TPackOptions {
    std::string ProductFolder;
    std::string OutputPath;
    // The setup program to append the archive to; empty writes the archive alone.
    std::string StubPath;
    TProgramVersion Version;
    double BuildDate = 0; // days since 1899-12-30, the fraction being the local time of day
    unsigned Jobs = 0;    // compressing threads; 0 = one per processor
    // Called on the calling thread about five times a second with the input bytes
    // compressed so far and the total.
    std::function<void(int64_t done, int64_t total)> Progress;
};

struct TPackResult {
    int32_t FileCount = 0;
    int64_t InputBytes = 0;
    int64_t ArchiveOffset = 0; // where the archive starts in the output file
    int64_t ArchiveSize = 0;
};

// Files named ".keep" are left out: they only hold otherwise empty folders in version control.
TPackResult PackProduct(const TPackOptions& options);
