// Host stand-ins for the program's two platform seams: everything sent to the output port and
// every failure shown to the user is recorded, in order, for the tests to read back.
#pragma once

#include "Engine.h"

#include <string>
#include <vector>

struct ReportedFailure {
    std::string text;
    std::string caption;
    bool operator==(const ReportedFailure&) const = default;
};

extern std::vector<ShortMessage> sentMessages;
extern std::vector<ReportedFailure> reportedFailures;

// Process-start state: default settings, zeroed translator memory, nothing held, nothing
// captured.
void ResetEngineForTest();

constexpr ShortMessage CC(unsigned controller, unsigned value, unsigned channel = 1) {
    return MakeShortMessage(0xB0 + channel - 1, controller, value);
}
constexpr ShortMessage ProgramChange(unsigned program, unsigned channel = 1) {
    return MakeShortMessage(0xC0 + channel - 1, program, 0);
}
