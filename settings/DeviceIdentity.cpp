#include "DeviceIdentity.h"

#include <cstring>

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
        identity.occurrence += std::strcmp(devices.names[earlier], identity.name) == 0 ? 1 : 0;
    }
    return identity;
}

int PositionOf(const DeviceList& devices, const DeviceIdentity& device) {
    int seen = 0;
    for (int position = 0; device.name[0] != '\0' && position < devices.count; ++position) {
        if (std::strcmp(devices.names[position], device.name) == 0 && seen++ == device.occurrence) {
            return position;
        }
    }
    return -1;
}
