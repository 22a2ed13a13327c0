// The product folder as the packer sees it: its entries with the names they are stored under,
// in the stored order, and the rules for those names. Scanned before anything is written, so
// that every name and size the format cannot carry is refused first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Packing {

// The unit in which the packer reads and writes.
constexpr size_t ChunkSize = 256 * 1024;

struct TPackEntry {
    std::string Name;        // Windows-1252, as stored
    std::string DisplayPath; // UTF-8, below the product folder, for messages
    std::filesystem::path Source;
    bool Folder = false;
    int64_t Size = 0;
    std::vector<TPackEntry> Children;
};

// text in double quotes, for messages.
std::string Quoted(const std::string& text);

// Naming rules (PackNames.cpp).
// The stored name of a file or folder, or an EPackError naming it.
std::string StoredName(const std::string& utf8Name, const std::string& display);
// Case-insensitive alphabetical order, files and folders mixed; names equal but for case are
// ordered by their bytes, and a file goes before a folder of the same name, so that the
// order never depends on the file system's.
bool StoredBefore(const TPackEntry& a, const TPackEntry& b);

// Scanning (PackScan.cpp): the entries of the product folder, each folder's in the stored
// order. Files named ".keep" are left out.
std::vector<TPackEntry> ScanProduct(const std::filesystem::path& folder);

} // namespace Packing
