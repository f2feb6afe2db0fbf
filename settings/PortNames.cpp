#include "PortNames.h"

#include "Engine.h"
#include "SafeSave.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

PortNames portNames{{{}, -1}, {{}, -1}};

namespace {

// As "Settings" stores a position: its low eight bits.
constexpr int kPositionMask = 0xFF;
constexpr int kLineSize = 128;
constexpr int kMaxLines = 32;

struct Section {
    const char* title;
    PortName PortNames::*port;
};
const Section kSections[] = {{"[input]", &PortNames::input}, {"[output]", &PortNames::output}};

// A port's section as read: taken only when all three keys were there and valid.
struct ReadPort {
    PortName port;
    bool hasName;
    bool hasUnit;
    bool hasPosition;
};

bool ReadNumber(const char* text, int lowest, int highest, int* value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || number < lowest || number > highest) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

// One "key=value" line of a section; false for anything this file never holds.
bool ReadKey(const char* line, ReadPort& read) {
    const char* value = std::strchr(line, '=');
    if (value == nullptr) {
        return false;
    }
    const auto keyLength = static_cast<std::size_t>(value - line);
    ++value;
    auto is = [&](const char* key) {
        return std::strlen(key) == keyLength && std::strncmp(line, key, keyLength) == 0;
    };
    if (is("name")) {
        const std::size_t length = std::strlen(value);
        if (length >= kDeviceNameSize) {
            return false;
        }
        std::memcpy(read.port.device.name, value, length + 1);
        return read.hasName = true;
    }
    int number = 0;
    if (is("unit") && ReadNumber(value, 1, kMaxListedDevices, &number)) {
        read.port.device.occurrence = number - 1;
        return read.hasUnit = true;
    }
    if (is("position") && ReadNumber(value, 0, kPositionMask, &number)) {
        read.port.savedPosition = number;
        return read.hasPosition = true;
    }
    return false;
}

// Reads the whole file into `read`; false if anything in it is not as this program writes it.
bool ReadFile(std::FILE* file, ReadPort (&read)[2]) {
    char line[kLineSize];
    ReadPort* section = nullptr;
    for (int count = 0; std::fgets(line, sizeof line, file) != nullptr; ++count) {
        const std::size_t length = std::strcspn(line, "\r\n");
        if (count == kMaxLines || (line[length] == '\0' && !std::feof(file))) {
            return false; // longer than any file this program writes
        }
        line[length] = '\0';
        if (line[0] == '\0' || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            section = nullptr;
            for (int which = 0; which < 2; ++which) {
                section = std::strcmp(line, kSections[which].title) == 0 ? &read[which] : section;
            }
            if (section == nullptr) {
                return false;
            }
        } else if (section == nullptr || !ReadKey(line, *section)) {
            return false;
        }
    }
    return std::ferror(file) == 0;
}

bool WritePort(std::FILE* file, const Section& section, std::int32_t position) {
    const PortName& port = portNames.*section.port;
    return std::fprintf(file, "%s\r\nname=%s\r\nunit=%d\r\nposition=%d\r\n\r\n", section.title,
                        port.device.name, port.device.occurrence + 1, position & kPositionMask) > 0;
}

bool WritePortNames(std::FILE* file) {
    return std::fputs("; The MIDI devices Quorvel opens, by name; \"Settings\" keeps the rest.\r\n"
                      "; unit: which of the devices of that name, in the list's order.\r\n"
                      "; Delete this file to open the ports by their positions alone.\r\n\r\n",
                      file) >= 0 &&
           WritePort(file, kSections[0], bridgeSettings.inputDevice) &&
           WritePort(file, kSections[1], bridgeSettings.outputDevice);
}

} // namespace

void LoadPortNames() {
    portNames = PortNames{{{}, -1}, {{}, -1}};
    std::FILE* file = std::fopen(kPortNamesFileName, "rb");
    if (file == nullptr) {
        return;
    }
    ReadPort read[2] = {{{{}, -1}, false, false, false}, {{{}, -1}, false, false, false}};
    const bool whole = ReadFile(file, read);
    std::fclose(file);
    for (int which = 0; whole && which < 2; ++which) {
        if (read[which].hasName && read[which].hasUnit && read[which].hasPosition) {
            portNames.*kSections[which].port = read[which].port;
        }
    }
}

void SavePortNames() {
    if (!SaveSafely(kPortNamesFileName, kPortNamesTemporaryName, WritePortNames)) {
        std::remove(kPortNamesFileName);
    }
}

DeviceIdentity NamedAtStart(const PortName& port, std::int32_t storedPosition) {
    if (port.savedPosition < 0 || port.savedPosition != storedPosition) {
        return DeviceIdentity{};
    }
    return port.device;
}
