// Writes the fuzz seeds: a well-formed archive and archives with each kind of hostile record,
// all with correct checksums.
// Usage: MakeFuzzSeeds FOLDER

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "setupdata/ArchiveFormat.h"
#include "tests/setupdata/ArchiveBuilder.h"

namespace {

std::vector<TTestEntry> Product() {
    TTestEntry ini = TTestEntry::File("Setup.ini", "[Setup]\r\nProductName=Velmora\r\nRegistryRoot=Software\\Vendor\r\n");
    ini.NamePadding = "\x01\xFFgarbage";
    return {
        TTestEntry::Dir("Program", {TTestEntry::File("Velmora.exe", std::string(300, 'v')), TTestEntry::Dir("Empty"),
                                    TTestEntry::Dir("Sub", {TTestEntry::File("a.txt", "a"), TTestEntry::File("e", "")})}),
        ini,
        TTestEntry::File("Setup.lic", "License"),
        TTestEntry::File("setup.ini", "second of the same name"),
        TTestEntry::Dir("Setup.lic", {TTestEntry::File("x", "a folder named like a file")}),
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeFuzzSeeds FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    TProgramVersion version;
    version.FromText("5.04 beta 2 (press preview)");

    struct TSeed {
        const char* Name;
        std::function<void(TTestEntry&)> Damage; // applied to Program\Sub\a.txt
    };
    const std::vector<TSeed> seeds = {
        {"good", [](TTestEntry&) {}},
        {"dotdot", [](TTestEntry& e) { e.Name = ".."; }},
        {"dot", [](TTestEntry& e) { e.Name = "."; }},
        {"backslash", [](TTestEntry& e) { e.Name = "..\\..\\Windows\\evil.dll"; }},
        {"slash", [](TTestEntry& e) { e.Name = "../../etc/evil"; }},
        {"drive", [](TTestEntry& e) { e.Name = "C:\\evil"; }},
        {"control", [](TTestEntry& e) { e.Name = "a\x07\x1b.txt"; }},
        {"long-name-length", [](TTestEntry& e) { e.NameLength = 255; }},
        {"negative-length", [](TTestEntry& e) { e.ContentLength = -76; }},
        {"huge-length", [](TTestEntry& e) { e.ContentLength = 0x7FFFFFF0; }},
        {"size-below-folder", [](TTestEntry& e) { e.FileSize = -2; }},
        {"size-larger", [](TTestEntry& e) { e.FileSize = 100; }},
        {"size-huge", [](TTestEntry& e) { e.FileSize = 0x7FFFFFFF; }},
        {"size-zero", [](TTestEntry& e) { e.FileSize = 0; }},
        {"size-smaller", [](TTestEntry& e) { e.Data = "abc"; e.FileSize = 1; }},
        {"not-zlib", [](TTestEntry& e) { e.Content = std::string("\x78\xDA\xFF\xFF", 4); }},
    };
    int written = 0;
    for (const TSeed& seed : seeds) {
        std::vector<TTestEntry> entries = Product();
        seed.Damage(entries[0].Children[2].Children[0]);
        WriteBytes(folder + seed.Name + ".dat", BuildArchive(entries, version));
        ++written;
    }
    WriteBytes(folder + "deep.dat", BuildArchive({NestedFolders(Archive::MaxFolderDepth + 1)}, version));
    WriteBytes(folder + "deepest-allowed.dat", BuildArchive({NestedFolders(Archive::MaxFolderDepth)}, version));
    WriteBytes(folder + "empty.dat", BuildArchive({}, version));
    std::printf("%d seeds written to %s\n", written + 3, argv[1]);
    return 0;
}
