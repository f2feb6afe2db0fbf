// The event log: one FakeMidiEvent record per open, close, delivery, send, stage fault and
// contract violation, appended to the events file.
#include "FakeWinmm.h"

namespace {

HANDLE events = INVALID_HANDLE_VALUE;
SRWLOCK eventLock = SRWLOCK_INIT;

void Append(const FakeMidiEvent& event) {
    DWORD written = 0;
    WriteFile(events, &event, sizeof event, &written, nullptr);
}

} // namespace

void OpenEventLog() {
    char path[MAX_PATH];
    PathInFolder(path, kEventsFile);
    events = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    Record(EventClockFrequency, -1, GetCurrentProcessId(), frequency.QuadPart);
}

std::int64_t Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Record(FakeMidiEventKind kind, int device, std::uint32_t word, std::int64_t ticks) {
    if (events == INVALID_HANDLE_VALUE) {
        return;
    }
    const FakeMidiEvent event{kind, device, word, GetCurrentThreadId(),
                              ticks != 0 ? ticks : Ticks()};
    AcquireSRWLockExclusive(&eventLock);
    Append(event);
    ReleaseSRWLockExclusive(&eventLock);
}

void Violation(FakeMidiViolation violation, int device) {
    Record(EventViolation, device, violation);
}

void AppendAtExit(FakeMidiEventKind kind, int device, std::uint32_t word) {
    if (events != INVALID_HANDLE_VALUE) {
        Append({kind, device, word, GetCurrentThreadId(), Ticks()});
    }
}

void RecordSendTotal() {
    AppendAtExit(EventSendTotal, -1, SendsTaken());
}
