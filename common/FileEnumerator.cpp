// The folder enumerator over FindFirstFileA / FindNextFileA / FindClose.

#include "common/FileEnumerator.h"

namespace {

// The attribute bits that an entry must be asked for to match; all others always match.
constexpr uint32_t SpecialAttributes = faHidden | faSystem | faVolumeLabel | faDirectory;

// The error that ended a search; never 0, which would mean "an entry is current".
DWORD SearchError() {
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_NO_MORE_FILES;
}

} // namespace

TFileEnumerator::TFileEnumerator(const std::string& mask, uint32_t attributes) : Attributes(attributes) {
    Search.Reset(::FindFirstFileA(mask.c_str(), &SearchRecord));
    if (!Search) {
        // ERROR_FILE_NOT_FOUND for an empty match, ERROR_PATH_NOT_FOUND for a missing folder.
        Result = SearchError();
        return;
    }
    Result = FindMatching();
    // A search that matched nothing needs no handle any more.
    if (Result != 0)
        Search.Reset();
}

bool TFileEnumerator::Matches() const {
    const uint32_t excluded = ~Attributes & SpecialAttributes;
    return (SearchRecord.dwFileAttributes & excluded) == 0;
}

// Skips entries that do not pass the filter, starting with the current one.
DWORD TFileEnumerator::FindMatching() {
    while (!Matches()) {
        if (!::FindNextFileA(Search.Get(), &SearchRecord))
            return SearchError();
    }
    return 0;
}

bool TFileEnumerator::Next() {
    if (Result != 0)
        return false;
    if (First) {
        First = false;
        return true;
    }
    if (!::FindNextFileA(Search.Get(), &SearchRecord))
        Result = SearchError();
    else
        Result = FindMatching();
    return Result == 0;
}

std::string TFileEnumerator::FileName() const {
    return Result == 0 ? std::string(SearchRecord.cFileName) : std::string();
}

bool TFileEnumerator::HasAttribute(uint32_t mask) const {
    return Result == 0 && (SearchRecord.dwFileAttributes & mask) != 0;
}
