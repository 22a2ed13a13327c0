// Configuration texts: "Name=Value" lines, and an in-memory INI file read once from a list of
// lines (Setup.ini). Portable. The line splitting and trimming it builds on are the shared
// text helpers of CommonUtils.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/CommonUtils.h"

// The parts of a "Name=Value" line: the text before its first "=" and the text after it.
// A line without "=" has an empty name and an empty value.
std::string LineName(const std::string& line);
std::string LineValue(const std::string& line);

// An INI text held in memory. Lines are trimmed; empty lines and lines starting with ";" are
// comments; "[name]" starts a section; lines before the first section are ignored. When a
// section name occurs more than once, only the last section of that name counts. Inside a
// section a line with "=" is kept as "Name=Value" with both parts trimmed, any other line as
// it is. Section and key names are compared without regard to the case of ASCII letters.
class TIniFile {
public:
    explicit TIniFile(const std::vector<std::string>& lines);

    // The value of the last line of the section whose name is key; defaultValue when the
    // section or the key is missing. A key present with an empty value gives "".
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // The value read as an integer by the shared conversion (decimal, or hexadecimal after
    // "$" or "0x"): 0 is false, any other number true; defaultValue when the key is missing
    // or the value is not a number.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    // All lines of a section in file order, duplicates included; empty when it is missing.
    std::vector<std::string> ReadSection(const std::string& section) const;
    bool SectionExists(const std::string& section) const;

    // Where things stand in the list of lines given to the constructor, counted from 1, for
    // tools that point a vendor at a line. A section as read, with its header's line and the
    // line of each kept line (parallel to ReadSection).
    struct TSectionLines {
        std::string Name;
        int HeaderLine = 0;
        std::vector<int> LineNumbers;
    };
    // The sections that count, in the order of their first header.
    std::vector<std::string> SectionNames() const;
    // The section's header line and line numbers; HeaderLine 0 when the section is missing.
    TSectionLines SectionLines(const std::string& section) const;
    // Header lines of sections that a later section of the same name replaced.
    const std::vector<std::pair<std::string, int>>& ReplacedSections() const { return Replaced; }

private:
    struct TSection {
        std::string Name;
        std::vector<std::string> Lines;
        int HeaderLine = 0;
        std::vector<int> LineNumbers;
    };
    std::vector<std::pair<std::string, int>> Replaced;
    std::vector<TSection> Sections;

    const TSection* FindSection(const std::string& name) const;
};
