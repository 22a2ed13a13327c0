// The vendor's side of the program's code pages: the setup program runs in UTF-8 on Windows 10
// version 1903 and later, and in the system's code page on older Windows, where a letter the
// code page lacks cannot be shown or named. Which of the product's names and texts that
// touches, said once, for the check.
#pragma once

#include <string>
#include <vector>

struct TProductText {
    std::string Where; // UTF-8: "Setup.ini:3", or the folder of a name in the product folder
    std::string Text;  // Windows-1252, as the setup program receives it
};

// Information lines (UTF-8) about the texts with letters outside ASCII: a first line saying
// what older Windows do with them, then one line per group of texts that the same systems can
// show, naming the systems and the texts. Empty when every text is ASCII.
std::vector<std::string> CodePageInformation(const std::vector<TProductText>& texts);
