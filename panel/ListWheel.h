// The mouse wheel over the panel's lists. A list's own handling of the wheel moves its selection
// as the arrow keys do, and Windows 10 and 11 ("Scroll inactive windows") and Wine send the wheel
// to the window under the pointer, focused or not: a roll while the mouse passes over the panel
// on stage would switch a port or the wheel type. Window thread only.
#pragma once

#include <windows.h>

// From now on the wheel over the list or its edit field does nothing while the list is closed,
// and only scrolls the dropped-down list while it is down.
void KeepWheelFromChoosing(HWND list);
