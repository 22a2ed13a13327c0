// The writing half of an extraction: a thread of its own that creates the folders and writes
// the files handed to it, one after the other in the order they were handed over, while the
// extraction goes on inflating the next file. Creating, writing, dating and closing a file
// are calls into the system (under Wine, requests to its server) that would otherwise wait
// for the inflater and keep it waiting in turn.
//
// Because one thread does everything in order, what is on disk and in the install log is the
// same as when one loop does it all: a folder exists before its files are written, a file
// whose writing fails is deleted and nothing after it is written, and the first failure is
// the one reported. Portable.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Stream.h"

class TFileWriter {
public:
    // createFolder is called for every folder handed over, fileWritten for every file once it
    // is written, dated and closed; both on the writing thread, in order. written counts the
    // bytes written.
    TFileWriter(std::function<void(const std::string& folder)> createFolder,
                std::function<void(const std::string& file, uint32_t size)> fileWritten,
                std::atomic<uint64_t>& written);
    // Stops the thread after what has been handed over; Finish or Abandon report its error.
    ~TFileWriter();
    TFileWriter(const TFileWriter&) = delete;
    TFileWriter& operator=(const TFileWriter&) = delete;

    // Called on the extraction's thread after each block and each file handed over.
    std::function<void()> OnHandedOver;

    void CreateFolder(const std::string& folder);
    // Reads size bytes from content and hands them over in blocks, to be written into target
    // (created or replaced) and dated with the packed DOS date-time date. Waits while too
    // much is waiting to be written. An error of content is raised after the file begun here
    // has been deleted (see Abandon); an error of the writing thread is raised instead.
    void WriteFile(const std::string& target, uint32_t size, uint32_t date, TStream& content);
    // Waits until everything handed over is written; raises the writing thread's first error.
    void Finish();
    // For an error on the extraction's side: deletes the file that was not handed over
    // whole, and waits for the rest as Finish does, raising the writing thread's error when
    // it failed first.
    void Abandon();

private:
    enum TItemKind { ikFolder, ikBegin, ikData, ikEnd, ikAbort, ikStop };
    struct TItem {
        TItemKind Kind = ikStop;
        std::string Path;   // ikFolder, ikBegin
        uint32_t Size = 0;  // ikBegin: the file's size; ikData: the block's
        uint32_t Date = 0;  // ikBegin
        std::unique_ptr<uint8_t[]> Block;

        TItem() = default;
        explicit TItem(TItemKind kind, std::string path = std::string(), uint32_t size = 0, uint32_t date = 0,
                       std::unique_ptr<uint8_t[]> block = nullptr)
            : Kind(kind), Path(std::move(path)), Size(size), Date(date), Block(std::move(block)) {}
    };

    std::function<void(const std::string&)> OnFolder;
    std::function<void(const std::string&, uint32_t)> OnFileWritten;
    std::atomic<uint64_t>& Written;

    std::mutex Lock;
    std::condition_variable Changed; // an item queued or taken, or the thread ended
    std::deque<TItem> Queue;
    int64_t QueuedBytes = 0;
    std::vector<std::unique_ptr<uint8_t[]>> FreeBlocks; // full-size blocks to use again
    std::exception_ptr Error;
    bool Ended = false;
    std::thread Thread;

    void Push(TItem item);
    std::unique_ptr<uint8_t[]> TakeBlock(uint32_t size);
    void Stop();
    void Run();
    void WriteItems();
};
