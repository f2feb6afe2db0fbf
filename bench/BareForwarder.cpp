#include "BareForwarder.h"

void BareForward(std::uint32_t eventKind, ShortMessage message) {
    if (eventKind == kMidiInputData) {
        SendToOutput(message);
    }
}
