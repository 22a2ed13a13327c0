// Byte-level helpers for tests: little-endian 32-bit fields inside a buffer (headers, records,
// archives), bytes that do not compress, and whole files read and written at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

// The little-endian 32-bit value at offset of a std::string or std::vector<uint8_t>; throws
// when the field does not fit, so that a damaged file fails a test instead of reading past it.
template <typename TBytes> int32_t Int32At(const TBytes& bytes, size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4)
        throw std::out_of_range("the buffer ends inside a 32-bit field");
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
    return static_cast<int32_t>(value);
}

template <typename TBytes> void PutInt32At(TBytes& bytes, size_t offset, uint32_t value) {
    if (offset > bytes.size() || bytes.size() - offset < 4)
        throw std::out_of_range("the buffer ends inside a 32-bit field");
    using TByte = typename TBytes::value_type;
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<TByte>(value >> (8 * i) & 0xFF);
}

// size bytes that do not compress, the same for the same seed.
std::string Noise(size_t size, unsigned seed);

// Writes bytes as the whole file (replacing it); throws when it cannot.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// The whole file; empty when it is missing.
std::string ReadBytes(const std::filesystem::path& path);
