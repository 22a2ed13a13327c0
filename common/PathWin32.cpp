// The file-name key through the system's own case mapping.

#include <windows.h>

#include "common/Path.h"
#include "common/TextEncoding.h"

// LCMapStringEx without LCMAP_LINGUISTIC_CASING upper-cases by the file system's rules: one
// UTF-16 unit for one, as NTFS's upcase table does ("ß" stays, and no locale's rules such as
// Turkish dotted i apply). The wide result is the key, in UTF-8 so that it holds every
// character whatever the running code page. Available from Windows Vista.
std::string SystemFileNameKey(std::string_view name, uint32_t codePage) {
    if (name.empty())
        return std::string();
    const int length = static_cast<int>(name.size());
    const int wideLength = ::MultiByteToWideChar(codePage, 0, name.data(), length, nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    if (wideLength == 0 ||
        ::MultiByteToWideChar(codePage, 0, name.data(), length, wide.data(), wideLength) == 0 ||
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), wideLength, wide.data(),
                        wideLength, nullptr, nullptr, 0) == 0)
        return std::string(name); // not convertible: the bytes themselves tell names apart
    const int keyLength =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string key(static_cast<size_t>(keyLength), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, key.data(), keyLength, nullptr, nullptr);
    return key;
}
