#include "messages/Strings.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <cstddef>
#endif

#ifdef _WIN32

std::string LoadMessage(int number) {
    // LoadStringA copies at most size - 1 characters and gives no way to ask for the length,
    // so a text that fills the buffer is loaded again into a larger one.
    HINSTANCE module = ::GetModuleHandleA(nullptr);
    for (int size = 512;; size *= 4) {
        std::vector<char> buffer(size);
        int length = ::LoadStringA(module, static_cast<UINT>(number), buffer.data(), size);
        if (length <= 0)
            return std::string();
        if (length < size - 1 || size >= 65536)
            return std::string(buffer.data(), length);
    }
}

#else

namespace {

struct TMessageEntry {
    int Number;
    const char* Text;
};

#define MESSAGE(number, text) {number, text},
const TMessageEntry MessageTable[] = {
#include "messages/Messages.inc"
};
#undef MESSAGE

} // namespace

std::string LoadMessage(int number) {
    for (const TMessageEntry& entry : MessageTable)
        if (entry.Number == number)
            return entry.Text;
    return std::string();
}

#endif

std::string FillMessage(const std::string& text, const std::string& value) {
    std::string::size_type at = text.find("%s");
    if (at == std::string::npos)
        return text;
    return text.substr(0, at) + value + text.substr(at + 2);
}
