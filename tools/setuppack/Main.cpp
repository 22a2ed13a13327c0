// setuppack: builds a setup program from a product folder, and lists, verifies and extracts
// existing ones. Exit codes: 0 done, 1 failed, 2 wrong command line.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
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
#include "tools/setuppack/PackRules.h"
#include "tools/setuppack/Packer.h"
#include "tools/setuppack/PlanOutput.h"
#include "tools/setuppack/Preview.h"
#include "tools/setuppack/ToolData.h"

namespace {

const char* const UsageText =
    "Usage:\n"
    "  setuppack pack --version VERSION [options] PRODUCT_FOLDER OUTPUT\n"
    "  setuppack check PRODUCT_FOLDER --version VERSION [options]\n"
    "  setuppack plan [--json] PRODUCT_FOLDER --version VERSION\n"
    "  setuppack list [--json] [--quiet] SETUP\n"
    "  setuppack verify [--quiet] SETUP\n"
    "  setuppack extract [--quiet] SETUP DESTINATION\n"
    "  setuppack preview [options] PRODUCT_FOLDER OUT_DIR\n"
    "  setuppack --version\n"
    "\n"
    "pack   Packs PRODUCT_FOLDER into setup data. Its top-level files (Setup.ini, Setup.lic,\n"
    "       Setup.jpg, BundleInfo.ini, ...) become top-level files of the archive, its\n"
    "       top-level folders become components. Files named .keep are left out; they only\n"
    "       keep otherwise empty folders in version control.\n"
    "       --version VERSION   product version, for example 5.04 or \"5.04 beta 2\" (required)\n"
    "       --stub SETUP_EXE    append the archive to a copy of this setup program (an archive\n"
    "                           it already carries is cut off). Without it, an OUTPUT ending in\n"
    "                           .exe gets the Setup.exe installed with setuppack, and any other\n"
    "                           OUTPUT is a Setup.dat\n"
    "       --date YYYY-MM-DD   build date (default: the date of SOURCE_DATE_EPOCH in UTC\n"
    "                           when that is set, as reproducible builds do; else today)\n"
    "       --time HH:MM[:SS]   build time of day (default: the version, 5.04 gives 05:04)\n"
    "       --jobs N            compressing threads (default: one per processor)\n"
    "       --quiet             no progress and no summary\n"
    "       --ignore-errors     pack even when the check finds errors\n"
    "check    Loads PRODUCT_FOLDER as the setup program will and reports what would stop it\n"
    "         (errors, exit code 1) or make it install other than meant (warnings), as\n"
    "         FILE:LINE: error|warning: MESSAGE lines, then, once, which names and texts\n"
    "         older Windows cannot show (information). pack runs the same check first and\n"
    "         refuses a product with errors.\n"
    "         --version, --date and --time as for pack\n"
    "         --json    a JSON array of {file, line, severity, message} instead\n"
    "         --quiet   no progress\n"
    "         --previous SETUP  a setup program of the last release: reports whether this\n"
    "                   release finds the installation it leaves, and the files NoOverwrite\n"
    "                   keeps although this release brings other ones\n"
    "plan     Shows what an installation of PRODUCT_FOLDER does: every folder, file (with its\n"
    "         final name), shortcut, registry value and library call, and the install log the\n"
    "         uninstaller replays, for the default choices; then, for each other choice the\n"
    "         wizard offers, what it leaves out or adds. The machine is a fresh one with every\n"
    "         plug-in host installed (C:\\Program Files, the user User). Runs the check first\n"
    "         and prints its findings; exit code 1 when it finds errors.\n"
    "         --version as for check\n"
    "         --json    every choice in full as one JSON object, for build scripts\n"
    "list     Shows the version, build date and entries of a setup program or Setup.dat, and\n"
    "         whether a code signature follows the setup data. --json prints the same as one\n"
    "         JSON object, for build scripts.\n"
    "verify   Checks the header, checksum and structure as the setup program does, and\n"
    "         inflates every member. Bytes after the setup data are accepted only as the\n"
    "         program's Authenticode signature.\n"
    "extract  Verifies, then writes every member into DESTINATION (a new or empty folder).\n"
    "check, list, verify and extract show their progress on a terminal; --quiet turns it off.\n"
    "preview  Packs PRODUCT_FOLDER into a temporary setup program, runs it under Wine in a\n"
    "         throwaway prefix on a private virtual display (Wine and Xvfb must be installed),\n"
    "         goes through every page its configuration shows with the default choices,\n"
    "         installing into the throwaway prefix, and saves a picture of each page as\n"
    "         OUT_DIR/96dpi/NN-page.png (NN: the page's place in the wizard).\n"
    "       --version VERSION   product version the pages show (default 1.00)\n"
    "       --stub SETUP_EXE    the setup program to run (default: the installed Setup.exe)\n"
    "       --hidpi             also at 144 pixels per inch, into OUT_DIR/144dpi\n"
    "       --keep              keep the temporary folder (prefix, setup program, logs)\n"
    "       --locale LOCALE     as on a system of that language, for example ru_RU.UTF-8\n"
    "                           (Cyrillic, code page 1251); the locale must be installed\n";

class EUsage : public std::exception {
public:
    explicit EUsage(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

private:
    std::string Message;
};

// Shown only once a run has taken a second: a bar on a terminal; when the output is not a
// terminal, a line per tenth for pack, whose log a build keeps, and nothing for the others.
class TProgressDisplay {
public:
    enum TUnit { puBytes, puEntries };
    TProgressDisplay(bool quiet, const char* verb, TUnit unit, bool linesOffTerminal = false)
        : Quiet(quiet), Terminal(isatty(fileno(stderr)) != 0), Verb(verb), Unit(unit),
          LinesOffTerminal(linesOffTerminal) {}
    ~TProgressDisplay() { End(); }

    // A new bar for the next stage of the work.
    void Stage(const char* verb) {
        if (std::strcmp(verb, Verb) == 0)
            return;
        if (Terminal && Shown)
            std::fputc('\n', stderr);
        Shown = false;
        Verb = verb;
    }

    // Ends the bar's line, before the command prints its result.
    void End() {
        if (Terminal && Shown)
            std::fputc('\n', stderr);
        Shown = false;
        Quiet = true;
    }

    void Update(int64_t done, int64_t total) {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (Quiet || total <= 0 || now - Start < seconds(1) ||
            (now - LastShown < milliseconds(200) && done < total))
            return;
        LastShown = now;
        const int percent = static_cast<int>(done * 100 / total);
        if (Terminal) {
            const int width = 40;
            const int filled = percent * width / 100;
            std::fprintf(stderr, "\r%s [%s%s] %3d%%  %s", Verb, std::string(filled, '#').c_str(),
                         std::string(width - filled, '.').c_str(), percent, Amount(done, total).c_str());
            std::fflush(stderr);
            Shown = true;
        } else if (LinesOffTerminal && percent / 10 > LastTenth) {
            LastTenth = percent / 10;
            std::fprintf(stderr, "%s: %d%% (%s)\n", Verb, percent, Amount(done, total).c_str());
        }
    }

private:
    bool Quiet;
    bool Terminal;
    const char* Verb;
    TUnit Unit;
    bool LinesOffTerminal;
    bool Shown = false;
    int LastTenth = -1;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point LastShown;

    std::string Amount(int64_t done, int64_t total) const {
        char text[64];
        if (Unit == puBytes)
            std::snprintf(text, sizeof text, "%.1f of %.1f MB", done / 1048576.0, total / 1048576.0);
        else
            std::snprintf(text, sizeof text, "%lld of %lld", static_cast<long long>(done),
                          static_cast<long long>(total));
        return text;
    }
};

// One option of a command: a flag, or an option followed by its value, which Set receives.
struct TOption {
    const char* Name;
    bool TakesValue;
    std::function<void(const std::string& value)> Set;
};

// Reads a command's options, given in any order among its other arguments, and returns those
// arguments in their order. An argument starting with "-" that names no option is a usage
// error; "-" alone is an ordinary argument.
std::vector<std::string> ReadOptions(const std::vector<std::string>& args,
                                     const std::vector<TOption>& options) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const TOption& known) { return arg == known.Name; });
        if (option == options.end()) {
            if (arg.size() > 1 && arg[0] == '-')
                throw EUsage("Unknown option: " + arg);
            positional.push_back(arg);
        } else if (!option->TakesValue) {
            option->Set(std::string());
        } else {
            if (i + 1 >= args.size())
                throw EUsage("Missing value after " + arg);
            option->Set(args[++i]);
        }
    }
    return positional;
}

// What pack and check both take, as pack builds and check judges the same build: the version,
// the build date and time, and --quiet.
struct TBuildOptions {
    std::string VersionText;
    std::string DateText;
    std::string TimeText;
    bool Quiet = false;
};

// The one table of those options, followed by a command's own.
std::vector<TOption> BuildOptionTable(TBuildOptions& build, const std::vector<TOption>& own) {
    std::vector<TOption> table = {
        {"--version", true, [&build](const std::string& value) { build.VersionText = value; }},
        {"--date", true, [&build](const std::string& value) { build.DateText = value; }},
        {"--time", true, [&build](const std::string& value) { build.TimeText = value; }},
        {"--quiet", false, [&build](const std::string&) { build.Quiet = true; }},
    };
    table.insert(table.end(), own.begin(), own.end());
    return table;
}

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

// The build date when --date is not given: SOURCE_DATE_EPOCH (seconds since 1970, taken as
// UTC so that the result does not depend on the builder's time zone), as reproducible builds
// set it; otherwise today's local date.
void BuildDateFromEnvironment(int& year, int& month, int& day) {
    const char* epochText = std::getenv("SOURCE_DATE_EPOCH");
    std::tm parts{};
    if (epochText != nullptr && *epochText != '\0') {
        char* end = nullptr;
        errno = 0;
        const long long seconds = std::strtoll(epochText, &end, 10);
        if (*end != '\0' || errno != 0 || seconds < 0 || *epochText < '0' || *epochText > '9')
            throw Exception(std::string("SOURCE_DATE_EPOCH is not a number of seconds: ") + epochText);
        const std::time_t when = static_cast<std::time_t>(seconds);
#ifdef _WIN32
        const bool converted = gmtime_s(&parts, &when) == 0;
#else
        const bool converted = gmtime_r(&when, &parts) != nullptr;
#endif
        if (!converted)
            throw Exception(std::string("SOURCE_DATE_EPOCH is out of range: ") + epochText);
    } else {
        const std::time_t now = std::time(nullptr);
        parts = *std::localtime(&now);
    }
    year = parts.tm_year + 1900;
    month = parts.tm_mon + 1;
    day = parts.tm_mday;
    if (year < 1980 || year > 2107)
        throw Exception("The build date " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                        std::to_string(day) + " lies outside 1980 to 2107; give --date");
}

// The archive's build date: the date given or the default one, at the time given or the one
// the version stands for.
double BuildDateOf(const std::string& dateText, const std::string& timeText, const TProgramVersion& version) {
    int year, month, day;
    if (dateText.empty()) {
        BuildDateFromEnvironment(year, month, day);
    } else {
        ParseDate(dateText, year, month, day);
    }
    int seconds;
    if (!timeText.empty()) {
        seconds = ParseTime(timeText);
    } else if (const std::optional<int> fromVersion = VersionTimeOfDay(version)) {
        seconds = *fromVersion;
    } else {
        throw EUsage("Version " + version.ToText() + " cannot serve as a time of day; give --time");
    }
    return Archive::EncodeDateTime(year, month, day, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// The version a command line gives, refused unless it reads back as written or as the same
// value in another spelling ("1.0" as 1.00, which check reports): the setup program would
// install and register what it reads.
TProgramVersion VersionAsWritten(const std::string& text) {
    const TVersionReading reading = ReadVersion(text);
    if (!reading.AsWritten && !reading.SameValue)
        throw EPackError("Version " + VersionNotAsWritten(text, reading.Version));
    return reading.Version;
}

int RunPack(const std::vector<std::string>& args) {
    TPackOptions options;
    TBuildOptions build;
    bool ignoreErrors = false;
    const std::vector<TOption> own = {
        {"--stub", true, [&](const std::string& value) { options.StubPath = value; }},
        {"--jobs", true,
         [&](const std::string& value) {
             options.Jobs = static_cast<unsigned>(ParseNumber(value, "number of jobs"));
         }},
        {"--ignore-errors", false, [&](const std::string&) { ignoreErrors = true; }},
    };
    const std::vector<std::string> positional = ReadOptions(args, BuildOptionTable(build, own));
    const std::string& versionText = build.VersionText;
    const bool quiet = build.Quiet;
    if (versionText.empty())
        throw EUsage("pack needs --version");
    if (positional.size() != 2)
        throw EUsage("pack needs a product folder and an output file");
    options.ProductFolder = positional[0];
    options.OutputPath = positional[1];
    if (options.StubPath.empty() && IsProgramName(options.OutputPath))
        options.StubPath = ToolDataFile("Setup.exe", "installed Setup.exe to use as the stub (give --stub)");
    options.Version = VersionAsWritten(versionText);
    options.BuildDate = BuildDateOf(build.DateText, build.TimeText, options.Version);

    // The version and the time of day are settled above; the check looks at the rest.
    TCheckOptions check;
    check.ProductFolder = options.ProductFolder;
    check.VersionText = versionText;
    check.TimeGiven = true;
    TProgressDisplay checking(quiet, "checking", TProgressDisplay::puEntries);
    check.Progress = [&](int64_t done, int64_t total) { checking.Update(done, total); };
    const std::vector<TDiagnostic> diagnostics = CheckProduct(check);
    checking.End();
    for (const TDiagnostic& diagnostic : diagnostics)
        std::fprintf(stderr, "%s\n", FormatDiagnostic(diagnostic).c_str());
    // Not to be overridden: without them in its setup data, the program would read them from
    // beside itself.
    const std::vector<std::string> missing = MissingRequiredFiles(options.ProductFolder);
    if (!missing.empty())
        throw EPackError("The product folder has no " + missing.front() + "; nothing was packed");
    if (HasErrors(diagnostics)) {
        if (!ignoreErrors)
            throw EPackError("The product folder has errors; nothing was packed (--ignore-errors packs anyway)");
        std::fprintf(stderr, "setuppack: packing despite the errors above (--ignore-errors)\n");
    }

    TProgressDisplay progress(quiet, "packing", TProgressDisplay::puBytes, true);
    options.Progress = [&](int64_t done, int64_t total) { progress.Update(done, total); };
    const TPackResult result = PackProduct(options);
    progress.End();
    if (!quiet) {
        std::printf("%s: version %s, %d files, %lld bytes packed into %lld bytes of setup data at "
                    "offset %lld\n",
                    options.OutputPath.c_str(), options.Version.ToText().c_str(), result.FileCount,
                    static_cast<long long>(result.InputBytes),
                    static_cast<long long>(result.ArchiveSize), static_cast<long long>(result.ArchiveOffset));
    }
    return 0;
}

int RunPreview(const std::vector<std::string>& args) {
    TPreviewOptions options;
    std::string versionText = "1.00";
    const std::vector<TOption> known = {
        {"--version", true, [&](const std::string& value) { versionText = value; }},
        {"--stub", true, [&](const std::string& value) { options.StubPath = value; }},
        {"--hidpi", false, [&](const std::string&) { options.Dpis.push_back(144); }},
        {"--keep", false, [&](const std::string&) { options.Keep = true; }},
        {"--locale", true, [&](const std::string& value) { options.Locale = value; }},
    };
    const std::vector<std::string> positional = ReadOptions(args, known);
    if (positional.size() != 2)
        throw EUsage("preview needs a product folder and an output folder");
    options.ProductFolder = positional[0];
    options.OutputFolder = positional[1];
    options.Version = VersionAsWritten(versionText);
    // Midnight for a version that stands for no time of day: the pages do not show the time.
    options.BuildDate = BuildDateOf("", VersionTimeOfDay(options.Version) ? "" : "00:00", options.Version);
    for (const TPreviewPage& page : PreviewProduct(options, std::cout))
        std::printf("%s\n", page.Path.c_str());
    return 0;
}

int RunCheck(const std::vector<std::string>& args) {
    TBuildOptions build;
    std::string previous;
    bool json = false;
    const std::vector<TOption> own = {
        {"--json", false, [&](const std::string&) { json = true; }},
        {"--previous", true, [&](const std::string& value) { previous = value; }},
    };
    const std::vector<std::string> positional = ReadOptions(args, BuildOptionTable(build, own));
    const std::string& versionText = build.VersionText;
    const std::string& timeText = build.TimeText;
    const bool quiet = build.Quiet;
    if (versionText.empty())
        throw EUsage("check needs --version");
    if (positional.size() != 1)
        throw EUsage("check needs a product folder");
    // The date and time are refused as pack refuses them; whether the version can stand for
    // the time of day is the check's own finding.
    BuildDateOf(build.DateText, timeText.empty() ? "00:00" : timeText, TProgramVersion());

    TProgressDisplay progress(quiet || json, "checking", TProgressDisplay::puEntries);
    TCheckOptions options;
    options.ProductFolder = positional[0];
    options.VersionText = versionText;
    options.TimeGiven = !timeText.empty();
    options.PreviousSetup = previous;
    options.Progress = [&](int64_t done, int64_t total) { progress.Update(done, total); };
    const std::vector<TDiagnostic> diagnostics = CheckProduct(options);
    progress.End();
    if (json)
        std::fputs(DiagnosticsJson(diagnostics).c_str(), stdout);
    else {
        for (const TDiagnostic& diagnostic : diagnostics)
            std::printf("%s\n", FormatDiagnostic(diagnostic).c_str());
    }
    return HasErrors(diagnostics) ? 1 : 0;
}

int RunPlan(const std::vector<std::string>& args) {
    std::string versionText;
    bool json = false;
    const std::vector<TOption> known = {
        {"--version", true, [&](const std::string& value) { versionText = value; }},
        {"--json", false, [&](const std::string&) { json = true; }},
    };
    const std::vector<std::string> positional = ReadOptions(args, known);
    if (versionText.empty())
        throw EUsage("plan needs --version");
    if (positional.size() != 1)
        throw EUsage("plan needs a product folder");
    TCheckOptions options;
    options.ProductFolder = positional[0];
    options.VersionText = versionText;
    // The plan does not depend on the time of day of the build.
    options.TimeGiven = true;
    const TProductPlans result = PlanProduct(options);
    // The findings go with the plan, on the error stream, so that --json stays one object.
    for (const TDiagnostic& diagnostic : result.Diagnostics)
        std::fprintf(stderr, "%s\n", FormatDiagnostic(diagnostic).c_str());
    std::fputs((json ? PlanJson(result.Plans) : PlanText(result.Plans)).c_str(), stdout);
    return HasErrors(result.Diagnostics) ? 1 : 0;
}

// list, verify and extract: SETUP (and DESTINATION), --json for list, --quiet.
int RunArchiveCommand(const std::string& command, const std::vector<std::string>& args) {
    bool json = false;
    bool quiet = false;
    std::vector<TOption> known = {{"--quiet", false, [&](const std::string&) { quiet = true; }}};
    if (command == "list")
        known.push_back({"--json", false, [&](const std::string&) { json = true; }});
    const std::vector<std::string> positional = ReadOptions(args, known);
    if (positional.size() != (command == "extract" ? 2u : 1u))
        throw EUsage("Wrong number of arguments for " + command);
    const std::string& setup = positional[0];
    TProgressDisplay progress(quiet, "reading", TProgressDisplay::puBytes);
    const auto update = [&](const char* stage, int64_t done, int64_t total) {
        progress.Stage(stage);
        progress.Update(done, total);
    };
    if (command == "list") {
        // The list goes to standard output once the setup data is read, after the bar.
        std::ostringstream list;
        if (json)
            ListSetupJson(setup, list, update);
        else
            ListSetup(setup, list, update);
        progress.End();
        std::cout << list.str();
        return 0;
    }
    if (command == "verify") {
        const TVerifyResult result = VerifySetup(setup, update);
        progress.End();
        std::printf("%s: setup data intact: %d files in %d folders, %lld bytes\n", setup.c_str(),
                    result.Files, result.Folders, static_cast<long long>(result.Bytes));
        return 0;
    }
    if (positional[1].empty())
        throw EUsage("extract needs a destination folder");
    const TVerifyResult result = ExtractSetup(setup, positional[1], update);
    progress.End();
    std::printf("%s: %d files extracted into %s\n", setup.c_str(), result.Files, positional[1].c_str());
    return 0;
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
    if (command == "--version" && rest.empty()) {
        std::printf("setuppack %s\n", SETUPPACK_VERSION);
        return 0;
    }
    if (command == "pack")
        return RunPack(rest);
    if (command == "check")
        return RunCheck(rest);
    if (command == "plan")
        return RunPlan(rest);
    if (command == "preview")
        return RunPreview(rest);
    if (command == "list" || command == "verify" || command == "extract")
        return RunArchiveCommand(command, rest);
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
