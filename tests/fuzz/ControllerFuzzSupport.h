// The setup controller for fuzz targets: setup data in a scratch folder and the in-memory
// system of the native tests, on which Velmora 5.03 is installed already, so that the
// detections of an earlier installation read the configuration too.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/setup/SetupTestSupport.h"

// The system of one input: a fresh registry each time, so that nothing carries over.
class TFuzzSystem : public TTestSystem {
public:
    TFuzzSystem();
};

// Writes the setup data into the target's scratch folder (replacing the last one) and returns
// its path.
std::string WriteFuzzSetup(const TTestSetup& setup);

// The controller over the setup at path, or null when it refuses the setup with one of the
// program's own errors. Any other exception is a finding and escapes.
std::unique_ptr<TSetupInstaller> LoadController(const std::string& path, TFuzzSystem& system);

// Everything the installation run derives from the configuration short of changing the disk:
// expanded paths, registry locations and writes (into the in-memory registry), shortcut lines,
// the library calls, the space check.
void ExerciseController(TSetupInstaller& controller);
