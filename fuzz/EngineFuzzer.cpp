// Any byte stream, read as input events interleaved with settings changes, must keep the
// engine's promises, which no table of cases can cover: at most thirteen outputs per input,
// each one the input unchanged (and then first) or a catalogue Control Change, nothing from a
// dropped kind or another event kind, and no memory error on the way (ASan, UBSan).
#include "EngineInternals.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

ShortMessage sent[64];
int sentCount = 0;

void Check(bool condition, const char* what, ShortMessage input) {
    if (!condition) {
        std::fprintf(stderr, "engine fuzz: %s (input 0x%08x)\n", what, input);
        std::abort();
    }
}

bool IsCatalogueMessage(ShortMessage m) {
    for (const LearnMessage& entry : kLearnCatalogue) {
        if (m == MakeControlChange(entry.controller, Data2Of(m))) {
            return Data2Of(m) == 0 || Data2Of(m) == 64 || Data2Of(m) == 65;
        }
    }
    return false;
}

bool IsForwardedKind(unsigned status) {
    const unsigned kind = status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xB0 || status == 0xF8 || status == 0xFA ||
           status == 0xFB || status == 0xFC;
}

void CheckOne(std::uint32_t kind, ShortMessage input) {
    sentCount = 0;
    RouteMidiEvent(kind, input);
    const bool data = kind == kMidiInputData;
    Check(sentCount <= 13, "more than thirteen outputs", input);
    Check(data || sentCount == 0, "another event kind produced output", input);
    Check(!data || IsForwardedKind(StatusOf(input)) == (sentCount > 0 && sent[0] == input) ||
              StatusOf(input) == 0xC0,
          "forwarded copy missing, late or not dropped", input);
    for (int i = 0; i < sentCount; ++i) {
        Check((i == 0 && sent[i] == input && StatusOf(input) != 0xC0) ||
                  IsCatalogueMessage(sent[i]),
              "output neither forwarded nor from the catalogue", input);
    }
}

} // namespace

void SendToOutput(ShortMessage message) {
    Check(sentCount < 64, "output overflow", message);
    sent[sentCount++] = message;
}

void ReportFailure(const char*, const char*) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    translatorState = TranslatorState{}; // each run starts as a process does
    bridgeSettings.wheelType = WheelUpDown;
    bridgeSettings.drumMutesEnabled = true;
    bridgeSettings.synthMutesEnabled = true;
    std::size_t at = 0;
    auto next = [&]() -> unsigned { return at < size ? data[at++] : 0u; };
    while (at < size) {
        const unsigned op = next();
        if (op == 0) {
            bridgeSettings.wheelType = static_cast<std::int8_t>(next());
        } else if (op == 1) {
            bridgeSettings.drumMutesEnabled = (next() & 1) != 0;
        } else if (op == 2) {
            bridgeSettings.synthMutesEnabled = (next() & 1) != 0;
        } else {
            // Another event kind now and then; the op's high bits may fill the unused byte.
            const std::uint32_t kind = op == 3 ? 0x3C0u + (next() & 0x0Fu) : kMidiInputData;
            const ShortMessage word = MakeShortMessage(next(), next(), next()) |
                                      (op & 0x04u ? ShortMessage{op} << 24 : 0u);
            CheckOne(kind, word);
        }
    }
    return 0;
}
