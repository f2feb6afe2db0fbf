// The devices chosen for the two ports, by name, kept in "Ports.ini" beside "Settings". Device
// indices move from one start to the next; the names say which device the user chose. Each name
// is kept with the position "Settings" stored beside it, so that a "Settings" changed since
// (by another program, or by hand) is seen, and its positions win. Window thread only.
#pragma once

#include "DeviceIdentity.h"

#include <cstdint>

// An INI file: Windows opens it in Notepad, where a user can read what Quorvel will open.
constexpr const char* kPortNamesFileName = "Ports.ini";
constexpr const char* kPortNamesTemporaryName = "Ports.ini.new";

struct PortName {
    DeviceIdentity device; // the chosen device; kept up to date by the panel
    int savedPosition;     // the position "Settings" held when the name was saved; -1: none
};

struct PortNames {
    PortName input;
    PortName output;
};

extern PortNames portNames;

// Reads "Ports.ini"; a missing, damaged or unreadable file leaves no names, and is never shown.
void LoadPortNames();

// Writes portNames beside the positions that bridgeSettings now holds, once "Settings" holds
// them too. Names of no device are not written; neither they nor a failed save leave an older
// file to name another device than the one chosen.
void SavePortNames();

// The device to open at start for a port whose position "Settings" held: the saved one when
// "Settings" still holds the position saved with it, and no device otherwise.
DeviceIdentity NamedAtStart(const PortName& port, std::int32_t storedPosition);
