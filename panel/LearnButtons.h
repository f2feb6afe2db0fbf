// The panel's learn buttons and the catalogue entry each one sends.
#pragma once

#include "Engine.h"

struct LearnButton {
    int id;
    LearnControl control;
};

extern const LearnButton kLearnButtons[kLearnControlCount];
