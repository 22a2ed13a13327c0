// Prints what the configuration loader reads, one line each: "Section Key" for a key, the
// section alone for a section read whole as a list. For configuration-keys-documented.sh.
#include <cstdio>

#include "setup/SetupInstaller.h"

int main() {
    for (const TConfigurationKey& key : TSetupInstaller::ConfigurationKeys()) {
        if (key.Key != nullptr)
            std::printf("%s %s\n", key.Section, key.Key);
        else
            std::printf("%s\n", key.Section);
    }
    return 0;
}
