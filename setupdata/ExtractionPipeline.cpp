#include "setupdata/ExtractionPipeline.h"

#include <algorithm>
#include <chrono>

#include "common/Errors.h"
#include "common/FileSystem.h"
#include "setupdata/Inflate.h"

namespace {

// Blocks (TExtractionLimits::BlockSize, 256 KiB) are written in pieces of at most WriteSize.
// Larger writes are no faster: under Wine on a recent Linux a write goes into page-cache folios
// as large as it is, and in a virtual machine those of a megabyte were measured several times
// slower to fill, those of 256 KiB now and then twice as slow.
constexpr uint32_t WriteSize = 64 * 1024;
constexpr auto ProgressInterval = std::chrono::milliseconds(50);

// The limits as given, raised where they would stop the pipeline for good: the writer's file
// must have room for one block, and the walk and the opener for one job each.
TExtractionLimits Workable(TExtractionLimits limits) {
    limits.BlockSize = std::max<uint32_t>(limits.BlockSize, 1);
    limits.MaxFileBytes = std::max<int64_t>(limits.MaxFileBytes, limits.BlockSize);
    limits.MaxJobs = std::max<size_t>(limits.MaxJobs, 1);
    limits.MaxOpenedAhead = std::max(limits.MaxOpenedAhead, 1);
    // Inflating is most of the work, one file per thread; the writer and the opener mostly
    // wait for the system.
    if (limits.Inflaters <= 0)
        limits.Inflaters = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 3u));
    return limits;
}

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

// A file of more than one block gets its size at once, so that the file system does not
// extend it block by block. Only a hint: writing sets it anyway.
void ReserveSize(TFileStream& file, uint32_t size, uint32_t blockSize) {
    if (size > blockSize)
        SetFileSize(file, size);
}

} // namespace

TExtractionPipeline::TExtractionPipeline(const std::function<std::unique_ptr<TStream>()>& openArchive,
                                         std::function<void(const std::string&)> createFolder,
                                         std::function<void(const std::string&, uint32_t)> fileWritten,
                                         std::atomic<uint64_t>& written, const TExtractionLimits& limits)
    : OnFolder(std::move(createFolder)), OnFileWritten(std::move(fileWritten)), Written(written),
      Limits(Workable(limits)) {
    std::vector<std::shared_ptr<TStream>> archives;
    for (int i = Limits.Inflaters; i > 0; --i)
        archives.push_back(openArchive());
    try {
        Threads.emplace_back([this] { Write(); });
        Threads.emplace_back([this] { OpenAhead(); });
        for (const std::shared_ptr<TStream>& archive : archives)
            Threads.emplace_back([this, archive] { Inflate(*archive); });
    } catch (...) {
        Stop();
        throw;
    }
}

TExtractionPipeline::~TExtractionPipeline() {
    Stop();
}

TExtractionPeaks TExtractionPipeline::Peaks() const {
    const std::lock_guard<TLock> lock(Lock);
    return Peak;
}

// A block larger than a quarter of the full size (64 KiB of 256) is a full-size one from a
// pool, used again rather than freed (a fresh block is fresh pages from the system, each
// faulting in when first filled), and counts as full-size.
int64_t TExtractionPipeline::Footprint(uint32_t size) const {
    return size > Limits.BlockSize / 4 ? Limits.BlockSize : size;
}

void TExtractionPipeline::WaitOnWalk(std::unique_lock<TLock>& lock, const std::function<bool()>& ready) {
    while (!WalkWake.wait_for(lock, ProgressInterval, ready)) {
        if (OnProgress) {
            lock.unlock();
            OnProgress();
            lock.lock();
        }
    }
}

void TExtractionPipeline::Push(TJob job) {
    {
        std::unique_lock<TLock> lock(Lock);
        WaitOnWalk(lock, [this] { return Stopping || Jobs.size() < Limits.MaxJobs; });
        if (Error)
            std::rethrow_exception(Error);
        if (Stopping)
            return;
        if (job.IsFolder)
            LastFolder = End() + 1;
        else
            job.OpenFrom = LastFolder;
        Jobs.push_back(std::move(job));
        Peak.Jobs = std::max(Peak.Jobs, Jobs.size());
        if (Jobs.size() == 1)
            WriteWake.notify_one();
        if (!Jobs.back().IsFolder) {
            InflateWake.notify_all();
            OpenWake.notify_one();
        }
    }
    if (OnProgress)
        OnProgress();
}

void TExtractionPipeline::CreateFolder(const std::string& folder) {
    TJob job;
    job.IsFolder = true;
    job.Path = folder;
    Push(std::move(job));
}

void TExtractionPipeline::WriteFile(const std::string& target, int64_t contentStart, int32_t contentLength,
                                    uint32_t size, uint32_t date) {
    TJob job;
    job.Path = target;
    job.ContentStart = contentStart;
    job.ContentLength = contentLength;
    job.Size = size;
    job.Date = date;
    Push(std::move(job));
}

void TExtractionPipeline::Finish() {
    {
        std::unique_lock<TLock> lock(Lock);
        Closing = true;
        WakeAll();
        WaitOnWalk(lock, [this] { return WriterEnded; });
    }
    Stop();
    if (Error)
        std::rethrow_exception(Error);
}

void TExtractionPipeline::WakeAll() {
    WalkWake.notify_all();
    InflateWake.notify_all();
    OpenWake.notify_all();
    WriteWake.notify_all();
}

void TExtractionPipeline::Stop() {
    {
        const std::lock_guard<TLock> lock(Lock);
        Stopping = true;
        WakeAll();
    }
    for (std::thread& thread : Threads)
        thread.join();
    Threads.clear();
    // What was created ahead of the writer did not exist before: removed, it is as if the
    // writer had stopped before it.
    for (TJob& job : Jobs) {
        if (job.File) {
            job.File.reset();
            DeleteFileAt(job.Path);
        }
    }
    Jobs.clear();
}

// ---------------------------------------------------------------------------------------------
// Inflating: each thread takes the next file not taken yet and inflates it into blocks.

void TExtractionPipeline::Inflate(TStream& archive) {
    while (TJob* job = ClaimToInflate()) {
        std::exception_ptr error;
        try {
            archive.SetPosition(job->ContentStart);
            TInflateStream inflater(archive, job->ContentLength, static_cast<int32_t>(job->Size));
            for (uint32_t left = job->Size; left > 0;) {
                const uint32_t size = std::min(left, Limits.BlockSize);
                std::unique_ptr<uint8_t[]> data = NewBlock(size);
                inflater.ReadBuffer(data.get(), static_cast<int32_t>(size));
                if (!Queue(*job, std::move(data), size))
                    return;
                left -= size;
            }
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<TLock> lock(Lock);
        job->InflateError = error;
        job->Inflated = true;
        if (job == &Jobs.front())
            WriteWake.notify_one();
    }
}

TExtractionPipeline::TJob* TExtractionPipeline::ClaimToInflate() {
    std::unique_lock<TLock> lock(Lock);
    for (;;) {
        if (Stopping)
            return nullptr;
        NextToInflate = std::max(NextToInflate, Front);
        while (NextToInflate < End() && At(NextToInflate).IsFolder)
            ++NextToInflate;
        // The writer's own file is always taken; a later one only while there is room.
        if (NextToInflate < End() && (NextToInflate == Front || QueuedBytes < Limits.MaxQueuedBytes))
            return &At(NextToInflate++);
        if (Closing && NextToInflate == End())
            return nullptr;
        InflateWake.wait(lock);
    }
}

std::unique_ptr<uint8_t[]> TExtractionPipeline::NewBlock(uint32_t size) {
    if (size > Limits.BlockSize / 4) {
        size = Limits.BlockSize;
        const std::lock_guard<TLock> lock(Lock);
        if (!FreeBlocks.empty()) {
            std::unique_ptr<uint8_t[]> block = std::move(FreeBlocks.back());
            FreeBlocks.pop_back();
            return block;
        }
    }
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

bool TExtractionPipeline::Queue(TJob& job, std::unique_ptr<uint8_t[]> data, uint32_t size) {
    std::unique_lock<TLock> lock(Lock);
    // The writer's file waits only for the writer; the others also for room among all.
    InflateWake.wait(lock, [&] {
        return Stopping ||
               (job.QueuedBytes + Footprint(size) <= Limits.MaxFileBytes &&
                (&job == &Jobs.front() || QueuedBytes + Footprint(size) <= Limits.MaxQueuedBytes));
    });
    if (Stopping)
        return false;
    job.Blocks.push_back({std::move(data), size});
    job.QueuedBytes += Footprint(size);
    QueuedBytes += Footprint(size);
    Peak.QueuedBytes = std::max(Peak.QueuedBytes, QueuedBytes);
    if (&job == &Jobs.front())
        WriteWake.notify_one();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Opening ahead: files that do not exist yet, in folders the writer has made, in order.

void TExtractionPipeline::OpenAhead() {
    while (TJob* job = ClaimToOpen()) {
        // CREATE_NEW: a file that exists is left to the writer, to be replaced in its turn.
        // Any other failure too: the writer then meets it where one loop would have.
        std::unique_ptr<TFileStream> file;
        try {
            file = std::make_unique<TFileStream>(job->Path, TFileMode::fmCreateNew);
            ReserveSize(*file, job->Size, Limits.BlockSize);
        } catch (...) {
        }
        const std::lock_guard<TLock> lock(Lock);
        if (file)
            Peak.OpenedAhead = std::max(Peak.OpenedAhead, ++OpenedAhead);
        job->File = std::move(file);
        job->Opening = opSettled;
        if (job == &Jobs.front())
            WriteWake.notify_one();
    }
}

TExtractionPipeline::TJob* TExtractionPipeline::ClaimToOpen() {
    std::unique_lock<TLock> lock(Lock);
    for (;;) {
        if (Stopping)
            return nullptr;
        NextToOpen = std::max(NextToOpen, Front);
        while (NextToOpen < End() && (At(NextToOpen).IsFolder || At(NextToOpen).Opening != opFree))
            ++NextToOpen;
        // A file's folder is made by the writer, in order: the file waits until the writer is
        // past it.
        if (NextToOpen < End() && OpenedAhead < Limits.MaxOpenedAhead && At(NextToOpen).OpenFrom <= Front) {
            TJob& job = At(NextToOpen++);
            job.Opening = opOpening;
            return &job;
        }
        if (Closing && NextToOpen == End())
            return nullptr;
        OpenWake.wait(lock);
    }
}

// ---------------------------------------------------------------------------------------------
// Writing: everything in the walk's order.

void TExtractionPipeline::Write() {
    TFileDateStamp stamp;
    try {
        for (;;) {
            TJob* job = nullptr;
            {
                std::unique_lock<TLock> lock(Lock);
                WriteWake.wait(lock, [this] { return Stopping || Closing || !Jobs.empty(); });
                if (Stopping || Jobs.empty())
                    break;
                job = &Jobs.front();
            }
            if (job->IsFolder)
                OnFolder(job->Path);
            else if (!WriteJob(*job, stamp))
                break;
            const std::lock_guard<TLock> lock(Lock);
            Jobs.pop_front();
            ++Front;
            // The next job is the writer's own now: its inflater may go beyond the room for
            // all, and the files of a folder just made may be opened ahead.
            InflateWake.notify_all();
            OpenWake.notify_one();
            if (Jobs.size() == Limits.MaxJobs - 1)
                WalkWake.notify_one();
        }
    } catch (...) {
        const std::lock_guard<TLock> lock(Lock);
        Error = std::current_exception();
        Stopping = true;
    }
    const std::lock_guard<TLock> lock(Lock);
    WriterEnded = true;
    WakeAll();
}

// Writes one file whole; false when the pipeline stops first.
bool TExtractionPipeline::WriteJob(TJob& job, TFileDateStamp& stamp) {
    std::unique_ptr<TFileStream> file;
    {
        std::unique_lock<TLock> lock(Lock);
        WriteWake.wait(lock, [&] { return Stopping || job.Opening != opOpening; });
        if (Stopping)
            return false;
        if (job.File) {
            file = std::move(job.File);
            if (OpenedAhead-- == Limits.MaxOpenedAhead)
                OpenWake.notify_one();
        }
        job.Opening = opSettled;
    }
    // A half-written file would not be logged, so the uninstaller would never remove it. (The
    // archive was checked when it was opened: this takes a full disk, or an archive changed
    // since.)
    const auto removeFile = [&] {
        if (file) {
            file.reset();
            DeleteFileAt(job.Path);
        }
    };
    try {
        if (!file) {
            file = CreateTarget(job.Path);
            ReserveSize(*file, job.Size, Limits.BlockSize);
        }
        TBlock block;
        for (;;) {
            const TNext next = NextBlock(job, block);
            if (next == nbEnd)
                break;
            if (next == nbStop) {
                removeFile();
                return false;
            }
            for (uint32_t at = 0; at < block.Size; at += WriteSize)
                file->WriteBuffer(block.Data.get() + at,
                                  static_cast<int32_t>(std::min(WriteSize, block.Size - at)));
            Written += block.Size;
        }
        // Through the open file: a second open could meet a virus scanner that has just
        // opened the new file. On failure the file keeps the time of writing.
        stamp.Apply(*file, job.Date);
        file.reset();
    } catch (...) {
        removeFile();
        throw;
    }
    OnFileWritten(job.Path, job.Size);
    return true;
}

// Hands back the block written last, and takes the job's next; raises the job's inflating
// failure once its blocks are written.
TExtractionPipeline::TNext TExtractionPipeline::NextBlock(TJob& job, TBlock& block) {
    std::unique_lock<TLock> lock(Lock);
    if (block.Size > Limits.BlockSize / 4)
        FreeBlocks.push_back(std::move(block.Data));
    block = TBlock();
    WriteWake.wait(lock, [&] { return Stopping || !job.Blocks.empty() || job.Inflated; });
    if (Stopping)
        return nbStop;
    if (job.Blocks.empty()) {
        if (job.InflateError)
            std::rethrow_exception(job.InflateError);
        return nbEnd;
    }
    block = std::move(job.Blocks.front());
    job.Blocks.erase(job.Blocks.begin());
    job.QueuedBytes -= Footprint(block.Size);
    QueuedBytes -= Footprint(block.Size);
    InflateWake.notify_all();
    return nbBlock;
}
