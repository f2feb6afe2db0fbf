#include "EngineInternals.h"

BridgeSettings bridgeSettings;
TranslatorState translatorState;
InputActivity inputActivity;
OutputActivity outputActivity;
