// setuppack: builds a setup program from a product folder, and lists, verifies and extracts
// existing ones. Exit codes: 0 done, 1 failed, 2 wrong command line.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "common/CommonUtils.h"
#include "common/DosDate.h"
#include "setupdata/ArchiveFormat.h"
#include "tools/setuppack/ArchiveCommands.h"
#include "tools/setuppack/Checker.h"
#include "tools/setuppack/Packer.h"

namespace {

const char* const UsageText =
    "Usage:\n"
    "  setuppack pack --version VERSION [options] PRODUCT_FOLDER OUTPUT\n"
    "  setuppack check PRODUCT_FOLDER --version VERSION [--json]\n"
    "  setuppack list SETUP\n"
    "  setuppack verify SETUP\n"
    "  setuppack extract SETUP DESTINATION\n"
    "\n"
    "pack   Packs PRODUCT_FOLDER into setup data. Its top-level files (Setup.ini, Setup.lic,\n"
    "       Setup.jpg, BundleInfo.ini, ...) become top-level files of the archive, its\n"
    "       top-level folders become components. Files named .keep are left out; they only\n"
    "       keep otherwise empty folders in version control.\n"
    "       --version VERSION   product version, for example 5.04 or \"5.04 beta 2\" (required)\n"
    "       --stub SETUP_EXE    append the archive to a copy of this setup program (an archive\n"
    "                           it already carries is cut off); without it OUTPUT is a Setup.dat\n"
    "       --date YYYY-MM-DD   build date (default: today)\n"
    "       --time HH:MM[:SS]   build time of day (default: the version, 5.04 gives 05:04)\n"
    "       --jobs N            compressing threads (default: one per processor)\n"
    "       --quiet             no progress and no summary\n"
    "       --ignore-errors     pack even when the check finds errors\n"
    "check  Loads PRODUCT_FOLDER as the setup program will and reports what would stop it\n"
    "       (errors, exit code 1) or make it install other than meant (warnings), as\n"
    "       FILE:LINE: error|warning: MESSAGE lines. pack runs the same check first and\n"
    "       refuses a product with errors.\n"
    "       --json              a JSON array of {file, line, severity, message} instead\n"
    "list     Shows the version, build date and entries of a setup program or Setup.dat.\n"
    "verify   Checks signature, checksum and structure as the setup program does, and\n"
    "         inflates every member.\n"
    "extract  Verifies, then writes every member into DESTINATION (a new or empty folder).\n";

class EUsage : public std::exception {
public:
    explicit EUsage(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

private:
    std::string Message;
};

// Shown only once a run has taken a second: a bar on a terminal, a line per tenth otherwise.
class TProgressDisplay {
public:
    explicit TProgressDisplay(bool quiet) : Quiet(quiet), Terminal(isatty(fileno(stderr)) != 0) {}
    ~TProgressDisplay() {
        if (Terminal && Shown)
            std::fputc('\n', stderr);
    }

    void Update(int64_t done, int64_t total) {
        using namespace std::chrono;
        if (Quiet || total <= 0 || steady_clock::now() - Start < seconds(1))
            return;
        const int percent = static_cast<int>(done * 100 / total);
        const double megabytes = 1024.0 * 1024.0;
        if (Terminal) {
            const int width = 40;
            const int filled = percent * width / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%%  %.1f / %.1f MB", std::string(filled, '#').c_str(),
                         std::string(width - filled, '.').c_str(), percent, done / megabytes, total / megabytes);
            std::fflush(stderr);
            Shown = true;
        } else if (percent / 10 > LastTenth) {
            LastTenth = percent / 10;
            std::fprintf(stderr, "packing: %d%% (%.1f of %.1f MB)\n", percent, done / megabytes, total / megabytes);
        }
    }

private:
    bool Quiet;
    bool Terminal;
    bool Shown = false;
    int LastTenth = -1;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
};

int ParseNumber(const std::string& text, const char* what) {
    int32_t value;
    if (text.empty() || text[0] < '0' || text[0] > '9' || !TryStrToInt(text, value))
        throw EUsage(std::string("Invalid ") + what + ": " + text);
    return value;
}

// "YYYY-MM-DD" into its three numbers.
void ParseDate(const std::string& text, int& year, int& month, int& day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        throw EUsage("Invalid date (YYYY-MM-DD): " + text);
    year = ParseNumber(text.substr(0, 4), "date");
    month = ParseNumber(text.substr(5, 2), "date");
    day = ParseNumber(text.substr(8, 2), "date");
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw EUsage("Invalid date (1980-01-01 to 2107-12-31): " + text);
}

// "HH:MM" or "HH:MM:SS" into seconds.
int ParseTime(const std::string& text) {
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':' || (text.size() == 8 && text[5] != ':'))
        throw EUsage("Invalid time (HH:MM[:SS]): " + text);
    const int hours = ParseNumber(text.substr(0, 2), "time");
    const int minutes = ParseNumber(text.substr(3, 2), "time");
    const int seconds = text.size() == 8 ? ParseNumber(text.substr(6, 2), "time") : 0;
    if (hours > 23 || minutes > 59 || seconds > 59)
        throw EUsage("Invalid time (HH:MM[:SS]): " + text);
    return hours * 3600 + minutes * 60 + seconds;
}

int RunPack(const std::vector<std::string>& args) {
    TPackOptions options;
    std::string versionText, dateText, timeText;
    bool quiet = false;
    bool ignoreErrors = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw EUsage("Missing value after " + arg);
            return args[++i];
        };
        if (arg == "--version")
            versionText = value();
        else if (arg == "--stub")
            options.StubPath = value();
        else if (arg == "--date")
            dateText = value();
        else if (arg == "--time")
            timeText = value();
        else if (arg == "--jobs")
            options.Jobs = static_cast<unsigned>(ParseNumber(value(), "number of jobs"));
        else if (arg == "--quiet")
            quiet = true;
        else if (arg == "--ignore-errors")
            ignoreErrors = true;
        else if (arg.size() > 1 && arg[0] == '-')
            throw EUsage("Unknown option: " + arg);
        else
            positional.push_back(arg);
    }
    if (versionText.empty())
        throw EUsage("pack needs --version");
    if (positional.size() != 2)
        throw EUsage("pack needs a product folder and an output file");
    options.ProductFolder = positional[0];
    options.OutputPath = positional[1];
    options.Version.FromText(versionText);

    int year, month, day;
    if (dateText.empty()) {
        const std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        year = local->tm_year + 1900;
        month = local->tm_mon + 1;
        day = local->tm_mday;
    } else {
        ParseDate(dateText, year, month, day);
    }
    int seconds;
    if (!timeText.empty()) {
        seconds = ParseTime(timeText);
    } else if (const std::optional<int> fromVersion = VersionTimeOfDay(options.Version)) {
        seconds = *fromVersion;
    } else {
        throw EUsage("Version " + options.Version.ToText() + " cannot serve as a time of day; give --time");
    }
    options.BuildDate = Archive::EncodeDateTime(year, month, day, seconds / 3600, seconds / 60 % 60, seconds % 60);

    // The version and the time of day are settled above; the check looks at the rest.
    const std::vector<TDiagnostic> diagnostics = CheckProduct({options.ProductFolder, versionText, true});
    for (const TDiagnostic& diagnostic : diagnostics)
        std::fprintf(stderr, "%s\n", FormatDiagnostic(diagnostic).c_str());
    if (HasErrors(diagnostics)) {
        if (!ignoreErrors)
            throw EPackError("The product folder has errors; nothing was packed (--ignore-errors packs anyway)");
        std::fprintf(stderr, "setuppack: packing despite the errors above (--ignore-errors)\n");
    }

    TProgressDisplay progress(quiet);
    options.Progress = [&](int64_t done, int64_t total) { progress.Update(done, total); };
    const TPackResult result = PackProduct(options);
    if (!quiet) {
        std::printf("%s: %d files, %lld bytes packed into %lld bytes of setup data at offset %lld\n",
                    options.OutputPath.c_str(), result.FileCount, static_cast<long long>(result.InputBytes),
                    static_cast<long long>(result.ArchiveSize), static_cast<long long>(result.ArchiveOffset));
    }
    return 0;
}

int RunCheck(const std::vector<std::string>& args) {
    std::string versionText;
    bool json = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--version" && i + 1 < args.size())
            versionText = args[++i];
        else if (args[i] == "--json")
            json = true;
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw EUsage("Unknown option: " + args[i]);
        else
            positional.push_back(args[i]);
    }
    if (versionText.empty())
        throw EUsage("check needs --version");
    if (positional.size() != 1)
        throw EUsage("check needs a product folder");
    const std::vector<TDiagnostic> diagnostics = CheckProduct({positional[0], versionText, false});
    if (json)
        std::fputs(DiagnosticsJson(diagnostics).c_str(), stdout);
    else {
        for (const TDiagnostic& diagnostic : diagnostics)
            std::printf("%s\n", FormatDiagnostic(diagnostic).c_str());
    }
    return HasErrors(diagnostics) ? 1 : 0;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty())
        throw EUsage("No command given");
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (command == "pack")
        return RunPack(rest);
    if (command == "check")
        return RunCheck(rest);
    if (command == "list" && rest.size() == 1) {
        ListSetup(rest[0], std::cout);
        return 0;
    }
    if (command == "verify" && rest.size() == 1) {
        const TVerifyResult result = VerifySetup(rest[0]);
        std::printf("%s: setup data intact: %d files in %d folders, %lld bytes\n", rest[0].c_str(), result.Files,
                    result.Folders, static_cast<long long>(result.Bytes));
        return 0;
    }
    if (command == "extract" && rest.size() == 2) {
        if (rest[1].empty())
            throw EUsage("extract needs a destination folder");
        const TVerifyResult result = ExtractSetup(rest[0], rest[1]);
        std::printf("%s: %d files extracted into %s\n", rest[0].c_str(), result.Files, rest[1].c_str());
        return 0;
    }
    if (command == "list" || command == "verify" || command == "extract")
        throw EUsage("Wrong number of arguments for " + command);
    throw EUsage("Unknown command: " + command);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args);
    } catch (const EUsage& e) {
        std::fprintf(stderr, "setuppack: %s\n\n%s", e.what(), UsageText);
        return 2;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::fprintf(stderr, "setuppack: %s\n", e.what());
        return 1;
    }
}
