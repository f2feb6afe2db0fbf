// Logs the panel off as Windows does at the end of a session, for the end-to-end tests: sends it
// WM_QUERYENDSESSION, then WM_ENDSESSION with TRUE, and prints the panel's answers. Windows
// would then end the process itself; that is left to the caller. With "cancel", WM_ENDSESSION
// says FALSE, as when another program refused the end of the session.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    const bool cancelled = argc > 1 && lstrcmpA(argv[1], "cancel") == 0;
    HWND panel = FindWindowA("#32770", "Quorvel");
    if (panel == nullptr) {
        std::printf("no panel\n");
        return 1;
    }
    const auto logOff = static_cast<LPARAM>(ENDSESSION_LOGOFF);
    DWORD_PTR answer = 0;
    const LRESULT queried =
        SendMessageTimeoutA(panel, WM_QUERYENDSESSION, 0, logOff, SMTO_NORMAL, 30000, &answer);
    std::printf("query %d %lu\n", queried != 0, static_cast<unsigned long>(answer));
    const LRESULT ended = SendMessageTimeoutA(panel, WM_ENDSESSION, cancelled ? FALSE : TRUE,
                                              logOff, SMTO_NORMAL, 30000, &answer);
    std::printf("end %d\n", ended != 0);
    return 0;
}
