// Any "Settings" file of up to sixteen bytes must load cleanly, mark the settings loaded, give
// field values the format allows, and survive a save and a second load unchanged. The table of
// exact bytes lives in the unit tests.
#include "Engine.h"
#include "PortNames.h"
#include "SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

int failuresShown = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings fuzz: %s\n", what);
        std::abort();
    }
}

bool InFieldRange(int value) {
    return value >= -1 && value <= 255;
}

struct Snapshot {
    int wheelType, input, output;
    bool drum, synth;
};

Snapshot Take() {
    return {bridgeSettings.wheelType, bridgeSettings.inputDevice, bridgeSettings.outputDevice,
            bridgeSettings.drumMutesEnabled, bridgeSettings.synthMutesEnabled};
}

} // namespace

void SendToOutput(ShortMessage) {}

void ReportFailure(const char*, const char*) {
    ++failuresShown;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Work in a folder of our own: the target reads and writes "Settings" where it runs.
    static char folder[] = "/tmp/quorvel-settings-fuzz-XXXXXX";
    Check(mkdtemp(folder) != nullptr && chdir(folder) == 0, "no working folder");
    std::atexit([] {
        std::remove(kSettingsFileName);
        std::remove(kPortNamesFileName);
        std::remove(folder);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 16) {
        return 0;
    }
    std::FILE* file = std::fopen(kSettingsFileName, "wb");
    Check(file != nullptr, "cannot write the input file");
    Check(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "short write");

    failuresShown = 0;
    bridgeSettings.settingsLoaded = false;
    LoadSettings();
    Check(bridgeSettings.settingsLoaded, "settingsLoaded not set");
    Check(failuresShown == 0, "a failure was shown for a readable file");
    const Snapshot first = Take();
    Check(InFieldRange(first.wheelType) && InFieldRange(first.input) && InFieldRange(first.output),
          "field out of range");

    // What was loaded saves and loads back to the same values; -1 comes back as 255.
    SaveSettings();
    Check(failuresShown == 0, "save failed");
    LoadSettings();
    const Snapshot second = Take();
    Check(second.wheelType == (first.wheelType & 0xFF) && second.input == (first.input & 0xFF) &&
              second.output == (first.output & 0xFF) && second.drum == first.drum &&
              second.synth == first.synth,
          "save and load changed a value");
    return 0;
}
