// Byte streams: the abstract stream, an in-memory stream and a file stream.
// The file stream's system calls live in PlatformWin32.cpp or PlatformPosix.cpp, chosen at
// build time; everything else is portable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    int64_t Size();

    // Read or write exactly count bytes, else raise EReadError / EWriteError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    int32_t ReadInt32();                 // little-endian
    void WriteInt32(int32_t value);      // little-endian
    // Copies exactly count bytes from source to this stream (EReadError on a short source).
    void CopyFrom(TStream& source, int64_t count);

protected:
    // Raised by WriteBuffer when Write takes nothing: EWriteError, or what a stream can say
    // better about it.
    [[noreturn]] virtual void ThrowWriteError();
    // Where a seek from position goes; end() gives the stream's size, asked for soEnd only.
    template <typename TEnd>
    static int64_t SeekTarget(int64_t position, int64_t offset, TSeekOrigin origin, TEnd end) {
        switch (origin) {
        case TSeekOrigin::soBeginning:
            return offset;
        case TSeekOrigin::soCurrent:
            return position + offset;
        case TSeekOrigin::soEnd:
            break;
        }
        return end() + offset;
    }
};

class TMemoryStream : public TStream {
public:
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    const uint8_t* Memory() const { return Data.data(); }
    std::vector<uint8_t>& Bytes() { return Data; }
    void SetSize(int64_t size) { Data.resize(static_cast<size_t>(size)); }

private:
    std::vector<uint8_t> Data;
    int64_t Pos = 0;
};

enum class TFileMode {
    fmOpenReadShared,    // read; others may read and write
    fmOpenReadExclusive, // read; no sharing
    fmOpenReadDenyWrite, // read; others may read
    fmOpenReadWrite,     // read and write an existing file; no sharing
    fmCreate,            // create or truncate; read and write; no sharing
    fmCreateNew,         // create a file that does not exist; read and write; no sharing
};

class TFileStream : public TStream {
public:
    // Raises EFOpenError (open modes) or EFCreateError (fmCreate, fmCreateNew) with the system's message.
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    const std::string& FileName() const { return Name; }
    // Platform handle (HANDLE on Windows, file descriptor elsewhere), for setting file times.
    intptr_t Handle() const { return FileHandle; }

protected:
    // EFWriteError with the file's name and the system's reason for the last failed Write.
    [[noreturn]] void ThrowWriteError() override;

private:
    std::string Name;
    intptr_t FileHandle;
    int WriteErrorCode = 0; // the system's error code of the last failed Write
};

// A file opened once for reading by many readers: others may read it too, but no one may write,
// rename or delete it while it is open (on Windows FILE_SHARE_READ alone; a running program's
// file can otherwise be renamed and another put in its place). Reads name their position, so
// any number of threads read at once, each through a TSharedFileView of its own. The size is
// taken when the file is opened: no one can change it afterwards.
class TSharedReadFile {
public:
    // Raises EFOpenError with the system's message.
    explicit TSharedReadFile(const std::string& fileName);
    ~TSharedReadFile();
    TSharedReadFile(const TSharedReadFile&) = delete;
    TSharedReadFile& operator=(const TSharedReadFile&) = delete;

    // Reads up to count bytes at position; returns how many were read (0 at the end or on a
    // failure). Safe from any thread.
    int32_t ReadAt(int64_t position, void* buffer, int32_t count) const;
    int64_t Size() const { return FileSize; }
    const std::string& FileName() const { return Name; }

private:
    std::string Name;
    intptr_t FileHandle;
    int64_t FileSize = 0;
};

// A read-only stream over a shared file with a position of its own; cheap to make, one per
// reader. The file stays open while any view of it exists.
class TSharedFileView : public TStream {
public:
    explicit TSharedFileView(std::shared_ptr<const TSharedReadFile> file) : File(std::move(file)) {}

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    std::shared_ptr<const TSharedReadFile> File;
    int64_t Pos = 0;
};

// A read-only view of another stream through a read-ahead buffer, for readers that walk a
// file in many small reads and seeks: each costs a system call on the file itself (and under
// Wine a round trip to its server), here only when the buffer runs out. Reads at least as
// large as the buffer go straight to the source. The source's size is taken as fixed, and the
// buffer, taken at the first read that needs it, is no larger than the source.
class TBufferedReadStream : public TStream {
public:
    TBufferedReadStream(std::unique_ptr<TStream> source, int32_t bufferSize);

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    std::unique_ptr<TStream> Source;
    int32_t Capacity;                  // the buffer's size
    std::unique_ptr<uint8_t[]> Buffer; // not filled in beforehand: only what was read is used
    int64_t BufferStart = 0;           // the source position of Buffer[0]
    int32_t BufferLength = 0;
    int64_t Pos;             // the position this stream reports
    int64_t SourcePos;       // where the source stands
    int64_t SourceSize = -1; // asked for once, when first needed

    int32_t ReadSource(void* buffer, int32_t count);
    int64_t KnownSourceSize(); // the source's size, asked for at the first call only
};

// The system's description of an error code (last error on Windows, errno elsewhere).
std::string SystemErrorMessage(int code);
