#include "tools/setuppack/PackStub.h"

#include <algorithm>
#include <climits>

#include "tools/setuppack/PackTree.h"
#include "tools/setuppack/Packer.h"

namespace Packing {

using namespace Archive;

int64_t CopyStub(const std::string& stubPath, TArchiveOutput& out) {
    TFileStream stub(stubPath, TFileMode::fmOpenReadShared);
    const int64_t size = stub.Size();
    char magic[2] = {};
    if (size < MinimumExecutableSize || stub.Read(magic, 2) != 2 || magic[0] != 'M' || magic[1] != 'Z')
        throw EPackError(Quoted(stubPath) + " is not a Windows program");
    const int32_t dataOffset = TImageFields::Read(stub).DataOffset;
    const int64_t length = dataOffset >= MinimumExecutableSize && dataOffset <= size ? dataOffset : size;
    if (length >= INT32_MAX)
        throw EPackError(Quoted(stubPath) + " is 2 GiB or larger");
    stub.SetPosition(0);
    std::vector<uint8_t> buffer(ChunkSize);
    for (int64_t left = length; left > 0;) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(left, ChunkSize));
        stub.ReadBuffer(buffer.data(), n);
        out.WriteRaw(buffer.data(), static_cast<size_t>(n));
        left -= n;
    }
    return length;
}

} // namespace Packing
