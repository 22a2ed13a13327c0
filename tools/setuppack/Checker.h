// Checking a product folder before it is packed: it is loaded the way the setup program loads
// it (the same INI reader, configuration loader, symbol expansion, bundle items, version type,
// folder pattern formatter and picture decoder), and what would stop the setup program or make
// it install other than the vendor meant is reported with the file and line it comes from.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/SetupPlan.h"

// Information says something the vendor should know that is no mistake; it never fails a check.
enum class TSeverity { Error, Warning, Information };

// The check's texts are UTF-8: the product's setup files are read into the code page the tool
// runs with, as the setup program reads them, and the tool runs in UTF-8 (natively, and on
// Windows by the UTF-8 code page its manifest declares), so the controller's texts, the plan's
// paths and the file system's names are all UTF-8 and compare as they are.
struct TDiagnostic {
    std::string File; // as named in the product folder ("Setup.ini"); empty for the command line
    int Line = 0;     // counted from 1; 0 for the file as a whole
    TSeverity Severity = TSeverity::Error;
    std::string Message; // UTF-8; information may hold several lines
};

struct TCheckOptions {
    std::string ProductFolder;
    std::string VersionText;
    // A setup program of the last release, whose installation this one should find (empty:
    // none).
    std::string PreviousSetup;
    // The build time of day is given apart from the version, which then need not be one.
    bool TimeGiven = false;
    // Called now and then with the work done and the whole, for a long check's progress.
    std::function<void(int64_t done, int64_t total)> Progress;
};

// Every finding, ordered by file and line, then any information.
std::vector<TDiagnostic> CheckProduct(const TCheckOptions& options);

// The check's findings and the plans of the installation it computed: the default choices
// first, then each other choice the wizard offers; none when the setup program would stop.
struct TProductPlans {
    std::vector<TDiagnostic> Diagnostics;
    std::vector<TPlan> Plans;
};
TProductPlans PlanProduct(const TCheckOptions& options);

bool HasErrors(const std::vector<TDiagnostic>& diagnostics);
// "Setup.ini:12: error: ..." as compilers write it ("Setup.jpg: error: ..." without a line,
// "error: ..." without a file, "information: ..." for information).
std::string FormatDiagnostic(const TDiagnostic& diagnostic);
// A JSON array of {"file", "line", "severity", "message"}, for build scripts; file and line
// are null where there is none; severity is "error", "warning" or "information".
std::string DiagnosticsJson(const std::vector<TDiagnostic>& diagnostics);
