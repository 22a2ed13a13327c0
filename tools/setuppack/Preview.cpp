// The preview runs the real setup program and the real test driver: nothing here imitates
// the wizard. The Wine session (prefix, virtual display, wineserver) is the one the tests use,
// started by the same scripts in a temporary folder; the walk through the pages is one driver
// script for every product (preview.driver), which tells the pages apart by their window ids.

#include "tools/setuppack/Preview.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include <zlib.h>

#ifndef _WIN32
#include <fcntl.h>
#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/Errors.h"
#include "common/IniFile.h"
#include "common/TextEncoding.h"
#include "setupdata/SetupData.h"
#include "tools/setuppack/Packer.h"
#include "tools/setuppack/ToolData.h"

namespace fs = std::filesystem;

namespace {

uint32_t LittleEndianAt(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

void PutBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
}

// One PNG chunk: length, type, data, and the CRC-32 of type and data.
void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* covered = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    PutBigEndian(out, static_cast<uint32_t>(crc32(0, covered, static_cast<uInt>(4 + data.size()))));
}

#ifndef _WIN32

// The absolute path of a program in PATH; empty when there is none.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate))
            return candidate.string();
    }
    return {};
}

// Runs a program with its output (both streams) appended to a log file and the variables
// ("NAME=value") added to its environment; returns its exit code, or -1 when it could not run
// or ended by a signal.
int RunLogged(const std::vector<std::string>& argv, const std::string& logPath,
              const std::vector<std::string>& variables = {}) {
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int nothing = ::open("/dev/null", O_RDONLY);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        if (nothing >= 0)
            ::dup2(nothing, 0);
        for (const std::string& variable : variables)
            ::putenv(const_cast<char*>(variable.c_str())); // the child's own copy of the strings
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A Linux path as Wine's programs see it: drive Z: maps the root.
std::string WinePath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).lexically_normal().string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// The last lines of a log, for a message.
std::string LogTail(const std::string& logPath, size_t lines) {
    std::ifstream in(logPath);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);)
        all.push_back(line);
    std::string text;
    for (size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i)
        text += "  " + all[i] + "\n";
    return text;
}

// The temporary folder with its Wine session; stopped and removed again on the way out.
class TPreviewSession {
public:
    TPreviewSession(std::string sessionScript, bool keep, std::vector<std::string> variables)
        : Variables(std::move(variables)), SessionScript(std::move(sessionScript)), Keep(keep) {
        std::string pattern = (fs::temp_directory_path() / "setuppack-preview-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw Exception("Cannot create a temporary folder in " + fs::temp_directory_path().string());
        Folder = pattern;
        LogPath = (Folder / "preview.log").string();
    }
    ~TPreviewSession() {
        if (Started)
            RunLogged({"bash", SessionScript, "stop", Folder.string()}, LogPath, Variables);
        std::error_code ignored;
        if (!Keep)
            fs::remove_all(Folder, ignored);
    }

    void Start() {
        Started = true;
        if (RunLogged({"bash", SessionScript, "start", Folder.string()}, LogPath, Variables) != 0)
            throw Exception("The Wine session did not start:\n" + LogTail(LogPath, 20));
        Variables.push_back("SETUP_BUILD_DIR=" + Folder.string());
    }

    // Runs a program under the session's Wine.
    int Run(const std::vector<std::string>& argv) { return RunLogged(argv, LogPath, Variables); }

    fs::path Folder;
    std::string LogPath;
    std::vector<std::string> Variables; // of every program run in the session

private:
    std::string SessionScript;
    bool Keep;
    bool Started = false;
};

// The window caption the wizard will show: "$ProductName Setup", in UTF-8 like every argument
// that the driver, which runs in UTF-8 as the setup program does, takes from Linux.
std::string WizardCaption(const std::string& setupPath) {
    TInstaller installer("", setupPath);
    const std::unique_ptr<TMemoryStream> ini = installer.ReadFile("Setup.ini");
    const std::string text = ini ? std::string(ini->Bytes().begin(), ini->Bytes().end()) : std::string();
    return Windows1252ToUtf8(TIniFile(SplitLines(text)).ReadString("Setup", "ProductName", "")) + " Setup";
}

#endif

} // namespace

void ConvertBitmapToPng(const std::string& bmpPath, const std::string& pngPath) {
    const std::optional<std::string> read = ReadWholeFile(fs::u8path(bmpPath));
    if (!read)
        throw Exception("Cannot read " + bmpPath);
    const std::string& bmp = *read;
    if (bmp.size() < 54 || bmp.compare(0, 2, "BM") != 0)
        throw Exception(bmpPath + " is not a BMP picture");
    const uint32_t pixelsAt = LittleEndianAt(bmp, 10, 4);
    const auto width = static_cast<int32_t>(LittleEndianAt(bmp, 18, 4));
    const auto height = static_cast<int32_t>(LittleEndianAt(bmp, 22, 4));
    const uint32_t bits = LittleEndianAt(bmp, 28, 2);
    const uint32_t compression = LittleEndianAt(bmp, 30, 4);
    const int32_t rows = height < 0 ? -height : height;
    const size_t rowSize = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    if (bits != 24 || compression != 0 || width <= 0 || rows == 0 || width > 32768 || rows > 32768 ||
        pixelsAt + rowSize * rows > bmp.size())
        throw Exception(bmpPath + " is not an uncompressed 24-bit BMP picture");

    // PNG rows run from the top, each after a filter byte (0: none), pixels as red, green, blue;
    // BMP rows run from the bottom unless the height is negative, pixels as blue, green, red.
    std::string raw;
    raw.reserve((static_cast<size_t>(width) * 3 + 1) * rows);
    for (int32_t y = 0; y < rows; ++y) {
        const size_t row = pixelsAt + rowSize * static_cast<size_t>(height < 0 ? y : rows - 1 - y);
        raw += '\0';
        for (int32_t x = 0; x < width; ++x) {
            const char* pixel = &bmp[row + static_cast<size_t>(x) * 3];
            raw += pixel[2];
            raw += pixel[1];
            raw += pixel[0];
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9) != Z_OK)
        throw Exception("Cannot compress the picture " + bmpPath);
    packed.resize(packedSize);

    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(rows));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits per channel, RGB, no interlace
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");
    std::ofstream out(pngPath, std::ios::binary);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    if (!out.flush())
        throw Exception("Cannot write " + pngPath);
}

#ifdef _WIN32

std::vector<TPreviewPage> PreviewProduct(const TPreviewOptions&, std::ostream&) {
    throw Exception("preview runs the setup program under Wine and is part of setuppack for Linux only");
}

#else

std::vector<TPreviewPage> PreviewProduct(const TPreviewOptions& options, std::ostream& log) {
    std::vector<std::string> missing;
    for (const char* program : {"wine", "wineserver", "Xvfb", "bash"}) {
        if (FindProgram(program).empty())
            missing.push_back(program);
    }
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : missing)
            names += (names.empty() ? "" : ", ") + name;
        throw Exception(
            "preview runs the setup program under Wine on a virtual display, and this machine lacks " +
            names +
            ". On Debian: dpkg --add-architecture i386 && apt-get update && "
            "apt-get install wine wine32:i386 xvfb");
    }
    const std::string stub = options.StubPath.empty()
                                 ? ToolDataFile("Setup.exe", "installed Setup.exe (give --stub)")
                                 : options.StubPath;
    const std::string driver = ToolDataFile("setupdriver.exe", "setupdriver.exe to walk the wizard");
    const std::string script = ToolDataFile("preview.driver", "page walk script preview.driver");
    const std::string sessionScript = ToolDataFile("wine-session.sh", "Wine session script wine-session.sh");
    const std::string runScript = ToolDataFile("wine-run.sh", "Wine run script wine-run.sh");

    // A 32-bit prefix whichever Wine packages are installed: every Wine that runs Setup.exe
    // makes one, so the pictures are the same on every machine (a 64-bit one, made by default
    // where wine64 is installed, would show "Program Files (x86)" on the Destination page).
    std::vector<std::string> variables = {"WINEARCH=win32"};
    if (!options.Locale.empty()) {
        // Wine takes the system's language and code page from the Linux locale, and silently
        // keeps the default when that locale is not installed.
        const locale_t installed = ::newlocale(LC_ALL_MASK, options.Locale.c_str(), locale_t());
        if (installed == locale_t())
            throw Exception("The locale " + options.Locale +
                            " is not installed on this machine (locale -a lists those that are; on Debian: "
                            "localedef -i " +
                            options.Locale.substr(0, options.Locale.find('.')) + " -f UTF-8 " +
                            options.Locale + ")");
        ::freelocale(installed);
        // LC_ALL overrides what the caller's environment sets.
        variables.push_back("LC_ALL=" + options.Locale);
        variables.push_back("LANG=" + options.Locale);
    }
    TPreviewSession session(sessionScript, options.Keep, variables);
    if (options.Keep)
        log << "preview: working in " << session.Folder.string() << "\n";
    TPackOptions pack;
    pack.ProductFolder = options.ProductFolder;
    pack.OutputPath = (session.Folder / "PreviewSetup.exe").string();
    pack.StubPath = stub;
    pack.Version = options.Version;
    pack.BuildDate = options.BuildDate;
    PackProduct(pack);
    const std::string caption = WizardCaption(pack.OutputPath);

    log << "preview: starting Wine in a new prefix" << std::endl;
    session.Start();
    const auto wine = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"bash", runScript});
        return session.Run(args);
    };

    std::vector<TPreviewPage> pages;
    for (const int dpi : options.Dpis) {
        // Wine takes the resolution from the user's desktop settings when a program starts.
        const std::string desktopKey = "HKCU\\Control Panel\\Desktop";
        if (dpi == 96)
            wine({"reg", "delete", desktopKey, "/v", "LogPixels", "/f"});
        else if (wine({"reg", "add", desktopKey, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                       std::to_string(dpi), "/f"}) != 0)
            throw Exception("Cannot set the resolution in the Wine prefix:\n" + LogTail(session.LogPath, 10));

        const fs::path shots = session.Folder / ("shots-" + std::to_string(dpi));
        fs::create_directories(shots);
        log << "preview: walking the wizard of " << caption << " at " << dpi << " pixels per inch"
            << std::endl;
        if (wine({driver, "SETUP=" + WinePath(pack.OutputPath), "CAPTION=" + caption,
                  "SHOTS=" + WinePath(shots), "OWNER=Preview", WinePath(script)}) != 0)
            throw Exception("The walk through the wizard failed" +
                            std::string(options.Keep ? "" : " (--keep keeps the prefix and the logs)") +
                            ":\n" + LogTail(session.LogPath, 40));

        const fs::path target = fs::path(options.OutputFolder) / (std::to_string(dpi) + "dpi");
        fs::create_directories(target);
        for (const fs::directory_entry& old : fs::directory_iterator(target)) {
            if (old.path().extension() == ".png")
                fs::remove(old.path());
        }
        std::vector<fs::path> bitmaps;
        for (const fs::directory_entry& shot : fs::directory_iterator(shots))
            bitmaps.push_back(shot.path());
        std::sort(bitmaps.begin(), bitmaps.end());
        for (const fs::path& bitmap : bitmaps) {
            const fs::path png = target / bitmap.filename().replace_extension(".png");
            ConvertBitmapToPng(bitmap.string(), png.string());
            pages.push_back({dpi, png.string()});
        }
    }
    return pages;
}

#endif
