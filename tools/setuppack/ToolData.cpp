#include "tools/setuppack/ToolData.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/CommonUtils.h"
#include "common/Errors.h"

namespace fs = std::filesystem;

namespace {

fs::path OwnExecutable() {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(path);
#else
    std::error_code error;
    const fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
#endif
}

} // namespace

std::string ToolDataFolder() {
    if (const char* chosen = std::getenv("SETUPPACK_DATA"); chosen != nullptr && *chosen != '\0')
        return chosen;
    const fs::path executable = OwnExecutable();
    if (executable.empty())
        throw Exception("Cannot tell where setuppack is installed; set SETUPPACK_DATA to its data folder");
    return (executable.parent_path().parent_path() / "share" / "setuppack").lexically_normal().string();
}

std::string ToolDataFile(const std::string& name, const std::string& what) {
    const std::string folder = ToolDataFolder();
    const fs::path path = fs::path(folder) / name;
    if (!fs::exists(path))
        throw Exception("No " + what + " at " + path.string() +
                        " (the data folder of setuppack; SETUPPACK_DATA names another one)");
    return path.string();
}

bool IsProgramName(const std::string& path) {
    return path.size() >= 4 && SameText(path.substr(path.size() - 4), ".exe");
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
