#include "setupdata/FileWriter.h"

#include <algorithm>

#include "common/Errors.h"
#include "common/FileSystem.h"

namespace {

// Files are handed over in blocks of at most this size; most files take one block and one
// write. Full-size blocks are used again rather than freed: a fresh block of this size is
// fresh pages from the system, and every page would fault in when it is first filled.
constexpr uint32_t BlockSize = 1024 * 1024;
// What may wait to be written: enough to ride out a slow create or close, little enough for
// a small program's memory.
constexpr int64_t MaxQueuedBytes = 16 * BlockSize;
constexpr size_t MaxQueuedItems = 4096;

// CreateFileA with CREATE_ALWAYS fails on a read-only file (access denied): the bit is
// cleared, keeping the others, and the file created again. Asking for the attributes of
// every file first would cost a path lookup per file for the rare read-only one.
std::unique_ptr<TFileStream> CreateTarget(const std::string& target) {
    try {
        return std::make_unique<TFileStream>(target, TFileMode::fmCreate);
    } catch (const EFCreateError&) {
        if (!ClearReadOnly(target))
            throw;
    }
    return std::make_unique<TFileStream>(target, TFileMode::fmCreate);
}

} // namespace

TFileWriter::TFileWriter(std::function<void(const std::string&)> createFolder,
                         std::function<void(const std::string&, uint32_t)> fileWritten,
                         std::atomic<uint64_t>& written)
    : OnFolder(std::move(createFolder)), OnFileWritten(std::move(fileWritten)), Written(written),
      Thread([this] { Run(); }) {}

TFileWriter::~TFileWriter() {
    Stop();
}

void TFileWriter::Push(TItem item) {
    std::unique_lock<std::mutex> lock(Lock);
    const int64_t size = item.Kind == ikData ? item.Size : 0;
    Changed.wait(lock, [&] {
        return Ended || Queue.empty() || (QueuedBytes + size <= MaxQueuedBytes && Queue.size() < MaxQueuedItems);
    });
    if (Error)
        std::rethrow_exception(Error);
    if (Ended)
        return;
    QueuedBytes += size;
    Queue.push_back(std::move(item));
    Changed.notify_all();
}

std::unique_ptr<uint8_t[]> TFileWriter::TakeBlock(uint32_t size) {
    if (size == BlockSize) {
        const std::lock_guard<std::mutex> lock(Lock);
        if (!FreeBlocks.empty()) {
            std::unique_ptr<uint8_t[]> block = std::move(FreeBlocks.back());
            FreeBlocks.pop_back();
            return block;
        }
    }
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void TFileWriter::CreateFolder(const std::string& folder) {
    Push(TItem(ikFolder, folder));
}

void TFileWriter::WriteFile(const std::string& target, uint32_t size, uint32_t date, TStream& content) {
    Push(TItem(ikBegin, target, size, date));
    try {
        for (uint32_t left = size; left > 0;) {
            const uint32_t chunk = std::min(left, BlockSize);
            std::unique_ptr<uint8_t[]> block = TakeBlock(chunk);
            content.ReadBuffer(block.get(), static_cast<int32_t>(chunk));
            Push(TItem(ikData, std::string(), chunk, 0, std::move(block)));
            left -= chunk;
            if (OnHandedOver && left > 0)
                OnHandedOver();
        }
    } catch (...) {
        Abandon();
        throw;
    }
    Push(TItem(ikEnd));
    if (OnHandedOver)
        OnHandedOver();
}

void TFileWriter::Finish() {
    Stop();
    if (Error)
        std::rethrow_exception(Error);
}

void TFileWriter::Abandon() {
    {
        // Not Push: the queue may be full, and this must not wait for room or raise.
        const std::lock_guard<std::mutex> lock(Lock);
        if (!Ended)
            Queue.emplace_back(ikAbort);
        Changed.notify_all();
    }
    Finish();
}

void TFileWriter::Stop() {
    if (!Thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(Lock);
        Queue.emplace_back(ikStop);
        Changed.notify_all();
    }
    Thread.join();
}

void TFileWriter::Run() {
    try {
        WriteItems();
    } catch (...) {
        const std::lock_guard<std::mutex> lock(Lock);
        Error = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(Lock);
    Ended = true;
    Queue.clear();
    Changed.notify_all();
}

void TFileWriter::WriteItems() {
    TFileDateStamp stamp;
    std::unique_ptr<TFileStream> file;
    std::string path;
    uint32_t size = 0;
    uint32_t date = 0;
    for (;;) {
        TItem item;
        {
            std::unique_lock<std::mutex> lock(Lock);
            Changed.wait(lock, [&] { return !Queue.empty(); });
            item = std::move(Queue.front());
            Queue.pop_front();
        }
        try {
            switch (item.Kind) {
            case ikFolder:
                OnFolder(item.Path);
                break;
            case ikBegin:
                path = std::move(item.Path);
                size = item.Size;
                date = item.Date;
                file = CreateTarget(path);
                // A file that takes more than one write gets its size at once, so that the
                // file system does not extend it write by write. Only a hint: writing sets
                // it anyway.
                if (size > BlockSize)
                    SetFileSize(*file, size);
                break;
            case ikData:
                file->WriteBuffer(item.Block.get(), static_cast<int32_t>(item.Size));
                Written += item.Size;
                break;
            case ikEnd:
                // Through the open file: a second open could meet a virus scanner that has
                // just opened the new file. On failure the file keeps the time of writing.
                stamp.Apply(*file, date);
                file.reset();
                OnFileWritten(path, size);
                break;
            case ikAbort:
                if (file) {
                    file.reset();
                    DeleteFileAt(path);
                }
                break;
            case ikStop:
                return;
            }
        } catch (...) {
            // A half-written file would not be logged, so the uninstaller would never remove
            // it. (The archive was checked when it was opened: this takes a full disk, or an
            // archive changed since.)
            if (file) {
                file.reset();
                DeleteFileAt(path);
            }
            throw;
        }
        if (item.Kind == ikData) {
            const std::lock_guard<std::mutex> lock(Lock);
            QueuedBytes -= item.Size;
            if (item.Size == BlockSize)
                FreeBlocks.push_back(std::move(item.Block));
            Changed.notify_all();
        }
    }
}
