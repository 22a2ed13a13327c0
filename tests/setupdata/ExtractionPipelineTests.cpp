// The extraction pipeline with the smallest limits (one block queued, one job, one file opened
// ahead, blocks of a few bytes), so that every wait between its threads is met many times:
// many files, a failure in the middle, round after round. Natively and under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "common/FileSystem.h"
#include "setupdata/ExtractionPipeline.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"

namespace {

using namespace std::chrono_literals;

// Ends the test program when a round does not end: a wait whose wake never comes hangs for
// good, and the test would otherwise sit there until the test runner's own limit.
class TWatchdog {
public:
    explicit TWatchdog(std::string round) : Round(std::move(round)), Thread([this] { Watch(); }) {}
    ~TWatchdog() {
        {
            const std::lock_guard<std::mutex> lock(Mutex);
            Done = true;
        }
        Wake.notify_one();
        Thread.join();
    }

private:
    std::string Round;
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Done = false;
    std::thread Thread;

    void Watch() {
        std::unique_lock<std::mutex> lock(Mutex);
        if (!Wake.wait_for(lock, 120s, [this] { return Done; })) {
            std::fprintf(stderr, "The pipeline hangs in round %s\n", Round.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
};

enum TFailure {
    fNone,
    fInflate,  // the file's stored bytes are damaged
    fCreate,   // a folder stands where the file goes
    fReported, // the report of the file written before raises, once the files after it are
               // created ahead
    fAbandon,  // the walk ends there, and the pipeline goes without Finish
};
const char* const FailureNames[] = {"none", "inflate", "create", "reported", "abandon"};

struct TFile {
    std::string Path;
    std::string Data;
    int64_t Start = 0;
    int32_t Length = 0;
    size_t Folder = 0;
};

// Files of 0 to 700 bytes, some that do not compress, in three folders, stored one after the
// other as zlib streams. The file at failed has several blocks; when failure says so, its
// stored bytes end halfway, so that its inflating fails after some of them are written.
struct TPayload {
    std::vector<std::string> Folders;
    std::vector<TFile> Files;
    std::string Archive;

    TPayload(const std::string& root, size_t count, unsigned seed, TFailure failure, size_t failed) {
        for (int i = 0; i < 3; ++i)
            Folders.push_back(root + "F" + std::to_string(i) + PathDelimiter());
        for (size_t i = 0; i < count; ++i) {
            TFile file;
            file.Folder = i * Folders.size() / count;
            file.Path = Folders[file.Folder] + std::to_string(i) + ".bin";
            const size_t size = i == failed ? 650 : (seed * 7919u + i * 104729u) % 701;
            file.Data = i % 3 == 0 ? Noise(size, seed + static_cast<unsigned>(i))
                                   : std::string(size, static_cast<char>('a' + i % 26));
            std::string stored = Compress(file.Data);
            if (failure == fInflate && i == failed)
                stored.resize(stored.size() / 2);
            file.Start = static_cast<int64_t>(Archive.size());
            file.Length = static_cast<int32_t>(stored.size());
            Archive += stored;
            Files.push_back(std::move(file));
        }
    }
};

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 10000 && !FileExists(path); ++i)
        std::this_thread::sleep_for(1ms);
    return FileExists(path);
}

struct TLimitsRow {
    const char* Name;
    TExtractionLimits Limits;
};

TExtractionLimits Limits(uint32_t block, int64_t queued, int64_t file, size_t jobs, int ahead,
                         int inflaters) {
    TExtractionLimits limits;
    limits.BlockSize = block;
    limits.MaxQueuedBytes = queued;
    limits.MaxFileBytes = file;
    limits.MaxJobs = jobs;
    limits.MaxOpenedAhead = ahead;
    limits.Inflaters = inflaters;
    return limits;
}

TEST(ExtractionPipelineTest, TinyLimitsWriteEverythingInOrderAndLeaveNothingAfterAFailure) {
    const TLimitsRow rows[] = {
        {"one block, one job, one file ahead", Limits(64, 64, 64, 1, 1, 1)},
        {"one block, two jobs, one file ahead", Limits(64, 64, 64, 2, 1, 3)},
        {"two blocks of the writer's file, four jobs, two ahead", Limits(32, 32, 64, 4, 2, 2)},
        {"a block as large as most files", Limits(512, 512, 1024, 8, 3, 3)},
    };
    constexpr size_t Count = 30;
    TExtractionPeaks most[std::size(rows)];
    unsigned seed = 0;
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (size_t r = 0; r < std::size(rows); ++r) {
            const TExtractionLimits& limits = rows[r].Limits;
            for (const TFailure failure : {fNone, fInflate, fCreate, fReported, fAbandon}) {
                ++seed;
                // In the middle of the second folder, with files after it in the same folder.
                const size_t failed = Count / 2 + seed % 3;
                const std::string round = std::string(rows[r].Name) + ", " + FailureNames[failure] +
                                          ", seed " + std::to_string(seed);
                SCOPED_TRACE(round);
                const TWatchdog watchdog(round);
                const TTestFolder folder;
                const TPayload payload(folder.Path(), Count, seed, failure, failed);
                if (failure == fCreate)
                    folder.MakeFolder(payload.Files[failed].Path.substr(folder.Path().size()));

                std::vector<std::string> madeFolders;
                std::vector<std::string> written;
                std::atomic<uint64_t> bytes{0};
                const auto openArchive = [&] {
                    auto stream = std::make_unique<TMemoryStream>();
                    stream->WriteBuffer(payload.Archive.data(), static_cast<int32_t>(payload.Archive.size()));
                    return std::unique_ptr<TStream>(std::move(stream));
                };
                const auto createFolder = [&](const std::string& path) {
                    ASSERT_TRUE(CreateDir(path) || DirectoryExists(path));
                    madeFolders.push_back(path);
                };
                // The files the opener may have created ahead of the writer while the writer
                // reports the file before the failure: those after it, up to the limits, in
                // its folder.
                size_t ahead =
                    std::min<size_t>(static_cast<size_t>(limits.MaxOpenedAhead), limits.MaxJobs - 1);
                while (ahead > 0 && payload.Files[failed + ahead].Folder != payload.Files[failed].Folder)
                    --ahead;
                const auto fileWritten = [&](const std::string& path, uint32_t size) {
                    written.push_back(path);
                    if (failure != fReported || path != payload.Files[failed].Path)
                        return;
                    for (size_t i = 1; i <= ahead; ++i)
                        EXPECT_TRUE(WaitForFile(payload.Files[failed + i].Path)) << "created ahead: " << i;
                    throw std::runtime_error("reported");
                };

                bool raised = false;
                TExtractionPeaks peaks;
                {
                    TExtractionPipeline pipeline(openArchive, createFolder, fileWritten, bytes, limits);
                    size_t folderMade = SIZE_MAX;
                    try {
                        for (size_t i = 0; i < Count && !(failure == fAbandon && i == failed); ++i) {
                            const TFile& file = payload.Files[i];
                            if (file.Folder != folderMade)
                                pipeline.CreateFolder(payload.Folders[folderMade = file.Folder]);
                            pipeline.WriteFile(file.Path, file.Start, file.Length,
                                               static_cast<uint32_t>(file.Data.size()), 0x4F7A5AF0);
                        }
                        if (failure != fAbandon)
                            pipeline.Finish();
                    } catch (const std::exception&) {
                        raised = true;
                    }
                    peaks = pipeline.Peaks();
                }

                EXPECT_EQ(raised, failure == fInflate || failure == fCreate || failure == fReported);
                // Everything before the failure is written whole and reported, in order.
                const size_t before = failure == fNone ? Count : failure == fReported ? failed + 1 : failed;
                ASSERT_GE(written.size(), failure == fAbandon ? 0 : before);
                ASSERT_LE(written.size(), before);
                uint64_t writtenBytes = 0;
                for (size_t i = 0; i < written.size(); ++i) {
                    const TFile& file = payload.Files[i];
                    EXPECT_EQ(written[i], file.Path);
                    EXPECT_TRUE(ReadBytes(file.Path) == file.Data) << file.Path;
                    writtenBytes += file.Data.size();
                }
                EXPECT_GE(bytes.load(), writtenBytes);
                if (failure == fNone) {
                    EXPECT_EQ(bytes.load(), writtenBytes);
                }
                // Nothing else: no file half written, none created ahead of the writer left behind.
                for (size_t i = written.size(); i < Count; ++i) {
                    if (!(i == failed && (failure == fCreate || failure == fReported))) {
                        EXPECT_FALSE(FileExists(payload.Files[i].Path)) << payload.Files[i].Path;
                    }
                }
                // The folders in order, up to the failure's.
                ASSERT_LE(madeFolders.size(), payload.Folders.size());
                for (size_t i = 0; i < madeFolders.size(); ++i)
                    EXPECT_EQ(madeFolders[i], payload.Folders[i]);
                if (failure == fNone) {
                    EXPECT_EQ(madeFolders.size(), payload.Folders.size());
                }

                EXPECT_LE(peaks.Jobs, limits.MaxJobs);
                EXPECT_LE(peaks.OpenedAhead, limits.MaxOpenedAhead);
                EXPECT_LE(peaks.QueuedBytes, limits.MaxQueuedBytes + limits.MaxFileBytes);
                most[r].Jobs = std::max(most[r].Jobs, peaks.Jobs);
                most[r].OpenedAhead = std::max(most[r].OpenedAhead, peaks.OpenedAhead);
                most[r].QueuedBytes = std::max(most[r].QueuedBytes, peaks.QueuedBytes);
            }
        }
    }
    // Each limit was reached, so that the waits behind it were met.
    for (size_t r = 0; r < std::size(rows); ++r) {
        SCOPED_TRACE(rows[r].Name);
        EXPECT_EQ(most[r].Jobs, rows[r].Limits.MaxJobs);
        EXPECT_EQ(most[r].OpenedAhead, rows[r].Limits.MaxOpenedAhead);
        EXPECT_GE(most[r].QueuedBytes, rows[r].Limits.MaxQueuedBytes);
    }
}

} // namespace
