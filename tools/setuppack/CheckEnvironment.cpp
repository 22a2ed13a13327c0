#include "tools/setuppack/CheckEnvironment.h"

#include "common/CommonUtils.h"

namespace {

// Where the hosts register. The same keys as the detection's (setup/SetupInstallerDetection.cpp);
// the VST 3 folder needs no key, it lies below Common Files.
const char* const PhotoshopKey = "SOFTWARE\\Adobe\\Photoshop";
const char* const VstKey = "Software\\Vst";

} // namespace

std::optional<std::vector<std::string>> TCheckEnvironment::SubkeyNames(TRegistryRoot root,
                                                                       const std::string& key) {
    if (root == rrLocalMachine && SameText(key, PhotoshopKey))
        return std::vector<std::string>{"99.0"};
    return std::nullopt;
}

std::optional<std::string> TCheckEnvironment::ReadString(TRegistryRoot root, const std::string& key,
                                                         const std::string& name) {
    if (root == rrLocalMachine && SameText(key, VstKey) && SameText(name, "VstPluginsPath"))
        return std::string("C:\\Program Files\\Steinberg\\VstPlugins");
    if (root == rrLocalMachine && SameText(key, std::string(PhotoshopKey) + "\\99.0\\PluginPath"))
        return std::string("C:\\Program Files\\Adobe\\Photoshop\\Plug-ins");
    return std::nullopt;
}
