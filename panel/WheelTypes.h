// The wheel type list's entries as the panel shows them; positions in it are the wheelType
// values. The list, the tooltips and the tests all read them here.
#pragma once

#include "Engine.h"

constexpr const char* kWheelTypeNames[] = {"Up / Down (Button)", "Control Change",
                                           "Endless Encoder"};
static_assert(sizeof kWheelTypeNames / sizeof kWheelTypeNames[0] == WheelEndlessEncoder + 1);
