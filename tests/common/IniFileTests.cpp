#include "common/IniFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(SplitLinesTest, BreaksAtCarriageReturnLineFeedOrBoth) {
    struct TCase {
        const char* Text;
        std::vector<std::string> Lines;
    };
    const TCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},          // a final break starts no further line
        {"a\n\rb", {"a", "", "b"}}, // LF CR is two breaks
        {"\r\n\r\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SplitLines(c.Text), c.Lines) << c.Text;
}

TEST(IniFileTest, LooksUpKeys) {
    struct TCase {
        const char* Name;
        const char* Text;
        const char* Section;
        const char* Key;
        std::optional<std::string> Expected; // none: the default
    };
    const TCase cases[] = {
        {"plain", "[Setup]\nProductName=Velmora", "Setup", "ProductName", "Velmora"},
        {"blanks around the parts", "[Setup]\n  productname  =  Velmora  \t", "Setup", "ProductName", "Velmora"},
        {"control characters trimmed", "\x01[Setup]\x1F\n\tName=a b\x7F\x02", "Setup", "Name", "a b\x7F"},
        {"upper-half characters kept", "[Setup]\nName=\xE9t\xE9\xA0", "Setup", "Name", "\xE9t\xE9\xA0"},
        {"CR line breaks", "[Setup]\rA=1\rB=2", "Setup", "B", "2"},
        {"section name trimmed and any case", "[  sEtUp ]\nA=1", "SETUP", "A", "1"},
        {"value holds =", "[S]\nA= x = y ", "S", "A", "x = y"},
        {"empty value is not the default", "[S]\nA=", "S", "A", ""},
        {"last line of a key wins", "[S]\nA=1\nB=2\na=3", "S", "A", "3"},
        {"last section of a name wins", "[S]\nA=1\nB=2\n[T]\n[s]\nA=4", "S", "A", "4"},
        {"earlier section of that name is forgotten", "[S]\nA=1\nB=2\n[T]\n[s]\nA=4", "S", "B", std::nullopt},
        {"comment", "[S]\n;A=1", "S", "A", std::nullopt},
        {"comment after blanks", "[S]\n   ;A=1", "S", "A", std::nullopt},
        {"semicolon inside a value", "[S]\nA=1;2", "S", "A", "1;2"},
        {"lines before the first section", "A=1\n[S]\nB=2", "S", "A", std::nullopt},
        {"missing section", "[S]\nA=1", "T", "A", std::nullopt},
        {"line without =", "[S]\nA", "S", "A", std::nullopt},
        {"unclosed header is a line of the section", "[S]\n[T\nA=1", "S", "A", "1"},
        {"key of another section", "[S]\nA=1\n[T]\nB=2", "S", "B", std::nullopt},
        {"empty section name", "[]\nA=1", "", "A", "1"},
    };
    for (const TCase& c : cases) {
        const TIniFile ini(SplitLines(c.Text));
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "<default>"), c.Expected.value_or("<default>")) << c.Name;
    }
}

TEST(IniFileTest, ReadsBooleansAsIntegers) {
    struct TCase {
        const char* Line; // in section [S]
        bool Default;
        bool Expected;
    };
    const TCase cases[] = {
        {"B=0", true, false},   {"B=1", false, true},    {"B=-1", false, true},  {"B=2", false, true},
        {"B=$0", true, false},  {"B=0x10", false, true}, {"B=abc", true, true},  {"B=abc", false, false},
        {"B=", true, true},     {"B=", false, false},    {"B= 0 ", true, false}, {"B=1.0", false, false},
        {"Other=0", true, true}, {"B=0 0", true, true},
    };
    for (const TCase& c : cases) {
        const TIniFile ini({"[S]", c.Line});
        EXPECT_EQ(ini.ReadBool("S", "B", c.Default), c.Expected) << c.Line << " default " << c.Default;
    }
}

TEST(IniFileTest, ReadsSectionsWhole) {
    const TIniFile ini(SplitLines("[Shortcuts]\r\n"
                                  "StartMenu = $ProgramFolder\\Vm.exe,Velmora\r\n"
                                  "; a comment\r\n"
                                  "\r\n"
                                  "StartMenu=$ProgramFolder\\Readme.txt,Readme\r\n"
                                  "  NoEquals  \r\n"
                                  "=value\r\n"
                                  "[Other]\r\n"
                                  "X=1\r\n"));
    EXPECT_EQ(ini.ReadSection("shortcuts"),
              (std::vector<std::string>{"StartMenu=$ProgramFolder\\Vm.exe,Velmora",
                                        "StartMenu=$ProgramFolder\\Readme.txt,Readme", "NoEquals", "=value"}));
    EXPECT_TRUE(ini.ReadSection("Missing").empty());
}

TEST(IniFileTest, SplitsNameValueLines) {
    EXPECT_EQ(LineName("Presets=Folder\\Preset=x"), "Presets");
    EXPECT_EQ(LineValue("Presets=Folder\\Preset=x"), "Folder\\Preset=x");
    EXPECT_EQ(LineName("=x"), "");
    EXPECT_EQ(LineValue("=x"), "x");
    EXPECT_EQ(LineName("NoEquals"), "");
    EXPECT_EQ(LineValue("NoEquals"), "");
}

} // namespace
