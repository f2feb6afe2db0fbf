#include "EngineInternals.h"

#include <array>

namespace {

constexpr unsigned kBankSelectLsb = 32;
constexpr unsigned kNrpnLsb = 98;
constexpr unsigned kDataEntryLsb = 38;
constexpr unsigned kDataEntryMsb = 6;

// One action per status byte, so the hot path takes a single table look-up. Forwarded: Note
// Off, Note On and Control Change on every channel, and Timing Clock, Start, Continue, Stop.
// Everything else is dropped (channel 1 program changes only feed the wheel).
enum RouteAction : std::uint8_t {
    Drop = 0,
    Forward = 1,
    InspectControlChange = 2, // Control Change on channel 1: forwarded, then inspected
    TranslateProgram = 4,     // Program Change on channel 1: feeds the wheel, never forwarded
};

constexpr std::array<std::uint8_t, 256> kRouteActions = [] {
    std::array<std::uint8_t, 256> actions{};
    for (unsigned status = 0x80; status <= 0xBF; ++status) {
        if ((status & 0xF0u) != 0xA0u) {
            actions[status] = Forward;
        }
    }
    for (unsigned status : {0xF8u, 0xFAu, 0xFBu, 0xFCu}) {
        actions[status] = Forward;
    }
    actions[kControlChangeChannel1] = Forward | InspectControlChange;
    actions[kProgramChangeChannel1] = TranslateProgram;
    return actions;
}();

void InspectChannel1ControlChange(ShortMessage message) {
    const unsigned value = Data2Of(message);
    switch (Data1Of(message)) {
    case kBankSelectLsb:
        ApplyBankSelect(value);
        break;
    case kNrpnLsb:
        SelectStatusReport(value);
        break;
    case kDataEntryLsb:
        TranslateStatusLsb(value);
        break;
    case kDataEntryMsb:
        TranslateStatusMsb(value);
        break;
    default:
        break;
    }
}

} // namespace

void RouteMidiEvent(std::uint32_t eventKind, ShortMessage message) {
    if (eventKind != kMidiInputData) {
        return;
    }
    inputActivity.lastWord.store(message, std::memory_order_relaxed);
    // Every forwarded message, a channel 1 Control Change included, leaves first and by the
    // same short path: the raw message always precedes anything translated from it.
    const std::uint8_t action = kRouteActions[StatusOf(message)];
    if (action & Forward) {
        SendToOutput(message);
    }
    if (action & InspectControlChange) [[unlikely]] {
        InspectChannel1ControlChange(message);
    } else if (action & TranslateProgram) [[unlikely]] {
        TranslateWheel(Data1Of(message));
    }
}

void MIDI_INPUT_CALLBACK OnMidiInput(HMIDIIN__*, std::uint32_t eventKind, MidiEventParam instance,
                                     MidiEventParam param1, MidiEventParam) {
    if (instance != openInputInstance.load(std::memory_order_relaxed)) [[unlikely]] {
        return;
    }
    RouteMidiEvent(eventKind, static_cast<ShortMessage>(param1));
}
