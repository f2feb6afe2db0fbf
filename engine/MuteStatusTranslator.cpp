#include "EngineInternals.h"

namespace {

constexpr unsigned kSynthStatusReport = 119;
constexpr unsigned kDrumStatusReport = 120;

// A set bit reports the part muted and is sent as 0; a clear bit is sent as 64.
constexpr unsigned kBitSetValue = 0;
constexpr unsigned kBitClearValue = 64;

constexpr int kDrumLsbPartCount = 7; // drum 1 to 6B travel in the data entry LSB
constexpr int kDrumMsbPartCount = 2; // drum 7A and 7B travel in the data entry MSB
static_assert(kDrumLsbPartCount + kDrumMsbPartCount == kDrumPartCount);

// bitText holds the value most significant bit first, so part k is read from position 7 - k.
void SendPartsFromBitText(LearnControl firstPart, int partCount) {
    for (int part = 0; part < partCount; ++part) {
        const bool bitSet = translatorState.bitText[7 - part] == '1';
        const std::uint8_t controller = kLearnCatalogue[firstPart + part].controller;
        SendToOutput(MakeControlChange(controller, bitSet ? kBitSetValue : kBitClearValue));
    }
}

} // namespace

void FormatBits(unsigned value) {
    static_assert(kBitTextSize >= 9, "eight digits and the terminator");
    int length = 0;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
        translatorState.bitText[length++] = (value & mask) != 0 ? '1' : '0';
    }
    translatorState.bitText[length] = '\0';
}

void SelectStatusReport(unsigned nrpnLsb) {
    if (nrpnLsb == kSynthStatusReport) {
        translatorState.synthStatusArmed = true;
    } else if (nrpnLsb == kDrumStatusReport) {
        translatorState.drumStatusArmed = true;
    }
}

void TranslateStatusLsb(unsigned value) {
    if (translatorState.synthStatusArmed &&
        bridgeSettings.synthMutesEnabled.load(std::memory_order_relaxed)) {
        translatorState.synthStatusArmed = false;
        FormatBits(value);
        SendPartsFromBitText(LearnSynth1, kSynthPartCount);
    }
    if (translatorState.drumStatusArmed &&
        bridgeSettings.drumMutesEnabled.load(std::memory_order_relaxed)) {
        translatorState.drumStatusArmed = false;
        FormatBits(value);
        SendPartsFromBitText(LearnDrum1, kDrumLsbPartCount);
    }
}

void TranslateStatusMsb(unsigned value) {
    // The drum report stays armed: only its data entry LSB, which follows, completes it.
    if (translatorState.drumStatusArmed &&
        bridgeSettings.drumMutesEnabled.load(std::memory_order_relaxed)) {
        FormatBits(value);
        SendPartsFromBitText(LearnDrum7A, kDrumMsbPartCount);
    }
}
