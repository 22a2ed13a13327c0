#include "common/RegistryStore.h"

std::vector<std::string> KeyPathNames(const std::string& path) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string CleanKeyPath(const std::string& path) {
    std::string clean;
    for (const std::string& name : KeyPathNames(path)) {
        if (!clean.empty())
            clean += '\\';
        clean += name;
    }
    return clean;
}
