// Extraction on several threads. The walk of the archive (the caller's thread) hands over the
// folders and files of a component in its order. Inflating threads, each reading the archive
// through a stream of its own, inflate several files at once into blocks. One writing thread
// creates the folders and writes the files, in the walk's order. An opening thread creates
// new files ahead of the writer: under Wine each creation is a request to its server that
// would otherwise keep the writer waiting.
//
// What is on disk and in the install log is the same as when one loop does it all. The writer
// creates each folder and writes, dates and reports each file in the walk's order. A file
// whose writing or inflating fails is deleted, nothing after it is written, and the first
// failure in the walk's order is the one reported. Only a file that does not exist yet, in a
// folder the writer has made, is created ahead (never replaced): after a failure, every file
// created ahead of the writer is deleted again, which leaves what was there before. Portable.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/Stream.h"
#include "common/Sync.h"

class TFileDateStamp;

// How far the pipeline's threads may run ahead of each other, and how many there are. The
// defaults are the product's; tests run it with the smallest, so that every wait is taken.
struct TExtractionLimits {
    // Files are inflated in blocks of at most this size.
    uint32_t BlockSize = 256 * 1024;
    // What may wait to be written, over all files: enough to ride out a slow create or close,
    // little enough for a small program's memory. The file the writer is on may go beyond it,
    // by at most MaxFileBytes (at least one block), so that it can always go on.
    int64_t MaxQueuedBytes = 16 * 1024 * 1024;
    int64_t MaxFileBytes = 8 * 1024 * 1024;
    // How far the walk and the opener may run ahead of the writer (at least one each).
    size_t MaxJobs = 4096;
    int MaxOpenedAhead = 64;
    // Inflating threads; 0: one per core, and no more than three, which would outrun the one
    // writer.
    int Inflaters = 0;
};

// The most the pipeline held at once, for tests and measurements: what the limits bounded.
struct TExtractionPeaks {
    size_t Jobs = 0;
    int64_t QueuedBytes = 0;
    int OpenedAhead = 0;
};

class TExtractionPipeline {
public:
    // openArchive gives each inflating thread a stream of its own over the archive (positions
    // as in the walk's stream); it is called here, and its error raised here. createFolder is
    // called for every folder handed over, fileWritten for every file once it is written,
    // dated and closed; both on the writing thread, in order. written counts the bytes written.
    // limits below one block for the writer's file, or one job or file ahead, are raised to it.
    TExtractionPipeline(const std::function<std::unique_ptr<TStream>()>& openArchive,
                        std::function<void(const std::string& folder)> createFolder,
                        std::function<void(const std::string& file, uint32_t size)> fileWritten,
                        std::atomic<uint64_t>& written, const TExtractionLimits& limits = {});
    // Without Finish: stops at once, deletes the file half written and every file created
    // ahead, and raises nothing.
    ~TExtractionPipeline();
    TExtractionPipeline(const TExtractionPipeline&) = delete;
    TExtractionPipeline& operator=(const TExtractionPipeline&) = delete;

    // Called on the walk's thread after each hand-over, and every 50 ms while it waits.
    std::function<void()> OnProgress;

    void CreateFolder(const std::string& folder);
    // The member whose zlib stream of contentLength bytes starts at contentStart in the
    // archive, to be inflated to size bytes and written into target (created or replaced),
    // dated with the packed DOS date-time date. Waits while too much waits to be written;
    // raises the pipeline's failure once it has one.
    void WriteFile(const std::string& target, int64_t contentStart, int32_t contentLength, uint32_t size,
                   uint32_t date);
    // Waits until everything handed over is written, then raises the first failure. Called
    // also when the walk fails: what it handed over before is written, as one loop would have.
    void Finish();

    TExtractionPeaks Peaks() const;

private:
    struct TBlock {
        std::unique_ptr<uint8_t[]> Data;
        uint32_t Size = 0;
    };
    // A file's opening ahead: not begun (the opener may take it), under way (the writer waits
    // for it), or settled (File holds what was opened, if anything; the opener passes it by).
    enum TOpening { opFree, opOpening, opSettled };
    enum TNext { nbBlock, nbEnd, nbStop };
    struct TJob {
        bool IsFolder = false;
        std::string Path;
        uint32_t Size = 0;
        uint32_t Date = 0;
        int64_t ContentStart = 0;
        int32_t ContentLength = 0;
        uint64_t OpenFrom = 0; // the writer's front past the last folder handed over before it

        bool Inflated = false; // every block is in Blocks, or InflateError is set
        std::exception_ptr InflateError;
        std::vector<TBlock> Blocks; // a few: at most Limits.MaxFileBytes
        int64_t QueuedBytes = 0;

        TOpening Opening = opFree;
        std::unique_ptr<TFileStream> File; // created ahead of the writer
    };

    std::function<void(const std::string&)> OnFolder;
    std::function<void(const std::string&, uint32_t)> OnFileWritten;
    std::atomic<uint64_t>& Written;
    const TExtractionLimits Limits;

    mutable TLock Lock;
    // Each kind of thread waits on its own condition, woken only by what it waits for.
    TCondition WalkWake;        // room for a job; the writer ended
    TCondition InflateWake;     // a job to inflate; room for a block
    TCondition OpenWake;        // a file to open ahead
    TCondition WriteWake;       // a job; its opening done; a block; its end
    std::deque<TJob> Jobs;      // handed over and not written yet; the writer's is the front
    uint64_t Front = 0;         // the sequence number of Jobs.front()
    uint64_t NextToInflate = 0; // sequence numbers
    uint64_t NextToOpen = 0;
    uint64_t LastFolder = 0; // the front past the last folder handed over
    int OpenedAhead = 0;
    int64_t QueuedBytes = 0; // inflated and not written yet, in all jobs
    bool Closing = false;    // nothing more will be handed over
    bool Stopping = false;   // stop at once: a failure, or no Finish
    bool WriterEnded = false;
    std::exception_ptr Error;                           // the first failure in the walk's order
    std::vector<std::unique_ptr<uint8_t[]>> FreeBlocks; // full-size blocks to use again
    TExtractionPeaks Peak;
    std::vector<std::thread> Threads;

    void Push(TJob job);
    void WaitOnWalk(std::unique_lock<TLock>& lock, const std::function<bool()>& ready);
    void Stop();
    void WakeAll();
    TJob& At(uint64_t sequence) { return Jobs[static_cast<size_t>(sequence - Front)]; }
    uint64_t End() const { return Front + Jobs.size(); }
    int64_t Footprint(uint32_t size) const;

    void Inflate(TStream& archive);
    TJob* ClaimToInflate();
    std::unique_ptr<uint8_t[]> NewBlock(uint32_t size);
    bool Queue(TJob& job, std::unique_ptr<uint8_t[]> data, uint32_t size);

    void OpenAhead();
    TJob* ClaimToOpen();

    void Write();
    bool WriteJob(TJob& job, TFileDateStamp& stamp);
    TNext NextBlock(TJob& job, TBlock& block);
};
