#include "SystemMenu.h"

#include "MidiPorts.h"
#include "resource.h"

// After a separator, at the end: O is the mnemonic, since the system's items take the other
// letters ("Mi&nimize", and Wine's own "&About Wine"), and the first item of a mnemonic runs.
void AddSystemMenuItems(HWND panel) {
    HMENU menu = GetSystemMenu(panel, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ALL_NOTES_OFF, "All notes &off");
}

bool OnSystemMenuCommand(WPARAM command) {
    // The system keeps the low four bits of a command for itself.
    if ((command & 0xFFF0u) != IDM_ALL_NOTES_OFF) {
        return false;
    }
    SendAllNotesOff();
    return true;
}
