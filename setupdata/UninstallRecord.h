// The uninstall record: the install log with the product's version and name, appended to
// the uninstaller copy Uninst.exe (or stored in Uninstall.dat beside it).
//
//   0   "QK/UNS/3"
//   8   CodePage, 32-bit: the code page of the log and the product data; 0 in records of
//       versions that wrote none, whose texts are in the system's ANSI code page
//   12  16 bytes not read by anyone (written as zeros)
//   28  product version, 25-byte stream form
//   53  LogLength, signed 32-bit
//   57  ProductDataLength, signed 32-bit
//   61  log text: one entry per line, each followed by CR LF
//   61 + LogLength  product data: the product name's bytes, no terminator
//
// All integers little-endian. Portable: used by the install engine, the uninstaller, the
// packing tool and the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Version.h"

class TStream;

namespace UninstallRecord {

constexpr char Signature[8] = {'Q', 'K', '/', 'U', 'N', 'S', '/', '3'};
constexpr int HeaderSize = 28;
constexpr int CodePageOffset = 8;
constexpr int LengthsOffset = 53;
constexpr int LogOffset = 61;

// The first character of a log entry; the rest of the line is the full path.
constexpr char KindFile = 'F';
constexpr char KindFolder = 'D';
constexpr char KindFolderWithFiles = 'T';
constexpr char KindCurrentUserKey = 'U';
constexpr char KindClassesRootKey = 'C';
constexpr char KindLocalMachineKey = 'M';
constexpr char KindExistingFolder = 'E';

// The shared list of installed programs below HKEY_LOCAL_MACHINE, where the uninstaller's
// registration is a key named after the product (logged as M).
constexpr const char* UninstallListKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Messages of a record that cannot be used. The second one covers lengths that are negative
// or reach past the end of the file; it is raised before anything is allocated or removed.
constexpr const char* InvalidSignatureMessage = "Invalid uninstall data signature";
constexpr const char* InvalidDataMessage = "Invalid uninstall data";

} // namespace UninstallRecord

// What a record holds once read.
struct TUninstallRecord {
    // The code page the record was written in (the system's ANSI code page for an unmarked
    // one); the texts below are in the running code page whatever it was.
    uint32_t CodePage = 0;
    TProgramVersion Version;
    std::vector<std::string> InstallLog;
    std::vector<uint8_t> ProductData;   // empty when ProductDataLength is 0
    int32_t ProductDataLength = 0;
};

// Writes a whole record at the stream's position, its texts marked as the running code page's.
void WriteUninstallRecord(TStream& stream, const TProgramVersion& version,
                          const std::vector<std::string>& installLog, const void* productData,
                          int32_t productDataLength);

// A logged path as the replay uses it: runs of delimiters made one (a network path keeps its
// leading pair) and trailing delimiters dropped (a drive's root keeps its own: "C:\").
std::string NormalizedLogPath(const std::string& path);
// The FileNameKey of the normalized path: equal for the paths Windows takes as one.
std::string LogPathKey(const std::string& path);

// The log of an installation made over an earlier one in the same folder: the entries of the
// earlier record, then those of this run, each item once, at its first place. Files (F),
// folders (D, T, E, one item whatever the letter) and keys (per root) are the same item when
// their paths are the same as Windows compares names; a folder keeps the strongest of its
// letters (T over D over E): once created by any of the installations, it goes. A folder
// therefore still comes before everything logged inside it, as in each log, and the replay
// removes files before their folders. Lines that name nothing (empty, unknown letters) are
// dropped.
// True when two log entries name the same item in the sense above.
bool SameLogItem(const std::string& a, const std::string& b);
std::vector<std::string> MergeInstallLogs(const std::vector<std::string>& earlier,
                                          const std::vector<std::string>& current);

// Reads a record from the stream's position to recordEnd (the size of the file holding it),
// its log and product data converted into the running code page: a record written by an
// earlier version, or by this one on a system that did not honour the UTF-8 declaration, is
// then read as it was meant by an uninstaller or an update that runs with UTF-8.
// Raises ESetupError for a wrong signature or impossible lengths, EProgramVersionError for a
// damaged version and EReadError for a record shorter than its 28-byte header.
void ReadUninstallRecord(TStream& stream, int64_t recordEnd, TUninstallRecord& record);

