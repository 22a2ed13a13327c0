// libjpeg reports errors through a callback that must not return. C++ exceptions cannot pass
// through the library's C frames, so the callback formats the message and jumps back with
// longjmp to the one function that called into the library; that function only holds plain
// data, and the exception is raised after the jump.

#include "setup/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "common/Errors.h"

namespace {

// The most the library may hold for whole-picture buffers (a progressive picture keeps all its
// coefficients), as much as the wizard allows for the bitmap. Without a limit a damaged header
// that claims 65500 by 65500 pixels has it ask for gigabytes before a single row is decoded;
// with one it stops with an error, since it has no backing store on disk.
constexpr long MaxDecoderMemory = 256L << 20;

struct TJpegErrorManager {
    jpeg_error_mgr Public; // first, so that the library's pointer to it is also ours
    std::jmp_buf Escape;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<TJpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Escape, 1);
}

// Level -1 is a warning: the data was damaged and the library repaired what it could. Trace
// messages (levels above 0) are dropped.
void EmitMessage(j_common_ptr info, int level) {
    if (level < 0)
        ErrorExit(info);
}

// Each step returns false when the library gave up; the message is in the error manager then.
bool StartDecompress(jpeg_decompress_struct& info, TJpegErrorManager& errors, const uint8_t* data, size_t size) {
    if (setjmp(errors.Escape))
        return false;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = MaxDecoderMemory;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    return true;
}

bool ReadRows(jpeg_decompress_struct& info, TJpegErrorManager& errors, uint8_t* pixels, size_t stride) {
    if (setjmp(errors.Escape))
        return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + static_cast<size_t>(info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

class TDecompressor {
public:
    TDecompressor() {
        info.err = jpeg_std_error(&errors.Public);
        errors.Public.error_exit = ErrorExit;
        errors.Public.emit_message = EmitMessage;
    }
    // Also after a failed step: the library frees everything it allocated.
    ~TDecompressor() { jpeg_destroy_decompress(&info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct info{};
    TJpegErrorManager errors{};
};

} // namespace

void DecodeJpeg(const uint8_t* data, size_t size,
                const std::function<uint8_t*(int width, int height, size_t stride)>& allocate) {
    TDecompressor decoder;
    if (!StartDecompress(decoder.info, decoder.errors, data, size))
        throw Exception(decoder.errors.Message);
    const int width = static_cast<int>(decoder.info.output_width);
    const int height = static_cast<int>(decoder.info.output_height);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    uint8_t* pixels = allocate(width, height, stride);
    if (!ReadRows(decoder.info, decoder.errors, pixels, stride))
        throw Exception(decoder.errors.Message);
}
