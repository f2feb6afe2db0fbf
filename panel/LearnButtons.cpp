#include "LearnButtons.h"

#include "resource.h"

const LearnButton kLearnButtons[kLearnControlCount] = {
    {IDC_SYNTH_1, LearnSynth1},       {IDC_SYNTH_2, LearnSynth2}, {IDC_SYNTH_3, LearnSynth3},
    {IDC_SYNTH_4, LearnSynth4},       {IDC_SYNTH_5, LearnSynth5}, {IDC_DRUM_1, LearnDrum1},
    {IDC_DRUM_2, LearnDrum2},         {IDC_DRUM_3, LearnDrum3},   {IDC_DRUM_4, LearnDrum4},
    {IDC_DRUM_5, LearnDrum5},         {IDC_DRUM_6A, LearnDrum6A}, {IDC_DRUM_6B, LearnDrum6B},
    {IDC_DRUM_7A, LearnDrum7A},       {IDC_DRUM_7B, LearnDrum7B}, {IDC_WHEEL_UP, LearnWheelUp},
    {IDC_WHEEL_DOWN, LearnWheelDown},
};
