// Any "Ports.ini", damaged or not, must load without a word to the user, give only names and
// units the lists can hold, and come back the same from a save and a second load (or not at all
// when it names no device).
#include "Engine.h"
#include "PortNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

int failuresShown = 0;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "port names fuzz: %s\n", what);
        std::abort();
    }
}

void CheckPort(const PortName& port) {
    Check(std::memchr(port.device.name, '\0', kDeviceNameSize) != nullptr, "name unterminated");
    Check(port.device.occurrence >= 0 && port.device.occurrence < kMaxListedDevices,
          "unit out of range");
    Check(port.savedPosition >= -1 && port.savedPosition <= 255, "position out of range");
    Check(port.savedPosition >= 0 || port.device.name[0] == '\0', "a name without a position");
}

bool SamePort(const PortName& a, const PortName& b) {
    return std::strcmp(a.device.name, b.device.name) == 0 &&
           a.device.occurrence == b.device.occurrence && a.savedPosition == b.savedPosition;
}

} // namespace

void SendToOutput(ShortMessage) {}

void ReportFailure(const char*, const char*) {
    ++failuresShown;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static char folder[] = "/tmp/quorvel-port-names-fuzz-XXXXXX";
    Check(mkdtemp(folder) != nullptr && chdir(folder) == 0, "no working folder");
    std::atexit([] {
        std::remove(kPortNamesFileName);
        std::remove(folder);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) {
        return 0;
    }
    std::FILE* file = std::fopen(kPortNamesFileName, "wb");
    Check(file != nullptr, "cannot write the input file");
    Check(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "short write");

    LoadPortNames();
    Check(failuresShown == 0, "a damaged names file was shown to the user");
    CheckPort(portNames.input);
    CheckPort(portNames.output);
    if (portNames.input.savedPosition < 0 || portNames.output.savedPosition < 0) {
        return 0; // a port without a name is saved with whatever "Settings" holds
    }
    const PortNames first = portNames;
    bridgeSettings.inputDevice = first.input.savedPosition;
    bridgeSettings.outputDevice = first.output.savedPosition;
    SavePortNames();
    LoadPortNames();
    if (first.input.device.name[0] == '\0' && first.output.device.name[0] == '\0') {
        Check(portNames.input.savedPosition < 0 && portNames.output.savedPosition < 0,
              "names of no device were kept");
        return 0;
    }
    Check(SamePort(portNames.input, first.input) && SamePort(portNames.output, first.output),
          "save and load changed a name");
    return 0;
}
