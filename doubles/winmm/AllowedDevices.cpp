// The devices a test allows the program to open: "never another device" is checked at every
// open of every test, not remembered case by case.
#include "FakeWinmm.h"

#include <cstdio>
#include <cstring>

bool DeviceAllowed(const Family& family, int device) {
    char path[MAX_PATH];
    PathInFolder(path, kAllowedFile);
    std::FILE* allowed = std::fopen(path, "r");
    if (allowed == nullptr) {
        return true;
    }
    const char* name = device < 0 ? kMapperName : family.devices[device].name;
    char wanted[MAXPNAMELEN + 8];
    std::snprintf(wanted, sizeof wanted, "%s %s", family.name, name);
    bool found = false;
    char line[MAXPNAMELEN + 8];
    while (!found && std::fgets(line, sizeof line, allowed) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        found = std::strcmp(line, wanted) == 0;
    }
    std::fclose(allowed);
    return found;
}
