#include "common/Stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

#include "common/Errors.h"
#include "common/FileSystem.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace {

#ifdef _WIN32
const int WriteDenied = ERROR_ACCESS_DENIED;
#else
const int WriteDenied = EBADF;
#endif

TEST(MemoryStream, ReadWriteSeek) {
    TMemoryStream stream;
    EXPECT_EQ(stream.Size(), 0);
    stream.WriteBuffer("abcdef", 6);
    EXPECT_EQ(stream.Position(), 6);
    EXPECT_EQ(stream.Size(), 6);
    EXPECT_EQ(stream.Position(), 6) << "Size keeps the position";

    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 4), 0) << "at the end";
    EXPECT_EQ(stream.Seek(-4, TSeekOrigin::soEnd), 2);
    EXPECT_EQ(stream.Read(buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "cdef");
    EXPECT_EQ(stream.Seek(-3, TSeekOrigin::soCurrent), 3);
    EXPECT_EQ(stream.Read(buffer, 1), 1);
    EXPECT_EQ(buffer[0], 'd');

    // Writing past the end fills the gap with zero bytes.
    stream.SetPosition(8);
    stream.WriteBuffer("z", 1);
    ASSERT_EQ(stream.Size(), 9);
    EXPECT_EQ(std::memcmp(stream.Memory(), "abcdef\0\0z", 9), 0);

    stream.SetPosition(-1);
    EXPECT_EQ(stream.Read(buffer, 1), 0);
    EXPECT_EQ(stream.Write("q", 1), 0);
}

TEST(MemoryStream, IntegersAreLittleEndian) {
    TMemoryStream stream;
    stream.WriteInt32(0x12345678);
    stream.WriteInt32(-100);
    const uint8_t expected[8] = {0x78, 0x56, 0x34, 0x12, 0x9C, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(stream.Bytes().size(), 8u);
    EXPECT_EQ(std::memcmp(stream.Memory(), expected, 8), 0);
    stream.SetPosition(0);
    EXPECT_EQ(stream.ReadInt32(), 0x12345678);
    EXPECT_EQ(stream.ReadInt32(), -100);
}

TEST(Stream, ShortReadRaisesReadError) {
    TMemoryStream stream;
    stream.WriteBuffer("abc", 3);
    stream.SetPosition(0);
    EXPECT_EQ(ErrorOf<EReadError>([&] { stream.ReadInt32(); }), "Stream read error");
    stream.SetPosition(0);
    stream.ReadBuffer(nullptr, 0); // nothing to read is no error, even at the end
    char buffer[3];
    stream.ReadBuffer(buffer, 3);
    EXPECT_THROW(stream.ReadBuffer(buffer, 1), EReadError);
}

// A stream that hands out at most a few bytes per call, like a pipe or a decompressor.
class TTrickleStream : public TStream {
public:
    explicit TTrickleStream(std::vector<uint8_t> data) : Data(std::move(data)) {}
    int32_t Read(void* buffer, int32_t count) override {
        const auto n = static_cast<int32_t>(std::min<size_t>({size_t(count), size_t(3), Data.size() - Pos}));
        std::memcpy(buffer, Data.data() + Pos, size_t(n));
        Pos += size_t(n);
        return n;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t, TSeekOrigin) override { return int64_t(Pos); }

private:
    std::vector<uint8_t> Data;
    size_t Pos = 0;
};

TEST(Stream, ReadBufferCollectsPartialReads) {
    std::vector<uint8_t> data(100);
    std::iota(data.begin(), data.end(), uint8_t(0));
    TTrickleStream source(data);
    uint8_t buffer[100];
    source.ReadBuffer(buffer, 100);
    EXPECT_EQ(std::memcmp(buffer, data.data(), 100), 0);
}

TEST(Stream, WriteErrorWhenNothingIsTaken) {
    TTrickleStream sink({});
    EXPECT_EQ(ErrorOf<EWriteError>([&] { sink.WriteInt32(1); }), "Stream write error");
}

TEST(Stream, CopyFrom) {
    std::vector<uint8_t> data(200000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + (i >> 9));
    TMemoryStream source;
    source.WriteBuffer(data.data(), int32_t(data.size()));
    source.SetPosition(10);

    TMemoryStream target;
    target.CopyFrom(source, 150000);
    EXPECT_EQ(source.Position(), 150010);
    ASSERT_EQ(target.Size(), 150000);
    EXPECT_EQ(std::memcmp(target.Memory(), data.data() + 10, 150000), 0);

    target.CopyFrom(source, 0);
    EXPECT_EQ(target.Size(), 150000);

    EXPECT_THROW(target.CopyFrom(source, 50000), EReadError) << "only 49990 bytes are left";
}

TEST(BufferedReadStream, ReadsAndSeeksAsItsSource) {
    // Reads within the buffer, across its end, larger than it and past the data, after seeks of
    // every origin, must give what the source itself gives, with a buffer smaller than the
    // source and with one larger than it.
    for (const int32_t bufferSize : {16, 1000}) {
        std::string data(100, '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7 + 1);
        auto source = std::make_unique<TMemoryStream>();
        source->WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
        source->SetPosition(3);
        TBufferedReadStream stream(std::move(source), bufferSize);
        EXPECT_EQ(stream.Position(), 3);
        struct TStep {
            int64_t Seek;
            TSeekOrigin Origin;
            int32_t Count;
        };
        const TStep steps[] = {{0, TSeekOrigin::soCurrent, 5},  {0, TSeekOrigin::soCurrent, 20},
                               {-4, TSeekOrigin::soCurrent, 3}, {50, TSeekOrigin::soBeginning, 40},
                               {-10, TSeekOrigin::soEnd, 30},   {2, TSeekOrigin::soBeginning, 1},
                               {0, TSeekOrigin::soEnd, 4},      {120, TSeekOrigin::soBeginning, 4}};
        int64_t position = 3;
        for (const TStep& step : steps) {
            const int64_t base = step.Origin == TSeekOrigin::soBeginning ? 0
                                 : step.Origin == TSeekOrigin::soCurrent ? position
                                                                         : 100;
            position = base + step.Seek;
            ASSERT_EQ(stream.Seek(step.Seek, step.Origin), position);
            std::string got(static_cast<size_t>(step.Count), '\0');
            const int32_t n = stream.Read(got.data(), step.Count);
            const std::string expected = data.substr(static_cast<size_t>(std::min<int64_t>(position, 100)),
                                                     static_cast<size_t>(step.Count));
            EXPECT_EQ(got.substr(0, static_cast<size_t>(std::max(n, 0))), expected)
                << bufferSize << " " << position;
            position += n;
            EXPECT_EQ(stream.Position(), position);
        }
        EXPECT_EQ(stream.Size(), 100);
    }
}

// A reader of large blocks that read a small piece first (the archive's check after its
// header) must not have every block copied through the buffer: what the buffer does not hold
// comes straight from the source, each byte once.
TEST(BufferedReadStream, LargeReadsAfterASmallOneReadEachByteOnce) {
    class TCountingStream final : public TMemoryStream {
    public:
        int64_t BytesRead = 0;
        int32_t Read(void* buffer, int32_t count) override {
            const int32_t got = TMemoryStream::Read(buffer, count);
            BytesRead += got;
            return got;
        }
    };
    constexpr int32_t bufferSize = 64;
    std::vector<uint8_t> data(10 * bufferSize);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 13);
    auto source = std::make_unique<TCountingStream>();
    source->WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    source->SetPosition(0);
    TCountingStream& counted = *source;
    TBufferedReadStream stream(std::move(source), bufferSize);
    std::vector<uint8_t> got(data.size());
    stream.ReadBuffer(got.data(), 5);
    for (int block = 0; block < 3; ++block)
        stream.ReadBuffer(got.data() + 5 + block * bufferSize, bufferSize);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 5 + 3 * bufferSize),
              std::vector<uint8_t>(data.begin(), data.begin() + 5 + 3 * bufferSize));
    EXPECT_EQ(counted.BytesRead, 5 + 3 * bufferSize);
}

TEST(FileStream, CreateWriteReopenRead) {
    TTestFolder folder;
    const std::string path = folder.PathOf("data.bin");
    {
        TFileStream file(path, TFileMode::fmCreate);
        EXPECT_EQ(file.FileName(), path);
        file.WriteBuffer("0123456789", 10);
        file.WriteInt32(-100);
        EXPECT_EQ(file.Size(), 14);
    }
    {
        TFileStream file(path, TFileMode::fmOpenReadShared);
        EXPECT_EQ(file.Size(), 14);
        EXPECT_EQ(file.Seek(10, TSeekOrigin::soBeginning), 10);
        EXPECT_EQ(file.ReadInt32(), -100);
        EXPECT_THROW(file.ReadInt32(), EReadError);
        file.SetPosition(2);
        char buffer[3];
        file.ReadBuffer(buffer, 3);
        EXPECT_EQ(std::string(buffer, 3), "234");
    }
    {
        TFileStream file(path, TFileMode::fmOpenReadWrite);
        file.SetPosition(1);
        file.WriteBuffer("X", 1);
    }
    {
        TFileStream file(path, TFileMode::fmOpenReadExclusive);
        char buffer[3];
        file.ReadBuffer(buffer, 3);
        EXPECT_EQ(std::string(buffer, 3), "0X2");
        EXPECT_EQ(file.Write("y", 1), 0) << "opened for reading only";
        // WriteBuffer names the file and the system's reason (on a full disk: no space).
        EXPECT_EQ(ErrorOf<EWriteError>([&] { file.WriteBuffer("y", 1); }),
                  "Cannot write file \"" + path + "\". " + SystemErrorMessage(WriteDenied));
    }
    {
        TFileStream file(path, TFileMode::fmCreate);
        EXPECT_EQ(file.Size(), 0) << "fmCreate truncates";
    }
}

#ifdef _WIN32
const int FileNotFound = ERROR_FILE_NOT_FOUND;
const int PathNotFound = ERROR_PATH_NOT_FOUND;
#else
const int FileNotFound = ENOENT;
const int PathNotFound = ENOENT;
#endif

TEST(FileStream, ErrorMessages) {
    TTestFolder folder;
    const std::string missingFile = folder.PathOf("missing.dat");
    const std::string inMissingFolder = folder.PathOf("no such folder") + PathDelimiter() + "file.dat";

    struct TCase {
        std::string Path;
        TFileMode Mode;
        std::string Expected;
    };
    const TCase cases[] = {
        {missingFile, TFileMode::fmOpenReadShared,
         "Cannot open file \"" + missingFile + "\". " + SystemErrorMessage(FileNotFound)},
        {missingFile, TFileMode::fmOpenReadWrite,
         "Cannot open file \"" + missingFile + "\". " + SystemErrorMessage(FileNotFound)},
        {inMissingFolder, TFileMode::fmOpenReadExclusive,
         "Cannot open file \"" + inMissingFolder + "\". " + SystemErrorMessage(PathNotFound)},
        {inMissingFolder, TFileMode::fmCreate,
         "Cannot create file \"" + inMissingFolder + "\". " + SystemErrorMessage(PathNotFound)},
    };
    for (const auto& c : cases) {
        try {
            TFileStream file(c.Path, c.Mode);
            ADD_FAILURE() << "no error for " << c.Path;
        } catch (const EFileError& e) {
            EXPECT_EQ(e.Message(), c.Expected);
            const bool isCreateError = dynamic_cast<const EFCreateError*>(&e) != nullptr;
            EXPECT_EQ(isCreateError, c.Mode == TFileMode::fmCreate);
        }
    }
    EXPECT_FALSE(FileExists(missingFile));
}

TEST(FileStream, SystemMessagesAreOneCleanLine) {
    for (int code : {FileNotFound, PathNotFound}) {
        const std::string message = SystemErrorMessage(code);
        ASSERT_FALSE(message.empty());
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
        EXPECT_NE(message.back(), ' ');
    }
}

TEST(FileStream, FolderIsNotAFile) {
    TTestFolder folder;
    auto open = [](const std::string& path, TFileMode mode) { TFileStream file(path, mode); };
    EXPECT_THROW(open(folder.Path(), TFileMode::fmOpenReadShared), EFOpenError);
    const std::string sub = folder.PathOf("sub");
    ASSERT_TRUE(CreateDir(sub));
    EXPECT_THROW(open(sub, TFileMode::fmOpenReadExclusive), EFOpenError);
    EXPECT_THROW(open(sub, TFileMode::fmCreate), EFCreateError);
    EXPECT_TRUE(DirectoryExists(sub)) << "fmCreate leaves the folder alone";
}

#ifdef _WIN32
// Windows enforces the share modes: the running setup program reads its own executable while
// the system holds it open, and an extracted file is written without others reading along.
TEST(FileStream, ShareModes) {
    TTestFolder folder;
    const std::string path = folder.PathOf("shared.bin");
    { TFileStream create(path, TFileMode::fmCreate); }

    {
        TFileStream first(path, TFileMode::fmOpenReadShared);
        TFileStream second(path, TFileMode::fmOpenReadShared);
        EXPECT_THROW(TFileStream third(path, TFileMode::fmOpenReadExclusive), EFOpenError);
    }
    {
        TFileStream writer(path, TFileMode::fmCreate);
        EXPECT_EQ(ErrorOf<EFOpenError>([&] { TFileStream reader(path, TFileMode::fmOpenReadShared); }),
                  "Cannot open file \"" + path + "\". " + SystemErrorMessage(ERROR_SHARING_VIOLATION));
    }
}
#endif

} // namespace
