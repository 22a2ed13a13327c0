// The steps of the installation run that do not need the shell: measuring the components and
// checking the free space, extracting the components (per bundle item and for the product),
// calling the product's libraries, reading a shortcut line, and the destination folder test of
// the wizard.

#include "setup/SetupInstaller.h"

#include <algorithm>
#include <chrono>
#include <functional>

#include "common/CommonUtils.h"
#include "common/Errors.h"
#include "common/FileSystem.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "messages/Strings.h"

namespace {

// Room kept free beyond what the components need.
const uint64_t SpaceMargin = 1048576;

} // namespace

int64_t TSetupInstaller::GetRequiredSpace() {
    // Every line counts, also those that the extraction will skip; names are not expanded.
    // In 64 bits: an archive of compressible files may unpack to more than 4 GiB.
    int64_t total = 0;
    for (const std::string& line : Components)
        total += Installer->ComponentSize(LineName(line));
    return total;
}

void TSetupInstaller::CheckDiskSpace() {
    // A drive root needs its backslash: "C:" alone would name the current folder of drive C.
    const uint64_t available = Environment.FreeDiskSpace(VolumeRoot(ProgramFolder) + "\\");
    if (available < static_cast<uint64_t>(RequiredSpace) + SpaceMargin)
        throw ESetupError(LoadMessage(msNotEnoughSpace));
}

void TSetupInstaller::ForEachExtraction(
    const std::function<void(const std::string& line, const std::string& source,
                             const std::string& destination, const TSetupBundleItem* item)>& visit) const {
    // Each selected bundle item's lines, then the product's.
    std::vector<const TSetupBundleItem*> passes;
    if (IsBundle) {
        for (const auto& item : BundleItems)
            if (item->Selected)
                passes.push_back(item.get());
    }
    passes.push_back(nullptr);
    for (const TSetupBundleItem* item : passes) {
        for (const std::string& line : Components) {
            const std::string source = ExpandFolderSymbols(LineName(line), item);
            const std::string destination = ExpandFolderSymbols(LineValue(line), item);
            if (!source.empty() && !destination.empty())
                visit(line, source, destination, item);
        }
    }
}

void TSetupInstaller::CheckComponentDestinations() const {
    ForEachExtraction([](const std::string& line, const std::string&, const std::string& destination,
                         const TSetupBundleItem*) {
        // Anything but a full path is taken relative to the current folder or drive
        // ("Program=ProgramFolder" without its "$", "\Filters" from an empty symbol) and would
        // put the product wherever that is. The native build (tests, the product check) runs on
        // POSIX paths.
        const bool onPosixRoot = PathDelimiter() == '/' && destination[0] == '/';
        if (!IsFullPath(destination) && !onPosixRoot)
            throw ESetupError("Invalid destination in Setup.ini: the component \"" + line + "\" goes to \"" +
                              destination + "\", which is not a full path with a drive or a network share");
    });
}

uint64_t TSetupInstaller::ExtractionSize() {
    uint64_t total = 0;
    ForEachExtraction(
        [&](const std::string&, const std::string& source, const std::string&, const TSetupBundleItem*) {
            total += static_cast<uint64_t>(Installer->ComponentSize(source));
        });
    return total;
}

namespace {

// Moves the bar with the bytes written while the components are extracted, between the
// stage's start and end: at most every 50 ms, so that a product of many small files does not
// spend its time repainting (and at once when an item's components are done), and never
// backwards.
class TCopyProgress {
public:
    TCopyProgress(ISetupProgress& progress, int32_t start, int32_t end, uint64_t total, uint64_t writtenBefore)
        : Progress(progress), Start(start), End(end), Total(total), WrittenBefore(writtenBefore),
          LastReport(std::chrono::steady_clock::now()), Position(start) {}

    int32_t Shown() const { return Position; }

    void Report(uint64_t written, bool atOnce = false) {
        const auto now = std::chrono::steady_clock::now();
        if (Total == 0 || (!atOnce && now - LastReport < std::chrono::milliseconds(50)))
            return;
        LastReport = now;
        const uint64_t done = std::min(written - WrittenBefore, Total);
        const auto position = static_cast<int32_t>(Start + static_cast<uint64_t>(End - Start) * done / Total);
        if (position <= Position)
            return;
        Position = position;
        Progress.SetCopyProgress(position);
    }

private:
    ISetupProgress& Progress;
    const int32_t Start, End;
    const uint64_t Total, WrittenBefore;
    std::chrono::steady_clock::time_point LastReport;
    int32_t Position;
};

} // namespace

void TSetupInstaller::InstallComponents(ISetupProgress& progress, int32_t start, int32_t end) {
    CheckComponentDestinations();
    TCopyProgress copied(progress, start, end, ExtractionSize(), Installer->BytesWritten());
    const std::function<void(uint64_t)> report = [&copied](uint64_t written) { copied.Report(written); };
    if (IsBundle) {
        int32_t selected = 0;
        for (const auto& item : BundleItems) {
            if (item->Selected)
                ++selected;
        }
        int32_t index = 0;
        for (const auto& item : BundleItems) {
            if (!item->Selected)
                continue;
            // The bytes may have moved the bar past an item's place already, when the items
            // before it were the larger ones.
            progress.SetProgress(std::max(start + (end - start) * index / selected, copied.Shown()));
            InstallItemComponents(item.get(), report);
            copied.Report(Installer->BytesWritten(), true);
            ++index;
        }
    }
    // The product's own components, also after a bundle's items.
    InstallItemComponents(nullptr, report);
    // A file kept by NoOverwrite or dropped with its component was not written and counts
    // nothing.
    InstalledBytes = Installer->ExtractedBytes();
}

namespace {

// True when path is folder or lies below it, as Windows compares names (SameFileName); "\"
// and "/" are one.
bool IsSameOrBelow(const std::string& path, const std::string& folder) {
    const std::string base = ExcludeDelimiter(folder);
    if (base.empty() || path.size() < base.size() ||
        (path.size() > base.size() && !IsPathDelimiter(path[base.size()])))
        return false;
    const auto backslashed = [](std::string text) {
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    };
    return SameFileName(backslashed(path.substr(0, base.size())), backslashed(base));
}

} // namespace

std::string TSetupInstaller::FolderToProtect(const std::string& destination) const {
    // The topmost folder of destination that is not there yet, as the engine names folders:
    // with a trailing delimiter.
    std::string folder = destination;
    if (!folder.empty() && !IsPathDelimiter(folder.back()))
        folder += PathDelimiter();
    std::string topmost;
    while (!folder.empty() && !DirectoryExists(folder)) {
        const std::string trimmed = ExcludeDelimiter(folder);
        if (trimmed.size() <= VolumeRoot(trimmed).size())
            break; // a drive that is not there: nothing can be created on it
        topmost = folder;
        folder = ParentFolder(folder);
    }
    if (topmost.empty())
        return std::string();
    // Program Files is locked down already, and its new folders inherit that. The user's own
    // folders are the user's to change anyway (a product's presets in the documents must stay
    // writable to that user). A share's access list is the server's.
    const std::string inheriting[] = {Environment.ProgramFilesFolder(),
                                      Environment.NativeProgramFilesFolder(), DocumentsFolder,
                                      ApplicationDataFolder};
    for (const std::string& root : inheriting) {
        if (IsSameOrBelow(topmost, root))
            return std::string();
    }
    for (const std::string& root : ProtectedFolders) {
        if (IsSameOrBelow(topmost, root))
            return std::string();
    }
    const std::string volume = VolumeRoot(topmost);
    if (volume.size() > 2 && IsPathDelimiter(volume[0]))
        return std::string();
    return topmost;
}

void TSetupInstaller::CreateProtectedFolderFor(const std::string& destination) {
    // Created here rather than by the extraction: a folder created below a drive's root
    // inherits "Authenticated Users: modify", and a standard user could replace the product's
    // programs, its libraries (between their extraction and their call) or Uninst.exe before
    // the next run with administrator rights.
    const std::string folder = FolderToProtect(destination);
    if (folder.empty() || !Environment.CreateProtectedFolder(ExcludeDelimiter(folder)))
        return; // the extraction creates it as any other folder
    // The log reads as the engine's own: the existing folder above (E), then the new one (D).
    // The extraction logs the folders it creates below it as usual; when the new folder is
    // itself the destination, it adds the E entry of a destination that is there already, as
    // for a second component into a folder that the first one created.
    Installer->CreateFolder(ParentFolder(folder), false);
    Installer->AddLogEntry(lkFolder, folder);
    ProtectedFolders.push_back(folder);
}

void TSetupInstaller::InstallItemComponents(const TSetupBundleItem* item,
                                            const std::function<void(uint64_t)>& report) {
    for (const std::string& line : Components) {
        const std::string name = LineName(line);
        const std::string target = LineValue(line);
        // A component for a host the user declined, or one of a bundle item outside that
        // item's pass, expands to nothing and is passed over.
        const std::string source = ExpandFolderSymbols(name, item);
        const std::string destination = ExpandFolderSymbols(target, item);
        if (source.empty() || destination.empty())
            continue;
        TExtractOptions options;
        options.Overwrite = !IsNoOverwrite(name);
        if (IsVst3Component(target))
            options.OnExtractFile = RenameVst3File;
        options.OnProgress = report;
        CreateProtectedFolderFor(destination);
        Installer->ExtractComponent(source, destination, item != nullptr ? item->FileDate : 0, options);
    }
}

TUninstallDetails TSetupInstaller::UninstallDetails() const {
    TUninstallDetails details;
    // The archive's version: a bundle's own (its items carry theirs), in the form that the
    // wizard and the product's "VersionString" show.
    details.DisplayVersion = ProductVersion().ToText();
    // The product's own icon when the product is there; the uninstaller's (the setup
    // program's) otherwise, as for a product of plug-ins only.
    const std::string product = ProductFile();
    details.DisplayIcon =
        !product.empty() && FileExists(product) ? product : JoinPath(ProgramFolder, "Uninst.exe");
    details.InstallLocation = ProgramFolder;
    details.Publisher = Publisher;
    details.InstalledBytes = InstalledBytes;
    return details;
}

bool TSetupInstaller::IsNoOverwrite(const std::string& component) const {
    // Both the component's name and the option are compared with regard to case.
    for (const std::string& line : ComponentsOptions) {
        if (LineName(line) == component && LineValue(line) == "NoOverwrite")
            return true;
    }
    return false;
}

void TSetupInstaller::RunCallLibraries() {
    for (const std::string& line : CallLibraries) {
        const std::string exportName = LineName(line);
        const std::string path = ExpandFolderSymbols(LineValue(line), nullptr);
        // A library whose path uses a declined host's folder is not there to call. What the
        // export does, and whether the library or the export exists, is the product's affair.
        if (exportName.empty() || path.empty())
            continue;
        Environment.CallLibraryExport(path, exportName);
    }
}

TShortcutValue TSetupInstaller::ReadShortcutValue(const std::string& value) const {
    TShortcutValue shortcut;
    const TSplitResult target = SplitString(value, ',');
    if (!target.Found) {
        // Only a target: the link is named after the target's file.
        shortcut.Target = value;
        shortcut.Title = BaseFileName(value);
        return shortcut;
    }
    const TSplitResult title = SplitString(target.After, ',');
    const TSplitResult arguments = SplitString(title.After, ',');
    shortcut.Target = TrimText(target.Before);
    shortcut.Title = TrimText(ExpandTextSymbols(title.Before));
    if (title.Found)
        shortcut.Arguments = arguments.Before;
    if (arguments.Found) {
        // Icons are given by number and chosen by resource identifier, which the shell takes
        // as a negative index. Anything after a further comma belongs to the number.
        int32_t icon = 0;
        if (!TryStrToInt(arguments.After, icon))
            icon = 0;
        shortcut.IconIndex = icon < 0 ? icon : -icon;
    }
    return shortcut;
}

void TSetupInstaller::ForEachShortcut(
    const std::function<void(const std::string& line, const std::string& linkFile, const std::string& target,
                             const TShortcutValue& shortcut)>& visit) const {
    for (const std::string& line : Shortcuts) {
        // Locations are compared with regard to case; the Start menu and the desktop only as
        // the user chose on the shortcut page.
        const std::string location = LineName(line);
        std::string folder;
        if (location == "StartMenu") {
            if (!SelectedShortcuts.Contains(scStartMenu))
                continue;
            folder = Environment.StartMenuFolder();
        } else if (location == "Desktop") {
            if (!SelectedShortcuts.Contains(scDesktop))
                continue;
            folder = Environment.DesktopFolder();
        } else if (location == "ProgramFolder") {
            folder = ProgramFolder;
        } else {
            continue;
        }
        folder = ExcludeDelimiter(folder);
        if (folder.empty())
            continue;

        const TShortcutValue shortcut = ReadShortcutValue(LineValue(line));
        const std::string linkFile = folder + "\\" + shortcut.Title + ".lnk";
        // A target in the folder of a host the user declined is not installed.
        const std::string target = ExpandFolderSymbols(shortcut.Target, nullptr);
        if (target.empty())
            continue;
        visit(line, linkFile, target, shortcut);
    }
}

bool TSetupInstaller::CanCreateFolder(const std::string& path) const {
    // The folder and its ancestors, deepest first, down to (without) the volume's root.
    std::vector<std::string> chain;
    std::string current = path;
    for (;;) {
        const std::string folder = ExcludeDelimiter(current);
        const std::string parent = ParentFolder(folder);
        if (parent.empty() || parent == folder || folder == VolumeRoot(folder))
            break;
        chain.push_back(folder);
        current = parent;
    }
    bool result = !chain.empty();

    // Shallowest first. A folder that cannot be created because it is there already does no
    // harm; a file of that name, a missing drive or a lack of rights does.
    std::vector<std::string> created;
    for (auto folder = chain.rbegin(); folder != chain.rend(); ++folder) {
        if (CreateDir(*folder))
            created.push_back(*folder);
        else if (!DirectoryExists(*folder))
            result = false;
    }
    // Leave the disk as it was: remove what was created here, deepest first.
    for (auto folder = created.rbegin(); folder != created.rend(); ++folder)
        RemoveDir(*folder);
    return result;
}
