// The benchmark's output port: kept in its own file so that neither the router nor the bare
// forwarder can have the send inlined away.
#include "Engine.h"

namespace {
volatile ShortMessage lastSent;
volatile unsigned long sentCount;
} // namespace

void SendToOutput(ShortMessage message) {
    lastSent = message;
    sentCount = sentCount + 1;
}

void ReportFailure(const char*, const char*) {}
