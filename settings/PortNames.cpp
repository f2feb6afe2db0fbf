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
// Longer than any line of a names file but a comment, which is skipped whatever its length.
constexpr int kLineSize = 128;
// Notepad's "UTF-8 with BOM" puts these three bytes first.
constexpr int kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

struct Section {
    const char* title;
    PortName PortNames::*port;
};
const Section kSections[] = {{"input", &PortNames::input}, {"output", &PortNames::output}};

// A port's section as read: taken only when all three keys were there and valid.
struct ReadPort {
    PortName port;
    bool hasSection;
    bool hasName;
    bool hasUnit;
    bool hasPosition;
};

bool IsBlank(int c) {
    return c == ' ' || c == '\t';
}

// Section titles and keys are matched as Windows matches them in an INI file: in any case.
bool IsWord(const char* text, std::size_t length, const char* word) {
    if (std::strlen(word) != length) {
        return false;
    }
    for (std::size_t at = 0; at < length; ++at) {
        const char c = text[at];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != word[at]) {
            return false;
        }
    }
    return true;
}

std::size_t WithoutTrailingBlanks(const char* text, std::size_t length) {
    while (length > 0 && IsBlank(text[length - 1])) {
        --length;
    }
    return length;
}

enum LineRead { GotLine, EndOfFile, DamagedLine };

// One line without its line end (CR, LF or both) and the blanks before it; a comment, however
// long, comes back empty. A line longer than any of a names file, or holding a NUL, is
// damage.
LineRead ReadLine(std::FILE* file, char (&line)[kLineSize]) {
    int c = std::fgetc(file);
    if (c == EOF) {
        return EndOfFile;
    }
    std::size_t length = 0;
    bool comment = false;
    for (; c != EOF && c != '\r' && c != '\n'; c = std::fgetc(file)) {
        if (comment || (length == 0 && IsBlank(c))) {
            continue;
        }
        if (length == 0 && (c == ';' || c == '#')) {
            comment = true;
        } else if (c == '\0' || length == kLineSize - 1) {
            return DamagedLine;
        } else {
            line[length++] = static_cast<char>(c);
        }
    }
    line[length] = '\0';
    return GotLine;
}

bool ReadNumber(const char* text, int lowest, int highest, int* value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || WithoutTrailingBlanks(end, std::strlen(end)) != 0 || number < lowest ||
        number > highest) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

// Marks one of a port's keys as given; false for a value it cannot hold, or a key given twice.
bool SetKey(bool& given, bool valid) {
    if (given || !valid) {
        return false;
    }
    given = true;
    return true;
}

// One "key = value" line of a section; a key this version does not know (a later one may add
// it) is passed over.
bool ReadKey(const char* line, ReadPort& read) {
    const char* equals = std::strchr(line, '=');
    if (equals == nullptr || equals == line) {
        return false;
    }
    const std::size_t keyLength =
        WithoutTrailingBlanks(line, static_cast<std::size_t>(equals - line));
    const char* value = equals + 1;
    while (IsBlank(*value)) {
        ++value;
    }
    int number = 0;
    if (IsWord(line, keyLength, "name")) {
        // Blanks at its end belong to the name: a driver may pad a device's name with them.
        const std::size_t length = std::strlen(value);
        const bool fits = length < kDeviceNameSize;
        if (fits) {
            std::memcpy(read.port.device.name, value, length + 1);
        }
        return SetKey(read.hasName, fits);
    }
    if (IsWord(line, keyLength, "unit")) {
        const bool valid = ReadNumber(value, 1, kMaxListedDevices, &number);
        read.port.device.occurrence = number - 1;
        return SetKey(read.hasUnit, valid);
    }
    if (IsWord(line, keyLength, "position")) {
        const bool valid = ReadNumber(value, 0, kPositionMask, &number);
        read.port.savedPosition = number;
        return SetKey(read.hasPosition, valid);
    }
    return true;
}

// A "[title]" line: the port it opens, or nullptr for a section this file never holds or one
// given twice, which could name a device nobody wrote down.
ReadPort* ReadSectionTitle(char* line, ReadPort (&read)[2]) {
    const std::size_t length = WithoutTrailingBlanks(line, std::strlen(line));
    if (line[length - 1] != ']') {
        return nullptr;
    }
    const char* title = line + 1;
    while (IsBlank(*title)) {
        ++title;
    }
    const std::size_t titleLength =
        WithoutTrailingBlanks(title, static_cast<std::size_t>(line + length - 1 - title));
    for (int which = 0; which < 2; ++which) {
        if (IsWord(title, titleLength, kSections[which].title) && !read[which].hasSection) {
            read[which].hasSection = true;
            return &read[which];
        }
    }
    return nullptr;
}

bool SkipByteOrderMark(std::FILE* file) {
    const int first = std::fgetc(file);
    if (first != kByteOrderMark[0]) {
        if (first != EOF) {
            std::ungetc(first, file);
        }
        return true;
    }
    return std::fgetc(file) == kByteOrderMark[1] && std::fgetc(file) == kByteOrderMark[2];
}

// Reads the whole file into `read`; false if it is damaged.
bool ReadSections(std::FILE* file, ReadPort (&read)[2]) {
    if (!SkipByteOrderMark(file)) {
        return false;
    }
    char line[kLineSize];
    ReadPort* section = nullptr;
    for (;;) {
        const LineRead got = ReadLine(file, line);
        if (got == EndOfFile) {
            return std::ferror(file) == 0;
        }
        if (got == DamagedLine) {
            return false;
        }
        if (line[0] == '[') {
            section = ReadSectionTitle(line, read);
            if (section == nullptr) {
                return false;
            }
        } else if (line[0] != '\0' && (section == nullptr || !ReadKey(line, *section))) {
            return false;
        }
    }
}

bool WritePort(std::FILE* file, const Section& section, std::int32_t position) {
    const PortName& port = portNames.*section.port;
    return std::fprintf(file, "[%s]\r\nname=%s\r\nunit=%d\r\nposition=%d\r\n\r\n", section.title,
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

// All that a save writes: both sections, each with every key.
bool ReadsWhole(std::FILE* file) {
    ReadPort read[2] = {};
    bool whole = ReadSections(file, read);
    for (const ReadPort& port : read) {
        whole = whole && port.hasName && port.hasUnit && port.hasPosition;
    }
    return whole;
}

} // namespace

void LoadPortNames() {
    portNames = PortNames{{{}, -1}, {{}, -1}};
    std::FILE* file = OpenSaved(kPortNamesFileName, kPortNamesTemporaryName, ReadsWhole);
    if (file == nullptr) {
        return;
    }
    ReadPort read[2] = {{{{}, -1}, false, false, false, false},
                        {{{}, -1}, false, false, false, false}};
    const bool whole = ReadSections(file, read);
    std::fclose(file);
    for (int which = 0; whole && which < 2; ++which) {
        if (read[which].hasName && read[which].hasUnit && read[which].hasPosition) {
            portNames.*kSections[which].port = read[which].port;
        }
    }
}

void SavePortNames() {
    const bool namesADevice =
        portNames.input.device.name[0] != '\0' || portNames.output.device.name[0] != '\0';
    if (!namesADevice || !SaveSafely(kPortNamesFileName, kPortNamesTemporaryName, WritePortNames)) {
        std::remove(kPortNamesFileName);
        std::remove(kPortNamesTemporaryName); // a start would take it for the names in place
    }
}

DeviceIdentity NamedAtStart(const PortName& port, std::int32_t storedPosition) {
    if (port.savedPosition < 0 || port.savedPosition != storedPosition) {
        return DeviceIdentity{};
    }
    return port.device;
}
