#include "EngineInternals.h"

void ApplyBankSelect(unsigned value) {
    translatorState.bankHigh = value == 1;
}

void TranslateWheel(unsigned programNumber) {
    const std::int32_t program =
        static_cast<std::int32_t>(programNumber) + (translatorState.bankHigh ? 128 : 0);
    translatorState.currentProgram = program;
    if (bridgeSettings.wheelType.load(std::memory_order_relaxed) == WheelUpDown) {
        // A lower program than before is the wheel's "up" direction; equal or higher is "down".
        const LearnControl direction =
            translatorState.previousProgram > program ? LearnWheelUp : LearnWheelDown;
        SendToOutput(LearnButtonMessage(direction));
    }
    // Updated for every wheel type, so a later switch back compares against the last program.
    translatorState.previousProgram = program;
}
