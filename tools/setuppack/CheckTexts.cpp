// The setup files as text: encodings and byte-order marks, the picture, and symbols left in
// the texts the wizard shows.

#include "tools/setuppack/CheckContext.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/TextEncoding.h"
#include "setup/JpegDecoder.h"
#include "setup/SetupInstaller.h"
#include "tools/setuppack/CheckFindings.h"
#include "tools/setuppack/ToolData.h"

namespace Checking {

namespace {

const std::string Utf8Mark = "\xEF\xBB\xBF";

bool IsPlainAscii(const std::string& line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c != 0 && static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void TChecker::CheckText(const char* name) {
    const std::optional<fs::path> path = TopFile(name);
    if (!path)
        return;
    std::string text = ReadWholeFile(*path).value_or(std::string());
    // A UTF-16 text begins with its byte-order mark, FF FE (little-endian, as Windows editors
    // write it) or FE FF.
    if (text.size() >= 2 &&
        ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        Report(name, 0, fnUtf16Text);
        if (name != std::string(SetupLic))
            Fatal = true;
        return;
    }
    CheckByteOrderMark(name, text);
    Texts[name] = text;
    const std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsPlainAscii(line))
            continue;
        // Text in any other encoding is read byte by byte as Windows-1252. UTF-8 is the usual
        // case: every accented letter shows as two or three others.
        if (IsUtf8(line)) {
            Report(name, static_cast<int>(i + 1), fnUtf8Text);
            return;
        }
        // Bytes the code page leaves undefined, or NULs.
        for (const char c : line) {
            const auto b = static_cast<unsigned char>(c);
            if (b == 0 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
                Report(name, static_cast<int>(i + 1), fnNotWindows1252Text);
                return;
            }
        }
    }
}

// Reports and removes a UTF-8 byte-order mark. The setup program reads it as three characters
// of the first line: glued to a section header of Setup.ini it hides the section, glued to a
// bundle item it joins the item's name; before any other line, or in the license, it is only
// shown or ignored.
void TChecker::CheckByteOrderMark(const char* name, std::string& text) {
    if (text.rfind(Utf8Mark, 0) != 0)
        return;
    text.erase(0, Utf8Mark.size());
    const std::vector<std::string> lines = SplitLines(text);
    const std::string first = lines.empty() ? std::string() : TrimText(lines[0]);
    const bool joins = (name == std::string(SetupIni) && first.rfind('[', 0) == 0) ||
                       (name == std::string(BundleInfoIni) && first.find('=') != std::string::npos);
    if (joins)
        Report(name, 1, fnByteOrderMarkJoins, ProductText(first));
    else
        Report(name, 1, fnByteOrderMark);
}

void TChecker::CheckPicture() {
    const std::optional<fs::path> path = TopFile(SetupJpg);
    if (!path)
        return;
    const std::string bytes = ReadWholeFile(*path).value_or(std::string());
    std::vector<uint8_t> pixels;
    try {
        DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                   [&](int, int height, size_t stride) {
                       pixels.resize(stride * static_cast<size_t>(height));
                       return pixels.data();
                   });
    } catch (const std::exception& e) {
        Report(SetupJpg, 0, fnPictureUnreadable, e.what());
    }
}

// The first "$Name" (or, where custom folders apply, "%Name") left in an expanded text.
std::string LeftoverSymbol(const std::string& expanded, bool customFolders) {
    for (size_t i = 0; i + 1 < expanded.size(); ++i) {
        const char c = expanded[i];
        if ((c != '$' && !(customFolders && c == '%')) ||
            !std::isalpha(static_cast<unsigned char>(expanded[i + 1])))
            continue;
        size_t end = i + 1;
        while (end < expanded.size() &&
               (std::isalnum(static_cast<unsigned char>(expanded[end])) || expanded[end] == '_'))
            ++end;
        return expanded.substr(i, end - i);
    }
    return std::string();
}

void TChecker::CheckTextSymbols(int line, const std::string& expanded) {
    const std::string leftover = LeftoverSymbol(expanded, false);
    if (!leftover.empty())
        Report(SetupIni, line, fnSymbolNotExpanded, leftover);
}

} // namespace Checking
