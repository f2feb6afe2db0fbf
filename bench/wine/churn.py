#!/usr/bin/env python3
"""A long set: the groovebox and the music application's port leave and come back, one after
the other, CYCLES times each, while notes and clock flow. Quorvel takes each one up again by
itself. At the end no note is left sounding (the driver checks as the process ends), no word was
lost outside the time a port was away, none was doubled or reordered, and the process holds as
many handles as after the first cycles. Prints the figures: the pace of the cycles, the words,
the releases, and the handles, working set and private bytes after WARM_UP cycles and at the end."""
import bisect
import os
import sys
import threading
import time

from harness import driver
from harness.midi import numbered_note
from harness.panel import GROOVEBOX, MUSIC_APP, Quorvel
from harness.waiting import wait_until
from harness.wine import BUILD, Display

CYCLES = int(os.environ.get("QUORVEL_CHURN_CYCLES", 1000))  # of each port
WARM_UP = 50
CLOCK = 0xF8


class Player(threading.Thread):
    """Numbered notes with a clock between them, twenty words every ten milliseconds."""

    def __init__(self, run):
        super().__init__(daemon=True)
        self.run_, self.stop, self.played = run, threading.Event(), 0

    def run(self):
        while not self.stop.is_set():
            words = []
            for _ in range(10):
                words += [numbered_note(self.played), CLOCK]
                self.played += 1
            self.run_.inject(0, words)
            self.stop.wait(0.01)


def cycle(run, kind, name):
    """The device leaves and comes back; returns (removed, back in service) in ticks."""
    removed = run.unplug(kind, name).ticks
    mark = run.mark()
    run.plug_in(kind, name)
    wanted = "in-start" if kind == "in" else "out-open"
    wait_until(lambda: any(name == wanted for name, _ in run.port_events(mark)), 30, 0.002,
               f"{kind} taken up")
    back = next(e.ticks for e in run.events()[mark:] if driver.PORT_EVENTS.get(e.kind) == wanted)
    return removed, back


def lost_outside_the_faults(run, windows):
    """The numbered notes lost outside the windows (but for the one in flight as each began),
    and whether those sent are the delivered ones, once each and in order."""
    delivered = [(e.word, e.ticks) for e in run.events() if e.kind == driver.DELIVERED and
                 e.word != CLOCK]
    sent = [word for word in run.sent(by="input") if word != CLOCK]
    arrived = set(sent)
    in_order = len(arrived) == len(sent) and sent == [w for w, _ in delivered if w in arrived]
    ticks = [t for _, t in delivered]
    # The last word delivered before a port left may still have met its dead handle.
    excused = {bisect.bisect_left(ticks, start) - 1 for start, _ in windows}
    for start, end in windows:
        excused.update(range(bisect.bisect_left(ticks, start), bisect.bisect_right(ticks, end)))
    lost = [w for i, (w, _) in enumerate(delivered) if w not in arrived and i not in excused]
    return lost, in_order, len(delivered), len(sent)


def main():
    display = Display()
    display.start()
    run = Quorvel(display, [0, 1, 1, 0, 0])
    try:
        run.start()
        run.wait_panel()
        run.wait_started()
        player = Player(run)
        player.start()
        windows, held_at_warm_up = [], None
        began = time.monotonic()
        for number in range(CYCLES):
            windows.append(cycle(run, "in", GROOVEBOX))
            windows.append(cycle(run, "out", MUSIC_APP))
            if number + 1 == WARM_UP:
                held_at_warm_up = run.resources()
        took = time.monotonic() - began
        held_at_end = run.resources()
        player.stop.set()
        player.join()
        code = run.close(60)
        lost, in_order, delivered, sent = lost_outside_the_faults(run, windows)
        releases = len(run.sent(by="program"))
        violations = run.violations()
    finally:
        run.cleanup()
        display.stop()
    print(f"build: {BUILD.name}; {CYCLES} leave-and-return cycles of the input and of the output "
          f"in {took:.0f} s ({took / (2 * CYCLES) * 1000:.0f} ms a cycle), notes and clock "
          f"flowing")
    print(f"words: {delivered} notes delivered, {sent} sent on, {len(lost)} lost outside the "
          f"faults, in order: {in_order}; {releases} releases sent; violations: "
          f"{violations or 'none'}")
    for label, held in ((f"after {WARM_UP} cycles", held_at_warm_up), ("at the end", held_at_end)):
        print(f"{label:>16}: {held['handles']} handles, working set "
              f"{held['working_set'] / 1024:.0f} KiB, private bytes "
              f"{held['private_bytes'] / 1024:.0f} KiB")
    passed = (code == 0 and not lost and in_order and not violations and
              held_at_end["handles"] == held_at_warm_up["handles"])
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
