#include "tools/setuppack/CheckEnvironment.h"

#include "common/CommonUtils.h"
#include "setup/SetupInstaller.h"

// The hosts register where the detection looks (PluginHostKeys); the VST 3 and Pro Tools
// folders need no key, they lie below Common Files.
using namespace PluginHostKeys;

std::optional<std::vector<std::string>> TCheckEnvironment::SubkeyNames(TRegistryRoot root,
                                                                       const std::string& key) {
    if (root == rrLocalMachine && SameText(key, Photoshop))
        return std::vector<std::string>{"99.0"};
    return std::nullopt;
}

std::optional<std::string> TCheckEnvironment::ReadString(TRegistryRoot root, const std::string& key,
                                                         const std::string& name) {
    if (root == rrLocalMachine && SameText(key, Vst) && SameText(name, VstFolderValue))
        return std::string("C:\\Program Files\\Steinberg\\VstPlugins");
    if (root == rrLocalMachine &&
        SameText(key, std::string(Photoshop) + "\\99.0\\" + PhotoshopFolderKey))
        return std::string("C:\\Program Files\\Adobe\\Photoshop\\Plug-ins");
    return std::nullopt;
}
