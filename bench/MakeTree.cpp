// Adds a reproducible tree of many small files to a payload folder, for the extraction
// benchmark: folders nested up to four deep, text and program-like files of 64 bytes to
// 32 KB, and empty folders here and there. With "large", files of 1 to 64 KB and one in two
// hundred of 1 to 4 MB, as in a tree of documentation and headers.
// Usage: make_tree FOLDER [FILES [FOLDERS [large]]]   (default 6000 files in about 600 folders)

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

const char* const Words[] = {"preset", "gain",  "filter", "velmora", "the", "of", "signal", "sample",
                             "rate",   "voice", "attack", "release", "and", "to", "a",      "stereo"};

std::string Content(TRandom& random, size_t size) {
    std::string out;
    if (random.Below(2) == 0) {
        while (out.size() < size) {
            out += Words[random.Below(sizeof Words / sizeof *Words)];
            out += random.Below(10) == 0 ? "\r\n" : " ";
        }
    } else {
        while (out.size() < size)
            out += static_cast<char>(random.Below(4) == 0 ? random.Next() : random.Below(8));
    }
    out.resize(size);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_tree FOLDER [FILES [FOLDERS [large]]]\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 6000;
    const size_t folderCount = argc > 3 ? static_cast<size_t>(std::atoi(argv[3])) : 600;
    const bool large = argc > 4 && std::string(argv[4]) == "large";
    TRandom random(20240502);
    // The folders: four levels, four to six children each, named like a product's data.
    std::vector<fs::path> folders = {root};
    for (size_t i = 0; i < folders.size() && folders.size() < folderCount; ++i) {
        const size_t depth = std::distance(root.begin(), root.end());
        if (static_cast<size_t>(std::distance(folders[i].begin(), folders[i].end())) - depth >= 4)
            continue;
        const uint32_t children = 4 + random.Below(3);
        for (uint32_t c = 0; c < children; ++c)
            folders.push_back(folders[i] / ("Bank" + std::to_string(folders.size())));
    }
    int empty = 0;
    for (const fs::path& folder : folders) {
        fs::create_directories(folder);
        if (random.Below(8) == 0) {
            fs::create_directories(folder / "Empty");
            ++empty;
        }
    }
    long long bytes = 0;
    for (int i = 0; i < files; ++i) {
        const fs::path& folder = folders[random.Below(static_cast<uint32_t>(folders.size()))];
        const size_t size = !large                    ? 64 + random.Below(random.Below(4) == 0 ? 32 * 1024 : 8 * 1024)
                            : random.Below(200) == 0 ? (1 << 20) + random.Below(3 << 20)
                                                      : 1024 + random.Below(63 * 1024);
        std::ofstream(folder / ("item" + std::to_string(i) + (size % 2 ? ".preset" : ".dat")),
                      std::ios::binary)
            << Content(random, size);
        bytes += static_cast<long long>(size);
    }
    std::printf("%d files in %zu folders (%d more empty ones), %lld bytes in %s\n", files, folders.size(),
                empty, bytes, argv[1]);
    return 0;
}
