// The engine's two ways out to the platform, as the Windows program defines them: the output
// port through its gate, and a message box.
#include "Engine.h"
#include "OutputGate.h"

#include <windows.h>

void SendToOutput(ShortMessage message) {
    SendThroughOutputGate(message);
}

void ReportFailure(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}
