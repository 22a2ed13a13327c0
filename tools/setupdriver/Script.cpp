#include "tools/setupdriver/Script.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

} // namespace

std::vector<std::string> SplitWords(const std::string& line, const TVariableLookup& lookup) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false; // also true for an empty quoted word
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '$' && i + 1 < line.size() && line[i + 1] == '{') {
            // ${NAME}: the value is taken literally, blanks and backslashes included.
            size_t end = line.find('}', i + 2);
            if (end == std::string::npos)
                throw EScriptError("unterminated ${ in: " + line);
            std::string name = line.substr(i + 2, end - i - 2);
            std::optional<std::string> value = lookup(name);
            if (!value)
                throw EScriptError("undefined variable ${" + name + "}");
            word += *value;
            inWord = inWord || !value->empty();
            i = end;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && IsBlank(c)) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else if (quoted && c == '\\' && i + 1 < line.size()) {
            // Known escapes only; any other backslash stays, so that "C:\Program Files" works.
            switch (char e = line[i + 1]) {
            case 'r':
                word += '\r';
                ++i;
                break;
            case 'n':
                word += '\n';
                ++i;
                break;
            case 't':
                word += '\t';
                ++i;
                break;
            case '"':
            case '\\':
                word += e;
                ++i;
                break;
            default:
                word += c;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        throw EScriptError("unterminated quote in: " + line);
    if (inWord)
        words.push_back(word);
    return words;
}

std::vector<TCommand> ParseScript(const std::string& text, const std::string& source,
                                  const TVariableLookup& lookup) {
    std::vector<TCommand> commands;
    size_t start = 0;
    int lineNumber = 1;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos && line[first] != '#') {
            std::vector<std::string> words;
            try {
                words = SplitWords(line, lookup);
            } catch (const EScriptError& error) {
                throw EScriptError(source + ":" + std::to_string(lineNumber) + ": " + error.what());
            }
            // A line whose variables expanded to nothing holds no command.
            if (!words.empty()) {
                TCommand command;
                command.Source = source;
                command.Line = lineNumber;
                command.Name = words.front();
                command.Args.assign(words.begin() + 1, words.end());
                commands.push_back(command);
            }
        }
        start = end + 1;
        ++lineNumber;
    }
    return commands;
}

std::string QuoteWord(const std::string& word) {
    std::string result = "\"";
    for (char c : word) {
        switch (c) {
        case '\r':
            result += "\\r";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\t':
            result += "\\t";
            break;
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        default:
            result += c;
        }
    }
    return result + "\"";
}
