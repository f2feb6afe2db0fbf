#pragma once

#include "Engine.h"
#include "MidiInputCallback.h"

// The least a bridge can do: every data event goes out unchanged, no rules.
void BareForward(std::uint32_t eventKind, ShortMessage message);
