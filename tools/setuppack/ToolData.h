// The files the packing tool ships besides itself: the Windows setup program that becomes the
// stub of every setup program it packs, the test driver and the page walk that preview runs,
// and the Wine session scripts. Installed, they lie in ../share/setuppack beside the tool's
// own executable; the environment variable SETUPPACK_DATA names another folder (a build
// tree's).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The folder that holds the tool's data files, without a trailing delimiter.
std::string ToolDataFolder();

// The path of one data file; an Exception that names the folder and the override when the
// file is not there. what says what the file is, for the message.
std::string ToolDataFile(const std::string& name, const std::string& what);

// The whole of a file, bytes as they are; nullopt when it cannot be opened. The packing
// tool's one way to read a file at once.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// True when a file name ends with ".exe" in any letter case: such an output is a setup
// program, anything else a Setup.dat.
bool IsProgramName(const std::string& path);
