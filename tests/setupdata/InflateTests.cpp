// The member inflater: exact sizes, bounded input, damaged streams.

#include <gtest/gtest.h>

#include "common/Errors.h"
#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/Inflate.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestValues.h"

namespace {

TMemoryStream StreamOf(const std::string& bytes) {
    TMemoryStream stream;
    stream.Bytes().assign(bytes.begin(), bytes.end());
    return stream;
}

// Reads everything in odd-sized pieces, as callers may.
std::string InflateAll(TStream& source, int32_t contentLength, int32_t fileSize) {
    TInflateStream inflater(source, contentLength, fileSize);
    std::string out;
    char buffer[777];
    for (int32_t got; (got = inflater.Read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    return out;
}

std::string InflateError(const std::string& stored, int32_t contentLength, int32_t fileSize) {
    TMemoryStream source = StreamOf(stored);
    return ErrorOf([&] { InflateAll(source, contentLength, fileSize); });
}

TEST(Inflate, DeliversExactlyFileSizeBytes) {
    for (size_t size : {size_t(1), size_t(4095), size_t(100000), size_t(300000)}) {
        const std::string data = Noise(size / 2, 7) + std::string(size - size / 2, 'a');
        const std::string stored = Compress(data);
        TMemoryStream source = StreamOf(stored);
        EXPECT_EQ(InflateAll(source, static_cast<int32_t>(stored.size()), static_cast<int32_t>(size)), data);
    }
}

TEST(Inflate, ReadsNoFurtherThanItsContent) {
    const std::string first = Compress(std::string(5000, 'x'));
    TMemoryStream source = StreamOf(first + Compress("next member"));
    EXPECT_EQ(InflateAll(source, static_cast<int32_t>(first.size()), 5000), std::string(5000, 'x'));
    EXPECT_LE(source.Position(), static_cast<int64_t>(first.size()));
}

TEST(Inflate, EmptyMemberIsNotInflated) {
    TMemoryStream source = StreamOf("not a zlib stream at all");
    EXPECT_EQ(InflateAll(source, 24, 0), "");
    EXPECT_EQ(source.Position(), 0);
}

TEST(Inflate, WrongSizesAndDamagedStreamsAreRefused) {
    const std::string data = Noise(3000, 7) + std::string(3000, 'b');
    const std::string stored = Compress(data);
    const auto length = static_cast<int32_t>(stored.size());
    const std::string damaged = Archive::DamagedDataMessage;

    std::string flipped = stored;
    flipped[flipped.size() / 2] ^= 0x55;
    std::string badTrailer = stored;
    badTrailer.back() ^= 1;

    struct {
        const char* What;
        std::string Stored;
        int32_t ContentLength;
        int32_t FileSize;
    } const cases[] = {
        {"holds more than FileSize", stored, length, 5999},
        {"holds fewer than FileSize", stored, length, 6001},
        {"content cut short by ContentLength", stored, length - 10, 6000},
        {"content cut short by the end of the data", stored.substr(0, stored.size() - 3), length, 6000},
        {"no content at all", "", 0, 6000},
        {"damaged deflate data", flipped, length, 6000},
        {"damaged trailer", badTrailer, length, 6000},
        {"negative ContentLength", stored, -1, 6000},
        {"FileSize below -1", stored, length, -2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InflateError(c.Stored, c.ContentLength, c.FileSize), damaged) << c.What;
}

TEST(Inflate, DamagedDeflateDataIsADecompressionError) {
    std::string stored = Compress(Noise(4000, 7));
    stored[2] = static_cast<char>(0xFF); // an invalid block type
    TMemoryStream source = StreamOf(stored);
    EXPECT_THROW(InflateAll(source, static_cast<int32_t>(stored.size()), 4000), EDecompressionError);
}

} // namespace
