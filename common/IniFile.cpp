// The in-memory INI file and the "Name=Value" line helpers that configuration readers share.

#include "common/IniFile.h"

#include <cstdint>

#include "common/CommonUtils.h"

std::string LineName(const std::string& line) {
    const size_t at = line.find('=');
    return at == std::string::npos ? std::string() : line.substr(0, at);
}

std::string LineValue(const std::string& line) {
    const size_t at = line.find('=');
    return at == std::string::npos ? std::string() : line.substr(at + 1);
}

TIniFile::TIniFile(const std::vector<std::string>& lines) {
    TSection* current = nullptr;
    int number = 0;
    for (const std::string& raw : lines) {
        ++number;
        const std::string line = TrimText(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = TrimText(line.substr(1, line.size() - 2));
            // A repeated section replaces the earlier one of that name.
            current = nullptr;
            for (TSection& section : Sections) {
                if (SameText(section.Name, name)) {
                    current = &section;
                    Replaced.emplace_back(current->Name, current->HeaderLine);
                    current->Lines.clear();
                    current->LineNumbers.clear();
                    current->HeaderLine = number;
                    break;
                }
            }
            if (current == nullptr) {
                Sections.push_back({name, {}, number, {}});
                current = &Sections.back();
            }
            continue;
        }
        if (current == nullptr)
            continue;
        current->LineNumbers.push_back(number);
        const size_t at = line.find('=');
        if (at == std::string::npos)
            current->Lines.push_back(line);
        else
            current->Lines.push_back(TrimText(line.substr(0, at)) + "=" + TrimText(line.substr(at + 1)));
    }
}

const TIniFile::TSection* TIniFile::FindSection(const std::string& name) const {
    for (const TSection& section : Sections) {
        if (SameText(section.Name, name))
            return &section;
    }
    return nullptr;
}

bool TIniFile::SectionExists(const std::string& section) const { return FindSection(section) != nullptr; }

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    const TSection* found = FindSection(section);
    if (found == nullptr)
        return defaultValue;
    for (auto it = found->Lines.rbegin(); it != found->Lines.rend(); ++it) {
        const size_t at = it->find('=');
        if (at != std::string::npos && SameText(std::string_view(*it).substr(0, at), key))
            return it->substr(at + 1);
    }
    return defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    int32_t value;
    if (!TryStrToInt(ReadString(section, key, std::string()), value))
        return defaultValue;
    return value != 0;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    const TSection* found = FindSection(section);
    return found != nullptr ? found->Lines : std::vector<std::string>();
}

std::vector<std::string> TIniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const TSection& section : Sections)
        names.push_back(section.Name);
    return names;
}

TIniFile::TSectionLines TIniFile::SectionLines(const std::string& section) const {
    const TSection* found = FindSection(section);
    if (found == nullptr)
        return {section, 0, {}};
    return {found->Name, found->HeaderLine, found->LineNumbers};
}
