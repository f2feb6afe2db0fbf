// The driver's switches, read from the environment once, in one place.
#include "FakeWinmm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Options options;

void ReadOptions() {
    const DWORD length = GetEnvironmentVariableA(kFolderVariable, options.folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        options.folder[0] = '\0';
    }
    options.recordMessages = GetEnvironmentVariableA(kQuietVariable, nullptr, 0) == 0;
    options.stress = GetEnvironmentVariableA(kStressVariable, nullptr, 0) != 0;
    char lists[16] = "";
    GetEnvironmentVariableA(kListsVariable, lists, sizeof lists);
    options.renumbered = std::strcmp(lists, "renumbered") == 0;
    char probes[32] = "";
    GetEnvironmentVariableA(kProbesVariable, probes, sizeof probes);
    options.probeAnswersDead = std::strcmp(probes, "answers-dead") == 0;
    options.probeFailure = std::strncmp(probes, "fails ", 6) == 0
                               ? static_cast<MMRESULT>(std::strtoul(probes + 6, nullptr, 10))
                               : MMSYSERR_NOERROR;
    char delivery[16] = "";
    GetEnvironmentVariableA(kDeliveryVariable, delivery, sizeof delivery);
    options.queuedDelivery = std::strcmp(delivery, "queued") == 0;
}

void PathInFolder(char (&path)[MAX_PATH], const char* name) {
    std::snprintf(path, MAX_PATH, "%s\\%s", options.folder, name);
}
