// Writing the archive: the stub, the header, the version and the entries in the stored order,
// each file's compressed stream taken from the compressor as it becomes ready.
#pragma once

#include <vector>

#include "common/Stream.h"
#include "tools/setuppack/PackTree.h"
#include "tools/setuppack/Packer.h"

namespace Packing {

// Writes everything into file (positioned at 0) and returns the result.
TPackResult WriteArchive(TFileStream& file, const TPackOptions& options, const std::vector<TPackEntry>& tree);

} // namespace Packing
