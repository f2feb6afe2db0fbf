#!/usr/bin/env python3
"""Latency through the real program under Wine: from the virtual driver's MIM_DATA delivery
to the matching send, over a realistic groovebox stream, beside a bare forwarder program
measured in the same run. Prints p50, p99 and max, and the ratio of the two."""
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
import harness  # noqa: E402
from harness import CLOCK_FREQUENCY, DELIVERED, SENT, cc, note_on, program  # noqa: E402

MESSAGES = 100_000


def realistic_bars():
    """Four bars at 120 BPM: clock, sixteenth-note drums, a filter sweep on channel 2, a wheel
    turn per bar and a drum and a synth status report per bar."""
    stream = [0xFA]
    for bar in range(4):
        for tick in range(96):
            stream.append(0xF8)
            if tick % 6 == 0:
                key = 36 if tick % 24 == 0 else 42
                stream += [note_on(key, 100, 10), 0x89 | key << 8]
            if tick % 4 == 0:
                stream.append(cc(74, tick, 2))
            if tick == 12:
                stream += [cc(32, 0), program(bar)]
            if tick == 48:
                stream += [cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5)]
            if tick == 72:
                stream += [cc(99, 0), cc(98, 119), cc(38, 9)]
            if tick == 90:
                stream += [0xE0 | 64 << 16, 0xFE]
    return stream + [0xFC]


def percentile(sorted_values, fraction):
    return sorted_values[min(len(sorted_values) - 1, int(fraction * len(sorted_values)))]


def measure(display, name, arguments=()):
    run = harness.Quorvel(display, [0, 1, 1, 0, 0], inputs=["Groovebox MIDI Out"],
                          outputs=["Music App MIDI In"], program_name=name)
    try:
        run.start(arguments)
        harness.wait_until(lambda: any(e == ("in-start", 0) for e in run.port_events()), 30,
                           what=f"{name} to start its input")
        bars = realistic_bars()
        stream = (bars * (MESSAGES // len(bars) + 1))[:MESSAGES]
        for start in range(0, MESSAGES, 5000):  # played in bursts, as a busy bar sounds
            run.inject(0, stream[start:start + 5000])
            time.sleep(0.05)
        harness.wait_until(lambda: len(run.events_of(DELIVERED)) >= MESSAGES, 300, 0.5,
                           f"{name}: every message delivered")
        time.sleep(1)
        events = run.events()
        frequency = next(ticks for kind, _, _, _, ticks in events if kind == CLOCK_FREQUENCY)
        latencies = []
        pending = None
        for kind, _, word, thread, ticks in events:
            if kind == DELIVERED:
                pending = (word, thread, ticks)
            elif kind == SENT and pending and thread == pending[1]:
                if word == pending[0]:
                    latencies.append((ticks - pending[2]) * 1e6 / frequency)
                pending = None
        if run.violations():
            raise SystemExit(f"{name}: driver contract violations {run.violations()[:5]}")
        return sorted(latencies)
    finally:
        run.cleanup()


def main():
    display = harness.Display()
    display.start()
    try:
        quorvel = measure(display, "Quorvel.exe")
        bare = measure(display, "bare_forwarder.exe")
    finally:
        display.stop()
    print(f"{'':28}{'messages':>10}{'p50 us':>10}{'p99 us':>10}{'max us':>10}")
    for name, values in (("Quorvel under Wine", quorvel), ("bare forwarder under Wine", bare)):
        print(f"{name:28}{len(values):>10}{percentile(values, 0.5):>10.1f}"
              f"{percentile(values, 0.99):>10.1f}{values[-1]:>10.1f}")
    print(f"Quorvel / bare forwarder: p50 {percentile(quorvel, 0.5) / percentile(bare, 0.5):.2f}x, "
          f"p99 {percentile(quorvel, 0.99) / percentile(bare, 0.99):.2f}x")


main()
