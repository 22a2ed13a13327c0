// libFuzzer target for the uninstall record reader: every input is read as a record that
// fills its file. The reader may refuse an input only with one of the program's own errors;
// any other exception, a crash, a hang or a leak is a finding. A record that is accepted must
// come back unchanged when written and read again.

#include <cstddef>
#include <cstdint>

#include "common/Errors.h"
#include "common/Stream.h"
#include "setupdata/UninstallRecord.h"

namespace {

bool SameVersion(const TProgramVersion& a, const TProgramVersion& b) {
    return a.Major == b.Major && a.Minor == b.Minor && a.Release == b.Release && a.Beta == b.Beta &&
           a.PressPreview == b.PressPreview;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TMemoryStream input;
    input.Bytes().assign(data, data + size);
    TUninstallRecord record;
    try {
        ReadUninstallRecord(input, static_cast<int64_t>(size), record);
    } catch (const Exception&) {
        return 0;
    }

    TMemoryStream copy;
    WriteUninstallRecord(copy, record.Version, record.InstallLog, record.ProductData.data(),
                         record.ProductDataLength);
    copy.SetPosition(0);
    TUninstallRecord again;
    ReadUninstallRecord(copy, copy.Size(), again);
    if (!SameVersion(again.Version, record.Version) || again.InstallLog != record.InstallLog ||
        again.ProductData != record.ProductData || again.ProductDataLength != record.ProductDataLength)
        __builtin_trap();
    return 0;
}
