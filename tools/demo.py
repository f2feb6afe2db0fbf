#!/usr/bin/env python3
"""The demo behind `make run`: Quorvel under Wine between two virtual MIDI devices, a groovebox
and a music application, playing a short recorded performance. Prints what the application
receives as a MIDI monitor and saves a screenshot of the panel to build/quorvel-panel.png, with
where each control lies in it in build/quorvel-panel.json (the user guide's labelled picture is
drawn from the two by tools/label-panel.py).
With a display of your own (DISPLAY set) the panel stays up until you close it; otherwise it
runs on a private Xvfb display and closes itself at the end.
QUORVEL_DEMO_NAMES=windows gives the two devices the names a Windows 11 musician sees, a
groovebox and Windows MIDI Services' default loopback, for the user guide's picture."""
import json
import os
import sys
import time

from harness import cdefs
from harness.cdefs import ROOT
from harness.midi import cc, note_off, note_on, program
from harness.panel import GROOVEBOX, MUSIC_APP, Quorvel
from harness.wine import Display

CLOCK_SECONDS = 60 / 120 / 24  # 24 clocks per quarter note at 120 BPM
NOTE_NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
DEVICE_NAMES = {"": (GROOVEBOX, MUSIC_APP), "windows": ("Groovebox", "Default App Loopback (A)")}


def performance():
    """(seconds, message) pairs: two bars of drums, a wheel turn, and status reports."""
    events = [(0.0, 0xFA)]
    for tick in range(192):
        at = tick * CLOCK_SECONDS
        events.append((at, 0xF8))
        if tick % 12 == 0:
            key = 36 if tick % 24 == 0 else 38
            events += [(at, note_on(key, 100, 10)), (at + 0.05, note_off(key, 10))]
        if tick == 30:
            events += [(at, cc(32, 0)), (at, program(12))]  # the wheel turns: "dn"
        if tick == 54:
            events += [(at, program(11))]  # and back one patch: "up"
        if tick == 96:
            events += [(at, m) for m in (cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5))]
        if tick == 144:
            events += [(at, m) for m in (cc(99, 0), cc(98, 119), cc(38, 3))]
    events.append((192 * CLOCK_SECONDS, 0xFC))
    return sorted(events, key=lambda event: event[0])


def describe(word):
    status, data1, data2 = word & 0xFF, word >> 8 & 0xFF, word >> 16 & 0xFF
    kind, channel = status & 0xF0, (status & 0x0F) + 1
    if kind == 0x90 and data2:
        name = NOTE_NAMES[data1 % 12] + str(data1 // 12 - 1)
        return f"Note On  {data1:3} ({name}) vel {data2:3}  ch {channel}"
    if kind in (0x80, 0x90):
        return f"Note Off {data1:3}  ch {channel}"
    if kind == 0xB0:
        return f"CC {data1} = {data2}  ch {channel}"
    return {0xF8: "Clock", 0xFA: "Start", 0xFB: "Continue", 0xFC: "Stop"}.get(status,
                                                                           f"0x{word:06x}")


class Monitor:
    def __init__(self, run):
        self.run = run
        self.seen = 0
        self.clocks = 0

    def show_new(self):
        sent = self.run.sent()
        for word in sent[self.seen:]:
            if word == 0xF8:
                self.clocks += 1
                if self.clocks % 24 == 0:
                    print(f"  Clock x24 (beat {self.clocks // 24})")
                continue
            print(f"  {describe(word)}")
        self.seen = len(sent)


def save_layout(run, path, devices):
    """The panel's client size, each control's rectangle in it by its resource name, and the
    devices its lists show."""
    state = run.state()
    names = {value: name for name, value in cdefs.defines("panel/resource.h").items()
             if name.startswith("IDC_") and value > 0}
    controls = {names[id]: rect for id, (rect, _) in state["controls"].items() if id in names}
    path.write_text(json.dumps({"client": state["client"][2:], "controls": controls,
                                "devices": devices}, indent=1))


def main():
    names = os.environ.get("QUORVEL_DEMO_NAMES", "")
    if names not in DEVICE_NAMES:
        sys.exit(f"QUORVEL_DEMO_NAMES={names} names no set of devices: leave it unset, or "
                 "set it to windows")
    groovebox, music_app = DEVICE_NAMES[names]
    display = Display(use_current=True)
    display.start()
    run = Quorvel(display, [0, 1, 1, 0, 0], inputs=[groovebox], outputs=[music_app])
    try:
        run.start()
        run.wait_panel()
        run.wait_started()
        print(f"Quorvel is bridging '{groovebox}' to '{music_app}'.")
        print("What the music application receives:")
        monitor = Monitor(run)
        screenshot = ROOT / "build" / "quorvel-panel.png"
        played = performance()
        halfway = played[-1][0] / 2
        began = time.monotonic()
        for at, word in played:
            delay = began + at - time.monotonic()
            if delay > 0:
                time.sleep(delay)
                monitor.show_new()
            run.inject(0, [word])
            if halfway is not None and at >= halfway:
                run.screenshot(screenshot, panel_only=True)  # with the lights lit
                save_layout(run, screenshot.with_suffix(".json"),
                            {"input": groovebox, "output": music_app})
                halfway = None
        time.sleep(0.5)
        monitor.show_new()
        print(f"Panel screenshot, taken while the groovebox played: {screenshot}")
        if display.use_current:
            print("Close the panel to end the demo.")
            while run.running():
                monitor.show_new()
                time.sleep(0.2)
        else:
            print(f"Quorvel closed with exit code {run.close()}.")
        violations = run.violations()
        if violations:
            sys.exit(f"driver contract violations: {violations}")
    finally:
        run.cleanup()
        display.stop()


main()
