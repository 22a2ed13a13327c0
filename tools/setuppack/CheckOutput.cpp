// The check's findings as text lines and as JSON.

#include <algorithm>

#include "tools/setuppack/Checker.h"
#include "tools/setuppack/Json.h"

namespace {

const char* SeverityName(TSeverity severity) {
    return severity == TSeverity::Error     ? "error"
           : severity == TSeverity::Warning ? "warning"
                                            : "information";
}

} // namespace

bool HasErrors(const std::vector<TDiagnostic>& diagnostics) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [](const TDiagnostic& d) { return d.Severity == TSeverity::Error; });
}

std::string FormatDiagnostic(const TDiagnostic& diagnostic) {
    std::string where;
    if (!diagnostic.File.empty())
        where = diagnostic.File + (diagnostic.Line > 0 ? ":" + std::to_string(diagnostic.Line) : "") + ": ";
    return where + SeverityName(diagnostic.Severity) + ": " + diagnostic.Message;
}

std::string DiagnosticsJson(const std::vector<TDiagnostic>& diagnostics) {
    std::string out = "[";
    for (size_t i = 0; i < diagnostics.size(); ++i) {
        const TDiagnostic& d = diagnostics[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"file\": " + (d.File.empty() ? std::string("null") : JsonString(d.File));
        out += ", \"line\": " + (d.Line > 0 ? std::to_string(d.Line) : std::string("null"));
        out += ", \"severity\": \"" + std::string(SeverityName(d.Severity)) + "\"";
        out += ", \"message\": " + JsonString(d.Message) + "}";
    }
    return out + (diagnostics.empty() ? "]\n" : "\n]\n");
}
