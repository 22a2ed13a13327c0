// What a Windows binary is, read from its PE headers without loading it: its processor, whether
// it is a DLL, and the names it exports. The check asks it of the plug-ins and the libraries a
// product installs; nothing of the file is trusted, every offset is checked against its size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TPeImage {
    static constexpr uint16_t MachineI386 = 0x14C;
    uint16_t Machine = 0;
    bool IsDll = false;
    std::vector<std::string> Exports;
    bool HasExport(const std::string& name) const;
};

// None when bytes are not a PE image.
std::optional<TPeImage> ReadPeImage(const std::string& bytes);
