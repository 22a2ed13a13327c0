#include "tools/setupdriver/Script.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TVariableLookup Variables(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        auto found = values.find(name);
        if (found == values.end())
            return std::nullopt;
        return found->second;
    };
}

TEST(ScriptTests, SplitsWordsAndQuotedWords) {
    auto none = Variables({});
    using W = std::vector<std::string>;
    EXPECT_EQ(SplitWords("press OK", none), (W{"press", "OK"}));
    EXPECT_EQ(SplitWords("  expect-window \"Application Error\"  ", none),
              (W{"expect-window", "Application Error"}));
    EXPECT_EQ(SplitWords("set-text #1001 \"\"", none), (W{"set-text", "#1001", ""}));
    EXPECT_EQ(SplitWords("a\t\"b c\"d", none), (W{"a", "b cd"})) << "a quote ends the quoting, not the word";
    EXPECT_EQ(SplitWords("line\r", none), (W{"line"})) << "a CR of a CRLF file is a blank";
    EXPECT_TRUE(SplitWords("   ", none).empty());
}

TEST(ScriptTests, EscapesInQuotedWords) {
    auto none = Variables({});
    EXPECT_EQ(SplitWords(R"(expect-text "one\rtwo\n\t\"q\" \\")", none)[1], "one\rtwo\n\t\"q\" \\");
    // Outside quotes a backslash is an ordinary character (Windows paths).
    EXPECT_EQ(SplitWords(R"(start C:\dir\Setup.exe)", none)[1], R"(C:\dir\Setup.exe)");
    EXPECT_EQ(SplitWords(R"(x "C:\Program Files\Setup.exe")", none)[1], R"(C:\Program Files\Setup.exe)")
        << "a backslash that starts no escape stays";
    EXPECT_THROW(SplitWords(R"(x "open)", none), EScriptError);
    EXPECT_THROW(SplitWords(R"(x "ends in \)", none), EScriptError);
}

TEST(ScriptTests, ExpandsVariablesLiterally) {
    auto vars = Variables({{"DIR", "Z:\\tmp\\my folder"}, {"EMPTY", ""}});
    EXPECT_EQ(SplitWords("start \"${DIR}\\Setup.exe\"", vars)[1], "Z:\\tmp\\my folder\\Setup.exe");
    EXPECT_EQ(SplitWords("echo $HOME ${EMPTY}x", vars), (std::vector<std::string>{"echo", "$HOME", "x"}));
    EXPECT_EQ(SplitWords("echo ${DIR}", vars).size(), 2u) << "a value's blanks do not split it";
    EXPECT_EQ(SplitWords(R"(echo "${DIR}\\readme")", vars)[1], "Z:\\tmp\\my folder\\readme")
        << "the value's \\t is no escape; the script's own \\\\ is";
    EXPECT_THROW(SplitWords("start ${MISSING}", vars), EScriptError);
    EXPECT_THROW(SplitWords("start ${DIR", vars), EScriptError);
}

TEST(ScriptTests, ParsesLinesWithNumbersAndSkipsComments) {
    std::string text = "# a comment\r\nstart Setup.exe\r\n\r\n   # indented comment\nexpect-window "
                       "\"Setup\"\n${EMPTY}\npress OK";
    auto commands = ParseScript(text, "t.txt", Variables({{"EMPTY", ""}}));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].Name, "start");
    EXPECT_EQ(commands[0].Line, 2);
    EXPECT_EQ(commands[0].Args, std::vector<std::string>{"Setup.exe"});
    EXPECT_EQ(commands[1].Line, 5);
    EXPECT_EQ(commands[2].Name, "press");
    EXPECT_EQ(commands[2].Line, 7);
    EXPECT_EQ(commands[2].Source, "t.txt");
}

TEST(ScriptTests, ErrorsNameTheLine) {
    try {
        ParseScript("press OK\npress \"Cancel", "s.txt", Variables({}));
        FAIL() << "no error";
    } catch (const EScriptError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("s.txt:2: ", 0), 0u) << error.what();
    }
}

TEST(ScriptTests, QuoteWordRoundTrips) {
    for (std::string word : {"", "OK", "a \"b\"\r\nc\\d\te"}) {
        auto words = SplitWords("x " + QuoteWord(word), Variables({}));
        ASSERT_EQ(words.size(), 2u);
        EXPECT_EQ(words[1], word);
    }
}

} // namespace
