#include "EngineInternals.h"

BridgeSettings bridgeSettings;
TranslatorState translatorState;
InputActivity inputActivity;
OutputActivity outputActivity;
std::atomic<MidiEventParam> openInputInstance{0};
