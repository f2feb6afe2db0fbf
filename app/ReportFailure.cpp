#include "Engine.h"

#include <windows.h>

void ReportFailure(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}
