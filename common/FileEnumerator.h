// A small iterator over the entries of a folder that match a wildcard, with the attribute
// filter of the Windows find functions. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/WinHandle.h"

// File attribute bits as the find functions report them.
enum TFileAttribute : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSystem = 0x04,
    faVolumeLabel = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};

// Usage:
//   TFileEnumerator files(JoinPath(folder, "*.lnk"), faReadOnly | faArchive);
//   while (files.Next()) ... files.FileName() ...
class TFileEnumerator {
public:
    // Starts a search for mask (a folder and a wildcard such as "*.lnk" or "*.*"). Entries that
    // are hidden, system, volume labels or directories are passed over unless that bit is set
    // in attributes; normal, read-only and archive entries always match.
    TFileEnumerator(const std::string& mask, uint32_t attributes);
    TFileEnumerator(const TFileEnumerator&) = delete;
    TFileEnumerator& operator=(const TFileEnumerator&) = delete;

    // Moves to the next matching entry (the first call to the first one); false when there is
    // none left.
    bool Next();
    // The current entry's name without its folder; empty when there is no current entry.
    std::string FileName() const;
    // True when there is a current entry and its attributes share a bit with mask.
    bool HasAttribute(uint32_t mask) const;

private:
    uint32_t Attributes;
    WIN32_FIND_DATAA SearchRecord = {};
    UniqueFind Search;
    // 0 while an entry is current; otherwise the system error that ended the search.
    DWORD Result = 0;
    // The entry found by the constructor has not been handed out yet.
    bool First = true;

    bool Matches() const;
    DWORD FindMatching();
};
