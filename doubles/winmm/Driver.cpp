// Brings the driver up once, on the first call into it, and writes its last record as the
// process ends.
#include "FakeWinmm.h"

namespace {

INIT_ONCE driverOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK StartDriver(INIT_ONCE*, void*, void**) {
    ReadOptions();
    if (options.folder[0] == '\0') {
        return TRUE;
    }
    ReadDevices();
    OpenEventLog();
    OpenLatencyLog();
    if (!options.stress) {
        StartFaultWatch();
    }
    if (options.queuedDelivery) {
        StartDeliveryQueue();
    }
    return TRUE;
}

} // namespace

void EnsureDriver() {
    InitOnceExecuteOnce(&driverOnce, StartDriver, nullptr, nullptr);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_DETACH) {
        RecordNotesLeftSounding();
        RecordSendTotal();
    }
    return TRUE;
}
