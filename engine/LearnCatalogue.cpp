#include "Engine.h"

constexpr std::uint8_t kPartButtonValue = 64;
constexpr std::uint8_t kWheelButtonValue = 65;

const LearnMessage kLearnCatalogue[kLearnControlCount] = {
    {40, kPartButtonValue, "Synth part 1"}, {41, kPartButtonValue, "Synth part 2"},
    {42, kPartButtonValue, "Synth part 3"}, {43, kPartButtonValue, "Synth part 4"},
    {44, kPartButtonValue, "Synth part 5"}, {50, kPartButtonValue, "Drum part 1"},
    {51, kPartButtonValue, "Drum part 2"},  {52, kPartButtonValue, "Drum part 3"},
    {53, kPartButtonValue, "Drum part 4"},  {54, kPartButtonValue, "Drum part 5"},
    {55, kPartButtonValue, "Drum part 6A"}, {56, kPartButtonValue, "Drum part 6B"},
    {57, kPartButtonValue, "Drum part 7A"}, {58, kPartButtonValue, "Drum part 7B"},
    {47, kWheelButtonValue, "Wheel up"},    {48, kWheelButtonValue, "Wheel down"},
};

ShortMessage LearnButtonMessage(LearnControl control) {
    const LearnMessage& entry = kLearnCatalogue[control];
    return MakeControlChange(entry.controller, entry.buttonValue);
}
