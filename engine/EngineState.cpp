#include "Engine.h"

BridgeSettings bridgeSettings;
TranslatorState translatorState;
