#include "Engine.h"

constexpr std::uint8_t kPartButtonValue = 64;
constexpr std::uint8_t kWheelButtonValue = 65;

const LearnMessage kLearnCatalogue[kLearnControlCount] = {
    {40, kPartButtonValue},  // synth 1
    {41, kPartButtonValue},  // synth 2
    {42, kPartButtonValue},  // synth 3
    {43, kPartButtonValue},  // synth 4
    {44, kPartButtonValue},  // synth 5
    {50, kPartButtonValue},  // drum 1
    {51, kPartButtonValue},  // drum 2
    {52, kPartButtonValue},  // drum 3
    {53, kPartButtonValue},  // drum 4
    {54, kPartButtonValue},  // drum 5
    {55, kPartButtonValue},  // drum 6A
    {56, kPartButtonValue},  // drum 6B
    {57, kPartButtonValue},  // drum 7A
    {58, kPartButtonValue},  // drum 7B
    {47, kWheelButtonValue}, // wheel up
    {48, kWheelButtonValue}, // wheel down
};

ShortMessage LearnButtonMessage(LearnControl control) {
    const LearnMessage& entry = kLearnCatalogue[control];
    return MakeControlChange(entry.controller, entry.buttonValue);
}
