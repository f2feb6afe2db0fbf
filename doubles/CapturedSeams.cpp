#include "CapturedSeams.h"

#include "EngineInternals.h"

std::vector<ShortMessage> sentMessages;
std::vector<ReportedFailure> reportedFailures;

void SendToOutput(ShortMessage message) {
    sentMessages.push_back(message);
}

void ReportFailure(const char* text, const char* caption) {
    reportedFailures.push_back({text, caption});
}

void ResetEngineForTest() {
    bridgeSettings.wheelType = WheelUpDown;
    bridgeSettings.drumMutesEnabled = true;
    bridgeSettings.synthMutesEnabled = true;
    bridgeSettings.inputDevice = 0;
    bridgeSettings.outputDevice = 0;
    bridgeSettings.settingsLoaded = false;
    translatorState = TranslatorState{};
    ReleaseHeldNotes(kEveryRelease);
    sentMessages.clear();
    reportedFailures.clear();
}
