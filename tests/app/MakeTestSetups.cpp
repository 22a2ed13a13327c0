// Makes the setup programs that the program-entry tests run (AppTests.cpp and the .driver
// scripts beside it): a small product packed onto Setup.exe by the packing tool's own code,
// and copies of it with changed header fields, one flipped archive byte, the archive moved to
// Setup.dat, and an uninstaller copy with an uninstall record. Each variant is a Setup.exe in
// a folder of its own below the work folder, so that the Setup.dat beside it is the one the
// test means. Every offset and record comes from the program's own format definitions.
// Usage: MakeTestSetups SETUP_EXE WORK_FOLDER (Linux paths, read through Wine's drive Z:)
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "common/Stream.h"
#include "setupdata/ArchiveFormat.h"
#include "setupdata/UninstallRecord.h"
#include "tests/support/Bytes.h"
#include "tools/setuppack/Packer.h"

namespace {

namespace fs = std::filesystem;

// Wine's drive Z: maps the Linux root.
std::string FromLinux(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

// Writes the file, with the folders on its way.
void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    WriteBytes(path, bytes);
}

// The program with the 32-bit field at position set to value.
std::string WithField(std::string program, int position, uint32_t value) {
    PutInt32At(program, static_cast<size_t>(position), value);
    return program;
}

// Bytes that do not compress, as a real program's do; the same on every run.
std::string Noise(size_t size) {
    std::mt19937 random(504);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

void MakeSetups(const std::string& setupExe, const std::string& workFolder) {
    fs::remove_all(workFolder);
    const std::string work = workFolder + "\\";
    const std::string product = work + "product\\";
    const auto variant = [&](const std::string& name, const std::string& program) {
        Write(work + name + "\\Setup.exe", program);
    };

    // The product: a configuration file without the settings the wizard requires, a license
    // text, and three components, one holding only an empty folder.
    const std::string productName = "Velmora";
    Write(product + "Setup.ini", "[Setup]\r\nProductName=" + productName + "\r\n");
    Write(product + "Setup.lic", "License\r\n");
    Write(product + "Program\\App.txt", std::string(3000, 'a'));
    Write(product + "Program\\Sub\\Data.bin", Noise(20000));
    Write(product + "Program\\Sub\\Deeper\\One.txt", "x");
    Write(product + "Plugins\\Plugin.txt", std::string(1234, '\0'));
    fs::create_directories(product + "Empty\\Inner");

    TPackOptions options;
    options.ProductFolder = work + "product";
    options.StubPath = setupExe;
    options.OutputPath = work + "packed\\Setup.exe";
    options.Version.FromText("5.04");
    options.BuildDate = Archive::EncodeDateTime(2024, 3, 1, 5, 4, 0);
    fs::create_directories(work + "packed");
    PackProduct(options);

    const std::string packed = ReadBytes(options.OutputPath);
    const int32_t offset = Int32At(packed, Archive::DataOffsetPosition);
    if (offset < Archive::MinimumExecutableSize ||
        static_cast<size_t>(offset) + Archive::HeaderSize >= packed.size())
        throw std::runtime_error("the packer wrote DataOffset " + std::to_string(offset));
    const std::string program = packed.substr(0, static_cast<size_t>(offset)); // without the archive
    const std::string archive = packed.substr(static_cast<size_t>(offset));

    // UninstallFlag values: only 1 makes an uninstaller.
    variant("flag-1", WithField(packed, Archive::UninstallFlagPosition, 1));
    variant("flag-2", WithField(packed, Archive::UninstallFlagPosition, 2));
    variant("flag-100", WithField(packed, Archive::UninstallFlagPosition, 0x100));
    variant("flag-big-endian-1", WithField(packed, Archive::UninstallFlagPosition, 0x01000000));

    // The archive in Setup.dat beside a program whose DataOffset is 0 or negative; and without it.
    variant("offset-zero", WithField(program, Archive::DataOffsetPosition, 0));
    Write(work + "offset-zero\\Setup.dat", archive);
    variant("offset-negative", WithField(program, Archive::DataOffsetPosition, 0xFFFFFFFF));
    Write(work + "offset-negative\\Setup.dat", archive);
    variant("no-data", WithField(program, Archive::DataOffsetPosition, 0));

    // One flipped byte in the middle of the part of the archive its checksum covers (past the
    // header, within the data).
    uint8_t headerBytes[Archive::HeaderSize];
    std::copy_n(archive.begin(), Archive::HeaderSize, headerBytes);
    Archive::THeader header;
    Archive::DecodeHeader(headerBytes, header);
    const size_t covered =
        std::min<size_t>(static_cast<size_t>(header.ChecksumLength), archive.size() - Archive::HeaderSize);
    std::string corrupted = packed;
    corrupted[static_cast<size_t>(offset) + Archive::HeaderSize + covered / 2] ^= 0x01;
    variant("corrupted", corrupted);

    // An uninstaller: the program without archive, flagged, with an uninstall record appended
    // where DataOffset points: the archive's version, an empty log and the product name.
    TMemoryStream record;
    WriteUninstallRecord(record, options.Version, {}, productName.data(),
                         static_cast<int32_t>(productName.size()));
    const std::string uninstaller =
        WithField(WithField(program, Archive::DataOffsetPosition, static_cast<uint32_t>(offset)),
                  Archive::UninstallFlagPosition, 1) +
        std::string(reinterpret_cast<const char*>(record.Memory()), static_cast<size_t>(record.Size()));
    variant("uninstaller", uninstaller);

    std::printf("test setups in %s (archive at offset %d)\n", workFolder.c_str(), offset);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: MakeTestSetups SETUP_EXE WORK_FOLDER\n");
        return 2;
    }
    try {
        MakeSetups(FromLinux(argv[1]), FromLinux(argv[2]));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "MakeTestSetups: %s\n", e.what());
        return 1;
    }
}
