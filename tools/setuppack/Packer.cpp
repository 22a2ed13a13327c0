// Packing a product folder. The jobs have files of their own: the names and the scan
// (PackTree.h), compressing on worker threads (PackCompressor.h), the output with its
// checksum (ArchiveOutput.h), the stub (PackStub.h) and the writer (PackWriter.h).
//
// The folder is scanned first, so that every name and size the format cannot carry is
// refused before anything is written. Then the files are compressed in parallel, each into its
// own zlib stream (large files in several pieces, see TPiece), while the calling thread writes
// them in the stored order. A folder's record holds the length of everything below it, which
// is known only once that is written, so records are written as placeholders and filled in
// afterwards; the archive's Adler-32 is assembled from the checksums of the pieces (zlib's
// adler32_combine), so nothing is read back.
//
// Memory stays bounded: only a window of pieces ahead of the writer is compressed at a time,
// and compressed output waiting for the writer is limited; the piece the writer waits for is
// never held back.

#include "tools/setuppack/Packer.h"

#include <algorithm>
#include <filesystem>

#include "common/Stream.h"
#include "tools/setuppack/PackTree.h"
#include "tools/setuppack/PackWriter.h"

namespace fs = std::filesystem;
using namespace Packing;

TPackResult PackProduct(const TPackOptions& options) {
    const fs::path product = fs::u8path(options.ProductFolder);
    if (!fs::is_directory(product))
        throw EPackError(Quoted(options.ProductFolder) + " is not a folder");
    const fs::path output = fs::u8path(options.OutputPath);
    // The output is written beside its final name and renamed when complete; inside the
    // product folder it would be packed into the next build.
    const fs::path productFull = fs::weakly_canonical(product);
    const fs::path outputFull = fs::weakly_canonical(output);
    const auto mismatch =
        std::mismatch(productFull.begin(), productFull.end(), outputFull.begin(), outputFull.end());
    if (mismatch.first == productFull.end())
        throw EPackError("The output " + Quoted(options.OutputPath) + " lies inside the product folder");

    const std::vector<TPackEntry> tree = ScanProduct(product);

    const std::string temporary = options.OutputPath + ".part";
    TPackResult result;
    try {
        TFileStream file(temporary, TFileMode::fmCreate);
        result = WriteArchive(file, options, tree);
    } catch (...) {
        std::error_code ignored;
        fs::remove(fs::u8path(temporary), ignored);
        throw;
    }
    fs::rename(fs::u8path(temporary), output);
    return result;
}
