// The driver's script language: one command per line, words separated by blanks, "#"
// starts a comment line. Double quotes group blanks into a word and may stand anywhere in
// it; inside them \r \n \t \" \\ are escapes and any other backslash is kept as it is
// (so write "\\" before r, n or t in a quoted path). ${NAME} is replaced by the value of a
// variable given on the command line or of an environment variable, taken literally.
// Portable, so that it is tested natively.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct TCommand {
    std::string Source; // script file name or "-e", for messages
    int Line = 0;
    std::string Name;
    std::vector<std::string> Args;
};

class EScriptError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Looks up a variable; no value means the variable is not defined.
using TVariableLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Splits one line into words. EScriptError on an unterminated quote or an undefined
// variable.
std::vector<std::string> SplitWords(const std::string& line, const TVariableLookup& lookup);

// Parses a whole script from source (a file name or "-e", for messages).
std::vector<TCommand> ParseScript(const std::string& text, const std::string& source,
                                  const TVariableLookup& lookup);

// A word as the script would write it, for messages: quoted with escapes when needed.
std::string QuoteWord(const std::string& word);
