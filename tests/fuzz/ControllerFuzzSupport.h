// The setup controller for fuzz targets: setup data in a scratch folder and the in-memory
// system of the native tests, on which Velmora 5.03 is installed already, so that the
// detections of an earlier installation read the configuration too.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/setup/SetupTestSupport.h"
#include "tests/support/ForwardingEnvironment.h"

// The system of one input: a fresh registry each time, so that nothing carries over.
class TFuzzSystem : public TTestSystem {
public:
    TFuzzSystem();
};

// Writes the setup data into the target's scratch folder (replacing the last one) and returns
// its path. Setup.ini and BundleInfo.ini, which targets fill from their input, are stored in
// zlib's uncompressed blocks; every other member is compressed once and the result reused, so
// that an input costs no compressor.
std::string WriteFuzzSetup(const TTestSetup& setup);

// The controller over the setup at path, or null when it refuses the setup with one of the
// program's own errors. Any other exception is a finding and escapes.
std::unique_ptr<TSetupInstaller> LoadController(const std::string& path, TFuzzSystem& system);

// Everything the installation run derives from the configuration short of changing the disk:
// expanded paths, registry locations and writes (into the in-memory registry), shortcut lines,
// the library calls, the space check.
void ExerciseController(TSetupInstaller& controller);

// The controller of a fixed setup, for targets that hand their input to its methods: loaded
// once, on an environment that passes every call on to a system of the current input's own.
// Each input thus meets the registry a freshly loaded controller would meet, without the
// setup being written and loaded again.
class TFixedController {
public:
    // Throws when the controller refuses the setup: a fixed setup must be valid.
    explicit TFixedController(const TTestSetup& setup);
    ~TFixedController();

    // The controller, on a fresh system for the next input.
    TSetupInstaller& Next();

private:
    std::unique_ptr<TFuzzSystem> System;
    std::unique_ptr<TForwardingEnvironment> Environment;
    std::unique_ptr<TSetupInstaller> Controller;
};
