#!/usr/bin/env python3
"""Latency of the real program under Wine: time-stamp counter cycles from just before the
virtual driver calls the input callback to the entry of the callback's first midiOutShortMsg,
over a realistic groovebox stream, for Quorvel and for a bare forwarder in the same run, and
for Quorvel while the user keeps switching the output device. The driver records no per-message
events here, so that its own file writes do not disturb what is measured. The two programs are
measured alternately, three times each; the figures are the medians of the three."""
import time

from harness import driver
from harness.midi import realistic_bars
from harness.controls import OUTPUT_DEVICE
from harness.panel import GROOVEBOX, MUSIC_APP, SYNTH_OUT, Quorvel
from harness.waiting import wait_until
from harness.wine import BUILD, EMULATED, Display

MESSAGES = 200_000
ROUNDS = 3


def measure(display, name, switching=False):
    """Nanoseconds from delivery to first send, sorted, for every message that was sent on, and
    how many output switches fell between the first and the last delivery."""
    run = Quorvel(display, [0, 1, 1, 0, 0], inputs=[GROOVEBOX], outputs=[MUSIC_APP, SYNTH_OUT],
                  program_name=name, allowed=[("in", GROOVEBOX), ("out", MUSIC_APP),
                                              ("out", SYNTH_OUT)])
    try:
        # While switching, the driver records every delivery, which slows it enough for the
        # switches to land in the middle of the stream.
        run.start(**({} if switching else {"quiet": 1}))
        wait_until(lambda: ("in-start", 0) in run.port_events(), 30,
                           what=f"{name} to start its input")
        bars = realistic_bars()
        stream = (bars * (MESSAGES // len(bars) + 1))[:MESSAGES]
        expected = MESSAGES - sum(1 for word in stream if word & 0xFF in (0xE0, 0xFE))
        samples = run.midi / driver.FILES["LatencyFile"]
        measured = lambda: samples.exists() and samples.stat().st_size >= 4 * expected
        if switching:
            run.wait_panel()
            run.focus_list(OUTPUT_DEVICE)
            run.inject(0, stream)
            keys = 0
            while not measured():
                run.key("Down" if keys % 2 == 0 else "Up")
                keys += 1
        else:
            for start in range(0, MESSAGES, 5000):
                run.inject(0, stream[start:start + 5000])
                time.sleep(0.02)  # played in bursts, as a busy bar sounds
        wait_until(measured, 300, 0.5, f"{name}: every message measured")
        events = run.events()
        frequency = next(event[4] for event in events if event[0] == driver.TSC_FREQUENCY)
        delivered = [event[4] for event in events if event[0] == driver.DELIVERED]
        switches = sum(1 for event in events if event[0] == driver.OUTPUT_OPENED and
                       delivered and delivered[0] < event[4] < delivered[-1])
        cycles = run.latency_cycles()
        if run.violations():
            raise SystemExit(f"{name}: driver contract violations {run.violations()[:5]}")
        return sorted(c * 1e9 / frequency for c in cycles), switches
    finally:
        run.cleanup()


def percentile(values, fraction):
    return values[min(len(values) - 1, int(fraction * len(values)))]


def figures(values):
    """p50, p99, max, and the mean of the fastest 99 %: where the time-stamp counter ticks as
    coarsely as a virtual machine's may (10 ns), a percentile jumps a whole tick, the mean does
    not."""
    fastest = values[:max(1, int(0.99 * len(values)))]
    return (percentile(values, 0.5), percentile(values, 0.99), values[-1],
            sum(fastest) / len(fastest))


def main():
    with Display() as display:
        rounds = [(figures(measure(display, "Quorvel.exe")[0]),
                   figures(measure(display, "bare_forwarder.exe")[0])) for _ in range(ROUNDS)]
        switching, switches = measure(display, "Quorvel.exe", switching=True)
    print(f"build: {BUILD.name}, "
          + ("EMULATED: qemu translates the i386 code, so only the ratios to the bare forwarder "
             "mean anything" if EMULATED else "run natively")
          + f"; {MESSAGES} messages of a realistic stream per program and round; nanoseconds "
          f"from delivery to the first send")
    print(f"{'':34}{'p50':>8}{'p99':>8}{'max':>10}{'mean99':>8}")
    for index, (quorvel, bare) in enumerate(rounds, 1):
        for label, (p50, p99, most, mean) in ((f"round {index}: Quorvel", quorvel),
                                              (f"round {index}: bare forwarder", bare)):
            print(f"{label:34}{p50:>8.1f}{p99:>8.1f}{most:>10.1f}{mean:>8.1f}")
    median = lambda program, column: sorted(r[program][column] for r in rounds)[ROUNDS // 2]
    print(f"median Quorvel / bare forwarder: p50 {median(0, 0):.1f} / {median(1, 0):.1f} = "
          f"{median(0, 0) / median(1, 0):.2f}x, p99 {median(0, 1):.1f} / {median(1, 1):.1f} = "
          f"{median(0, 1) / median(1, 1):.2f}x, mean of the fastest 99 % {median(0, 3):.1f} / "
          f"{median(1, 3):.1f} = {median(0, 3) / median(1, 3):.2f}x")
    p50, p99, most, _ = figures(switching)
    print(f"Quorvel, recording every event, during {switches} output switches: p50 {p50:.1f}, "
          f"p99 {p99:.1f}; the longest a delivery waited: {most / 1000:.1f} us")


main()
