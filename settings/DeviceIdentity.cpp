#include "DeviceIdentity.h"

#include <cstring>

namespace {

const char* WithoutLeadingBlanks(const char* name) {
    while (*name == ' ' || *name == '\t') {
        ++name;
    }
    return name;
}

std::size_t LengthWithoutTrailingBlanks(const char* name) {
    std::size_t length = std::strlen(name);
    while (length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t')) {
        --length;
    }
    return length;
}

// Blanks at either end of a name do not count: "Ports.ini" is read as an INI file, whose reader
// drops them, so a name read back from it has none.
bool SameName(const char* a, const char* b) {
    a = WithoutLeadingBlanks(a);
    b = WithoutLeadingBlanks(b);
    const std::size_t length = LengthWithoutTrailingBlanks(a);
    return LengthWithoutTrailingBlanks(b) == length && std::strncmp(a, b, length) == 0;
}

} // namespace

bool SameDevices(const DeviceList& a, const DeviceList& b) {
    if (a.count != b.count) {
        return false;
    }
    for (int device = 0; device < a.count; ++device) {
        if (std::strcmp(a.names[device], b.names[device]) != 0) {
            return false;
        }
    }
    return true;
}

DeviceIdentity IdentityAt(const DeviceList& devices, int position) {
    DeviceIdentity identity{};
    if (position < 0 || position >= devices.count) {
        return identity;
    }
    std::memcpy(identity.name, devices.names[position], kDeviceNameSize);
    for (int earlier = 0; earlier < position; ++earlier) {
        identity.occurrence += SameName(devices.names[earlier], identity.name) ? 1 : 0;
    }
    return identity;
}

int PositionOf(const DeviceList& devices, const DeviceIdentity& device) {
    int seen = 0;
    for (int position = 0; device.name[0] != '\0' && position < devices.count; ++position) {
        if (SameName(devices.names[position], device.name) && seen++ == device.occurrence) {
            return position;
        }
    }
    return -1;
}
