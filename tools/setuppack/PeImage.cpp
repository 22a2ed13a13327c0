#include "tools/setuppack/PeImage.h"

#include <algorithm>
#include <cstring>

namespace {

// Little-endian reads that fail outside the bytes.
class TReader {
public:
    explicit TReader(const std::string& bytes) : Bytes(bytes) {}
    bool Has(uint64_t offset, uint64_t count) const {
        return offset <= Bytes.size() && count <= Bytes.size() - offset;
    }
    uint32_t U16(uint64_t offset) const { return Has(offset, 2) ? Byte(offset) | Byte(offset + 1) << 8 : 0; }
    uint32_t U32(uint64_t offset) const {
        return Has(offset, 4) ? U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16 : 0;
    }
    std::string Text(uint64_t offset) const {
        std::string text;
        while (Has(offset, 1) && Bytes[offset] != 0 && text.size() < 512)
            text += Bytes[offset++];
        return text;
    }

private:
    const std::string& Bytes;
    uint32_t Byte(uint64_t offset) const { return static_cast<unsigned char>(Bytes[offset]); }
};

} // namespace

bool TPeImage::HasExport(const std::string& name) const {
    return std::find(Exports.begin(), Exports.end(), name) != Exports.end();
}

std::optional<TPeImage> ReadPeImage(const std::string& bytes) {
    const TReader file(bytes);
    if (bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0)
        return std::nullopt;
    const uint64_t pe = file.U32(0x3C);
    if (!file.Has(pe, 24) || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    TPeImage image;
    image.Machine = static_cast<uint16_t>(file.U16(pe + 4));
    const uint32_t sections = file.U16(pe + 6);
    const uint32_t optionalSize = file.U16(pe + 20);
    image.IsDll = (file.U16(pe + 22) & 0x2000) != 0; // IMAGE_FILE_DLL
    const uint64_t optional = pe + 24;
    const uint32_t magic = file.U16(optional);
    // The data directories follow the optional header's fixed part: 96 bytes in PE32, 112 in
    // PE32+; the export table is the first.
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    if (magic != 0x10B && magic != 0x20B)
        return image;
    if (directories + 8 > optional + optionalSize)
        return image;
    const uint32_t exportRva = file.U32(directories);
    const uint64_t sectionTable = optional + optionalSize;
    const auto offsetOf = [&](uint32_t rva) -> std::optional<uint64_t> {
        for (uint32_t index = 0; index < sections && index < 96; ++index) {
            const uint64_t section = sectionTable + index * 40ULL;
            const uint32_t address = file.U32(section + 12);
            const uint32_t size = std::max(file.U32(section + 8), file.U32(section + 16));
            if (rva >= address && rva - address < size)
                return uint64_t(file.U32(section + 20)) + (rva - address);
        }
        return std::nullopt;
    };
    const std::optional<uint64_t> exports = exportRva != 0 ? offsetOf(exportRva) : std::nullopt;
    if (!exports || !file.Has(*exports, 40))
        return image;
    const uint32_t names = std::min<uint32_t>(file.U32(*exports + 24), 65536);
    const std::optional<uint64_t> table = offsetOf(file.U32(*exports + 32));
    for (uint32_t index = 0; table && index < names && file.Has(*table + index * 4ULL, 4); ++index) {
        if (const std::optional<uint64_t> name = offsetOf(file.U32(*table + index * 4ULL)))
            image.Exports.push_back(file.Text(*name));
    }
    return image;
}
