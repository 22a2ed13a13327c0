// What the wizard's end-to-end tests need from inside Wine:
//   E2eHelper folder programs|desktop|documents   the user's special folder (Windows path)
//   E2eHelper shortcut LINK_FILE                   the shortcut's target and arguments, "|"-joined
//   E2eHelper damage SETUP_EXE MEMBER              flips a byte in the middle of the stored
//       content of the archive member MEMBER (a path such as Program\Readme.txt) and fixes the
//       archive's checksum, so that the setup program starts and its installation run fails
//       on that member
// Exit code 0 on success, 1 on a failure (with a message), 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "common/CommonUtils.h"
#include "common/WinHandle.h"
#include "setupdata/ArchiveFormat.h"
#include "shell/ShellUtils.h"
#include "tests/support/Bytes.h"

namespace {

// Finds member (backslash-separated, letter case significant) in the entry list at position
// and returns the offset and length of its stored content; throws when it is not there.
std::pair<size_t, size_t> FindMember(const std::string& bytes, size_t position, const std::string& member) {
    const TSplitResult parts = SplitString(member, '\\');
    for (;;) {
        const size_t nameLength = static_cast<uint8_t>(bytes.at(position));
        if (nameLength == 0)
            break;
        const std::string name = bytes.substr(position + 1, nameLength);
        const int32_t contentLength = Int32At(bytes, position + 1 + Archive::MaxNameLength);
        const size_t content = position + Archive::RecordSize;
        if (name == parts.Before) {
            if (!parts.Found)
                return {content, static_cast<size_t>(contentLength)};
            return FindMember(bytes, content, parts.After);
        }
        position = content + static_cast<size_t>(contentLength);
    }
    throw std::runtime_error("no member " + member);
}

int Damage(const std::string& setup, const std::string& member) {
    std::string bytes = ReadBytes(setup);
    const size_t archive = static_cast<size_t>(Int32At(bytes, Archive::DataOffsetPosition));
    const auto [content, length] = FindMember(bytes, archive + Archive::EntriesOffset, member);
    if (length < 4)
        throw std::runtime_error("the member's content is too short to damage");
    bytes[content + length / 2] = static_cast<char>(bytes[content + length / 2] ^ 0x55);
    const size_t checked = bytes.size() - archive - Archive::HeaderSize;
    PutInt32At(bytes, archive + 8, static_cast<uint32_t>(checked));
    PutInt32At(bytes, archive + 12, Adler32(1, bytes.data() + archive + Archive::HeaderSize, checked));
    WriteBytes(setup, bytes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        TComInitializer com;
        if (command == "folder" && argc == 3) {
            const std::string kind = argv[2];
            const TSpecialFolder folder = kind == "programs"  ? sfPrograms
                                          : kind == "desktop" ? sfDesktop
                                                              : sfPersonal;
            std::printf("%s\n", GetSpecialFolder(folder).c_str());
            return 0;
        }
        if (command == "shortcut" && argc == 3) {
            std::string target, arguments;
            if (!ReadShellLink(argv[2], target, arguments)) {
                std::fprintf(stderr, "cannot read %s\n", argv[2]);
                return 1;
            }
            std::printf("%s|%s\n", target.c_str(), arguments.c_str());
            return 0;
        }
        if (command == "damage" && argc == 4)
            return Damage(argv[2], argv[3]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "E2eHelper %s: %s\n", command.c_str(), error.what());
        return 1;
    }
    std::fprintf(
        stderr, "usage: E2eHelper folder programs|desktop|documents | shortcut LINK | damage SETUP MEMBER\n");
    return 2;
}
