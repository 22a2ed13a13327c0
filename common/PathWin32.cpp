// The file-name key through the system's own case mapping.

#include <windows.h>

#include "common/Path.h"
#include "common/TextEncoding.h"
#include "common/WideText.h"

// LCMapStringEx without LCMAP_LINGUISTIC_CASING upper-cases by the file system's rules: one
// UTF-16 unit for one, as NTFS's upcase table does ("ß" stays, and no locale's rules such as
// Turkish dotted i apply). The wide result is the key, in UTF-8 so that it holds every
// character whatever the running code page. Available from Windows Vista.
std::string SystemFileNameKey(std::string_view name, uint32_t codePage) {
    std::wstring wide = ToWide(name, codePage);
    const int length = static_cast<int>(wide.size());
    if (wide.empty() || ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), length,
                                        wide.data(), length, nullptr, nullptr, 0) == 0)
        return std::string(name); // not convertible: the bytes themselves tell names apart
    return FromWide(wide, CodePageUtf8);
}
