// The output gate: lets the window thread close and reopen the output port while other threads
// (the MIDI delivery threads, however many the platform uses) may be sending to it, with no send
// ever reaching a port that is closed or closing. It holds the output port's handle.
#pragma once

#include <windows.h>

#include <mmsystem.h>

// Names the calling thread as the window thread: the only one that switches the port, whose
// own sends therefore need no gate. Call it before any port is opened.
void MarkWindowThread();

// Window thread only. Between Begin and End no other thread is inside a send, and any that
// comes waits until End, then sends to the port placed by then; so nothing is lost and each
// thread's messages keep their order. Begin stops each thread that has sent, for a moment, to
// see where it is. Hold nothing across Begin that the sender may wait for.
void BeginOutputSwitch();
HMIDIOUT TakeOutputPort(); // the port, or null; the gate holds none afterwards
HMIDIOUT HeldOutputPort(); // the port, or null, left in place; for the window thread only
void PlaceOutputPort(HMIDIOUT port);
void EndOutputSwitch();

// From any thread: one short message to the port the gate holds; dropped when it holds none.
// What reaches the port from a thread other than the window thread is kept as held notes.
void SendThroughOutputGate(DWORD message);
