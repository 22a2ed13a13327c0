// The uninstall engine's replay over the seams, natively with real symbolic links and under
// Wine (which shows Linux links as reparse points): links are removed as links and never
// followed, except those that were there before the installation; what existed stays; what is
// gone counts as removed; and the product's emptied registry keys go up to the vendor's.

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "common/CommonUtils.h"
#include "common/FileSystem.h"
#include "common/Path.h"
#include "common/RegistryStore.h"
#include "common/Stream.h"
#include "setupdata/UninstallRecord.h"
#include "setupdata/Uninstaller.h"
#include "tests/support/Bytes.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestValues.h"

namespace {

// "@" stands for the test folder, "/" for the platform's delimiter.
std::string At(const TTestFolder& tree, const std::string& pattern) {
    std::string path;
    for (char c : pattern)
        path += c == '@' ? tree.Path() : c == '/' ? std::string(1, PathDelimiter()) : std::string(1, c);
    return path;
}

#ifdef _WIN32
// Wine makes no link through CreateSymbolicLinkA (it says it did), but shows a Linux symbolic
// link as a reparse point: under Wine the link is made by Linux's own ln.
std::string UnixPath(const std::string& path) {
    using TUnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<TUnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return std::string();
    const std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    const std::string result = name != nullptr ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}
#endif

#ifdef _WIN32
// Runs a Linux program from Wine and waits for done(); Wine gives no handle to wait on.
template <typename TDone> void RunUnix(const char* program, std::string commandLine, TDone done) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessA((std::string("Z:") + program).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                         0, nullptr, nullptr, &startup, &process))
        for (int i = 0; i < 100 && !done(); ++i)
            ::Sleep(50);
}
#endif

bool MakeLink(const std::string& target, const std::string& link) {
#ifdef _WIN32
    const std::string unixTarget = UnixPath(ExcludeDelimiter(target));
    if (unixTarget.empty())
        return ::CreateSymbolicLinkA(ExcludeDelimiter(link).c_str(), ExcludeDelimiter(target).c_str(),
                                     DirectoryExists(target) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) != FALSE;
    RunUnix("/bin/ln", "/bin/ln -s \"" + unixTarget + "\" \"" + UnixPath(ExcludeDelimiter(link)) + "\"",
            [&] { return ItemKindAt(link) != TItemKind::Missing; });
    return ItemKindAt(link) != TItemKind::Missing;
#else
    return ::symlink(ExcludeDelimiter(target).c_str(), ExcludeDelimiter(link).c_str()) == 0;
#endif
}

// Removes a link that the engine left: Wine's own removal of the test folder does not survive
// a Linux link to a folder in it.
void RemoveLeftLink(const std::string& link) {
#ifdef _WIN32
    if (ItemKindAt(link) != TItemKind::Missing && !RemoveItem(link) && !UnixPath(link).empty())
        RunUnix("/bin/rm", "/bin/rm -f \"" + UnixPath(ExcludeDelimiter(link)) + "\"",
                [&] { return ItemKindAt(link) == TItemKind::Missing; });
#else
    (void)link;
#endif
}

// Whether the platform can remove a link as a link. Wine cannot: it opens a Linux link's
// target even when asked for the link itself, so the engine leaves the link (and counts it).
bool RemovesLinks(const TTestFolder& tree) {
    const std::string link = At(tree, "@probe");
    const bool removes = MakeLink(tree.MakeFolder("probed/"), link) && RemoveItem(link) &&
                         ItemKindAt(link) == TItemKind::Missing && DirectoryExists(At(tree, "@probed"));
    RemoveLeftLink(link);
    return removes;
}

// An uninstaller in its own folder with the log appended, as the install engine writes it.
std::string WriteUninstaller(const TTestFolder& tree, const std::vector<std::string>& log) {
    TMemoryStream record;
    WriteUninstallRecord(record, MakeVersion(5, 0, 4), log, "Velmora", 7);
    std::string image(64, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    PutInt32At(image, 48, static_cast<int32_t>(image.size()));
    PutInt32At(image, 52, 1);
    const std::string path = tree.MakeFolder("Program/") + "Uninst.exe";
    WriteBytes(path, image + std::string(record.Bytes().begin(), record.Bytes().end()));
    return path;
}

struct TReplayCase {
    const char* Name;
    // Folders end with "/"; "link=>target" makes a link; anything else is a file.
    std::vector<std::string> Made;
    std::vector<std::string> Log;
    bool Complete;
    // Where links cannot be removed as links (Wine), only what is Kept is checked.
    bool RemovesALink;
    std::vector<std::string> Kept;
    std::vector<std::string> Gone;
};

const TReplayCase ReplayCases[] = {
    {"plain, with an item logged twice, a doubled delimiter and a file gone already",
     {"Vendor/Velmora/Sub/b.txt", "Vendor/Velmora/a.txt", "Vendor/Velmora/Logs/x.log"},
     {"E@Vendor/", "D@Vendor/Velmora/", "D@Vendor/Velmora/Sub/", "F@Vendor/Velmora/a.txt",
      "F@Vendor/Velmora/Sub/b.txt", "F@Vendor/Velmora/gone.txt", "E@Vendor/Velmora/",
      "F@Vendor//Velmora/a.txt", "T@Vendor/Velmora/Logs"},
     true,
     false,
     {"@Vendor/"},
     {"@Vendor/Velmora/"}},
    {"a created folder became a link to files of the logged names",
     {"Outside/a.txt", "Outside/Sub/b.txt", "Product/", "Product/Data=>Outside/"},
     {"D@Product/", "D@Product/Data/", "D@Product/Data/Sub/", "F@Product/Data/a.txt",
      "F@Product/Data/Sub/b.txt", "T@Product/Data/Sub/"},
     true,
     true,
     {"@Outside/a.txt", "@Outside/Sub/b.txt"},
     {"@Product/"}},
    {"a logged file became a link; a link in a folder whose files go with it",
     {"Outside/keep.txt", "Outside/also.txt", "Product/Logs/a.log", "Product/a.txt=>Outside/keep.txt",
      "Product/Logs/b.log=>Outside/also.txt"},
     {"D@Product/", "F@Product/a.txt", "T@Product/Logs/"},
     true,
     true,
     {"@Outside/keep.txt", "@Outside/also.txt"},
     {"@Product/"}},
    {"a plug-in folder that was a link before the installation is followed",
     {"Real/Other.dll", "Plugins=>Real/", "Plugins/Velmora/Sub/x.dll"},
     {"E@Plugins/", "D@Plugins/Velmora/", "D@Plugins/Velmora/Sub/", "F@Plugins/Velmora/Sub/x.dll"},
     true,
     false,
     {"@Real/Other.dll", "@Plugins/"},
     {"@Real/Velmora/"}},
    {"what is left counts: a user's file, and a folder in place of a logged file",
     {"Product/mine.txt", "Product/a.txt/"},
     {"D@Product/", "F@Product/a.txt"},
     false,
     false,
     {"@Product/mine.txt", "@Product/a.txt/"},
     {}},
};

TEST(UninstallReplay, LinksAreRemovedAsLinksAndWhatIsGoneCountsAsRemoved) {
    const bool removesLinks = RemovesLinks(TTestFolder());
    for (const TReplayCase& c : ReplayCases) {
        SCOPED_TRACE(c.Name);
        TTestFolder tree;
        bool linked = true;
        for (const std::string& made : c.Made) {
            const TSplitResult link = SplitString(made, '=');
            if (link.Found)
                linked =
                    linked && MakeLink(At(tree, "@" + link.After.substr(1)), At(tree, "@" + link.Before));
            else if (IsPathDelimiter(made.back()))
                tree.MakeFolder(At(tree, made));
            else
                tree.MakeFile(At(tree, made), "x");
        }
        // Windows grants making links to administrators (or in developer mode) only.
        ASSERT_TRUE(linked) << "no symbolic link could be made here";
        std::vector<std::string> log;
        for (const std::string& entry : c.Log)
            log.push_back(At(tree, entry));
        TMemoryRegistry registry;
        TUninstaller uninstaller(WriteUninstaller(tree, log), registry);
        std::vector<std::pair<size_t, size_t>> progress;
        uninstaller.OnProgress = [&](size_t done, size_t total) { progress.emplace_back(done, total); };

        const bool complete = uninstaller.Uninstall();
        for (const std::string& kept : c.Kept)
            EXPECT_NE(ItemKindAt(At(tree, kept)), TItemKind::Missing) << kept;
        for (const std::string& made : c.Made)
            if (made.find("=>") != std::string::npos)
                RemoveLeftLink(At(tree, "@" + SplitString(made, '=').Before));
        if (c.RemovesALink && !removesLinks)
            continue;
        EXPECT_EQ(complete, c.Complete);
        for (const std::string& gone : c.Gone)
            EXPECT_EQ(ItemKindAt(At(tree, gone)), TItemKind::Missing) << gone;
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.front(), std::make_pair(size_t{0}, log.size()));
        EXPECT_EQ(progress.back(), std::make_pair(log.size(), log.size()));
    }
}

// The product's keys go with their subkeys; the parents they leave empty go too, up to the
// vendor's key, but never "Software", a key that still holds a value or a subkey, the shared
// list of installed programs, nor anything below HKEY_CLASSES_ROOT's own top level.
TEST(UninstallReplay, EmptiedProductKeysGoUpToTheVendor) {
    const TRegistryHive user = TRegistryHive::CurrentUser;
    const TRegistryHive machine = TRegistryHive::LocalMachine;
    const std::string list = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    TMemoryRegistry registry;
    registry.AddKey(user, "Software\\Vendor\\Velmora\\5.0\\General", 2);
    registry.AddKey(user, "Software\\Vendor\\Velmora\\4.0", 1);
    registry.AddKey(machine, "Software\\Vendor\\Velmora\\5.0", 2);
    registry.AddKey(machine, "Software\\Vendor\\Velmora", 1); // a value of its own
    registry.AddKey(machine, "Software\\Other\\Product\\1.0", 1);
    registry.AddKey(machine, "Software\\Other\\Kept", 0);
    registry.AddKey(machine, list + "\\Velmora", 3);
    registry.AddKey(TRegistryHive::ClassesRoot, "Velmora.Document\\shell", 0);
    registry.AddKey(TRegistryHive::ClassesRoot, "Empty", 0);
    TTestFolder tree;
    TUninstaller uninstaller(WriteUninstaller(tree,
                                              {
                                                  "U\\Software\\Vendor\\Velmora\\4.0",
                                                  "U\\Software\\Vendor\\Velmora\\5.0",
                                                  "M\\software\\VENDOR\\\\Velmora\\5.0\\",
                                                  "M\\Software\\Other\\Product\\1.0",
                                                  "C\\Empty\\Velmora.Document",
                                                  "C\\Velmora.Document\\shell",
                                                  "M\\" + list + "\\Velmora",
                                              }),
                             registry);

    EXPECT_TRUE(uninstaller.Uninstall());
    EXPECT_FALSE(registry.KeyExists(user, "Software\\Vendor"));
    EXPECT_TRUE(registry.KeyExists(user, "Software"));
    EXPECT_FALSE(registry.KeyExists(machine, "Software\\Vendor\\Velmora\\5.0"));
    EXPECT_TRUE(registry.KeyExists(machine, "Software\\Vendor\\Velmora"));
    EXPECT_FALSE(registry.KeyExists(machine, "Software\\Other\\Product"));
    EXPECT_TRUE(registry.KeyExists(machine, "Software\\Other\\Kept"));
    EXPECT_FALSE(registry.KeyExists(machine, list + "\\Velmora"));
    EXPECT_TRUE(registry.KeyExists(machine, list));
    EXPECT_TRUE(registry.KeyExists(TRegistryHive::ClassesRoot, "Velmora.Document"));
    EXPECT_TRUE(registry.KeyExists(TRegistryHive::ClassesRoot, "Empty"));
}

} // namespace
