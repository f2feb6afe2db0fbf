// Any byte stream, read as input events interleaved with settings changes, must keep the
// engine's promises: each output is the input unchanged or a catalogue Control Change, at most
// thirteen per input, and the exact sequence a plain reading of the rules predicts.
#include "Engine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxSent = 64;
ShortMessage sent[kMaxSent];
int sentCount = 0;

void Fail(const char* what, ShortMessage input) {
    std::fprintf(stderr, "engine fuzz: %s (input 0x%08x)\n", what, input);
    std::abort();
}

// An independent model of the router, written from the rules one by one.
struct Model {
    bool bankHigh = false;
    int previousProgram = 0;
    bool synthArmed = false;
    bool drumArmed = false;
    ShortMessage out[kMaxSent];
    int count = 0;

    void Emit(ShortMessage m) {
        out[count++] = m;
    }
    void Parts(unsigned firstController, int parts, unsigned value) {
        for (int k = 0; k < parts; ++k) {
            Emit(MakeShortMessage(0xB0, firstController + static_cast<unsigned>(k),
                                  (value >> k & 1u) ? 0 : 64));
        }
    }
    void Route(std::uint32_t kind, ShortMessage m) {
        count = 0;
        if (kind != kMidiInputData) {
            return;
        }
        const unsigned s = m & 0xFF, d1 = m >> 8 & 0xFF, d2 = m >> 16 & 0xFF;
        if ((s >= 0x80 && s <= 0x9F) || (s >= 0xB0 && s <= 0xBF) || s == 0xF8 || s == 0xFA ||
            s == 0xFB || s == 0xFC) {
            Emit(m);
        }
        if (s == 0xB0 && d1 == 32) {
            bankHigh = d2 == 1;
        }
        if (s == 0xC0) {
            const int program = static_cast<int>(d1) + (bankHigh ? 128 : 0);
            if (bridgeSettings.wheelType == 0) {
                Emit(MakeShortMessage(0xB0, previousProgram > program ? 47 : 48, 65));
            }
            previousProgram = program;
        }
        if (s == 0xB0 && d1 == 98) {
            synthArmed = synthArmed || d2 == 119;
            drumArmed = drumArmed || d2 == 120;
        }
        if (s == 0xB0 && d1 == 38) {
            if (synthArmed && bridgeSettings.synthMutesEnabled) {
                synthArmed = false;
                Parts(40, 5, d2);
            }
            if (drumArmed && bridgeSettings.drumMutesEnabled) {
                drumArmed = false;
                Parts(50, 7, d2);
            }
        }
        if (s == 0xB0 && d1 == 6 && drumArmed && bridgeSettings.drumMutesEnabled) {
            Parts(57, 2, d2);
        }
    }
};

Model model;

bool IsCatalogueMessage(ShortMessage m) {
    if (StatusOf(m) != 0xB0 || (m >> 24) != 0) {
        return false;
    }
    const unsigned value = Data2Of(m);
    for (const LearnMessage& entry : kLearnCatalogue) {
        if (entry.controller == Data1Of(m)) {
            return value == 0 || value == 64 || value == 65;
        }
    }
    return false;
}

bool IsDroppedKind(unsigned status) {
    const unsigned kind = status & 0xF0;
    return status < 0x80 || kind == 0xA0 || (kind == 0xC0 && status != 0xC0) || kind == 0xD0 ||
           kind == 0xE0 || (status >= 0xF0 && status <= 0xF7) || status == 0xF9 || status == 0xFD ||
           status == 0xFE || status == 0xFF;
}

void CheckOne(std::uint32_t kind, ShortMessage input) {
    sentCount = 0;
    RouteMidiEvent(kind, input);
    model.Route(kind, input);
    if (sentCount > 13) {
        Fail("more than thirteen outputs", input);
    }
    for (int i = 0; i < sentCount; ++i) {
        if (sent[i] != input && !IsCatalogueMessage(sent[i])) {
            Fail("output neither forwarded nor from the catalogue", input);
        }
    }
    if (kind == kMidiInputData && IsDroppedKind(StatusOf(input)) && sentCount != 0) {
        Fail("dropped kind produced output", input);
    }
    if (StatusOf(input) == 0xC0) {
        for (int i = 0; i < sentCount; ++i) {
            if (sent[i] == input) {
                Fail("program change forwarded", input);
            }
        }
    }
    if (sentCount != model.count) {
        Fail("output count differs from the rules", input);
    }
    for (int i = 0; i < sentCount; ++i) {
        if (sent[i] != model.out[i]) {
            Fail("output differs from the rules", input);
        }
    }
}

} // namespace

void SendToOutput(ShortMessage message) {
    if (sentCount == kMaxSent) {
        Fail("output overflow", message);
    }
    sent[sentCount++] = message;
}

void ReportFailure(const char*, const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Each run starts as a process does.
    translatorState = TranslatorState{};
    model = Model{};
    bridgeSettings.wheelType = WheelUpDown;
    bridgeSettings.drumMutesEnabled = true;
    bridgeSettings.synthMutesEnabled = true;

    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const std::uint8_t op = next();
        switch (op) {
        case 0: // settings change from the panel
            bridgeSettings.wheelType = static_cast<std::int8_t>(next());
            break;
        case 1:
            bridgeSettings.drumMutesEnabled = (next() & 1) != 0;
            break;
        case 2:
            bridgeSettings.synthMutesEnabled = (next() & 1) != 0;
            break;
        case 3: { // an event of another kind, carrying a message word
            const std::uint32_t kind = 0x3C0u + (next() & 0x0F);
            const ShortMessage word = MakeShortMessage(next(), next(), next());
            CheckOne(kind, word);
            break;
        }
        default: { // a data event; the opcode's low bits pick the message's high byte
            const unsigned status = next();
            const unsigned data1 = next();
            const unsigned data2 = next();
            const ShortMessage word = MakeShortMessage(status, data1, data2) |
                                      (op & 0x04u ? static_cast<ShortMessage>(op) << 24 : 0u);
            CheckOne(kMidiInputData, word);
            break;
        }
        }
    }
    return 0;
}
