// The setup program that a packed archive is appended to.
#pragma once

#include <cstdint>
#include <string>

#include "tools/setuppack/ArchiveOutput.h"

namespace Packing {

// Copies the setup program at stubPath without any archive it already carries; returns where
// the new archive starts. EPackError for a file that is no Windows program or too large.
int64_t CopyStub(const std::string& stubPath, TArchiveOutput& out);

} // namespace Packing
