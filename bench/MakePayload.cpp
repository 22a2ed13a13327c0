// Writes a reproducible mixed product payload for the packing and verification benchmarks:
// text, program-like binaries, already-compressed data and runs of zeros, in many small files
// and a few large ones.
// Usage: make_payload FOLDER [MEGABYTES [incompressible]]   (default 200; incompressible: noise
// only, for an archive as large as its payload)

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Random.h"

namespace fs = std::filesystem;

namespace {

const char* const Words[] = {"preset", "gain", "filter", "velmora", "the", "of", "signal", "sample", "rate",
                             "buffer", "channel", "plug-in", "host", "voice", "envelope", "attack", "release",
                             "and", "to", "a", "frequency", "resonance", "modulation", "stereo", "mix"};

std::string Text(TRandom& random, size_t size) {
    std::string out;
    while (out.size() < size) {
        out += Words[random.Below(sizeof Words / sizeof *Words)];
        out += random.Below(12) == 0 ? "\r\n" : " ";
    }
    out.resize(size);
    return out;
}

// Records with a few varying fields, like code and tables in a program.
std::string Binary(TRandom& random, size_t size) {
    std::string out;
    std::vector<uint8_t> record(32);
    for (auto& b : record)
        b = static_cast<uint8_t>(random.Next());
    while (out.size() < size) {
        record[random.Below(32)] = static_cast<uint8_t>(random.Next());
        record[random.Below(32)] = static_cast<uint8_t>(random.Below(4));
        out.append(record.begin(), record.end());
    }
    out.resize(size);
    return out;
}

std::string Noise(TRandom& random, size_t size) {
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random.Next() >> 11);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_payload FOLDER [MEGABYTES [incompressible]]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int64_t total = (argc > 2 ? std::atoll(argv[2]) : 200) * 1024 * 1024;
    const bool noiseOnly = argc > 3 && std::string(argv[3]) == "incompressible";
    TRandom random(20240501);
    fs::create_directories(root / "Program");
    std::ofstream(root / "Setup.ini", std::ios::binary) << "[Setup]\r\nProductName=Velmora\r\n";
    std::ofstream(root / "Setup.lic", std::ios::binary) << Text(random, 4000);

    int64_t written = 0;
    int index = 0;
    while (written < total) {
        // One large file in ten, up to 16 MB; the others up to 256 KB.
        const size_t size = random.Below(10) == 0 ? 1024 * 1024 + random.Below(15 * 1024 * 1024)
                                                  : 512 + random.Below(256 * 1024);
        std::string data;
        const char* kind;
        switch (noiseOnly ? 7 : random.Below(10)) {
        case 0: case 1: case 2: case 3: data = Text(random, size); kind = "txt"; break;
        case 4: case 5: case 6: data = Binary(random, size); kind = "dll"; break;
        case 7: case 8: data = Noise(random, size); kind = "jpg"; break;
        default: data = std::string(size, '\0'); kind = "dat"; break;
        }
        const fs::path folder = root / "Program" / ("Folder" + std::to_string(index % 7));
        fs::create_directories(folder);
        std::ofstream(folder / ("file" + std::to_string(index) + "." + kind), std::ios::binary) << data;
        written += static_cast<int64_t>(data.size());
        ++index;
    }
    std::printf("%d files, %lld bytes in %s\n", index, static_cast<long long>(written), argv[1]);
    return 0;
}
