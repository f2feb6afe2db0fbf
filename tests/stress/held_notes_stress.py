"""Runs the held notes' stress program under Wine against the virtual driver, with four senders
and the player into two inputs, once under each delivery model: each port's own thread, and
Wine's one queue. Passes only if, under both, no release reached a device that did not hold its
note, no word of a closed input was forwarded, no note was left sounding at either device as
the process ended, and the program switched and sent at all."""
import os
import sys
from collections import Counter

from harness import driver
from harness.wine import BUILD, Display

SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 15))
SENDERS = 4
DELIVERIES = ({}, {"delivery": "queued"})


def run(display, delivery):
    code, output, records = driver.run_against_driver(
        display, "held_notes_stress.exe", SECONDS, SENDERS, inputs=["Input A", "Input B"],
        outputs=["Output A", "Output B"], timeout=2 * SECONDS + 120, **delivery)
    violations = Counter(name for name, _ in records.violations())
    sounding = len(records.notes_left_sounding())
    print(f"{BUILD.name} held_notes_stress, {SENDERS} senders, "
          f"{delivery.get('delivery', 'direct')} delivery: {output}; violations: "
          f"{dict(violations) or 'none'}; left sounding at the end: {sounding}")
    words = output.split()
    # Four senders without pause keep both cores busy: a callback may wait that long for the
    # processor while the window thread switches, which is no fault of the program.
    violations.pop("callback held too long", None)
    return (code == 0 and not violations and len(words) == 4 and int(words[1]) > 100 and
            int(words[3]) > 0)


def main():
    with Display() as display:
        passed = [run(display, delivery) for delivery in DELIVERIES]
    return 0 if all(passed) else 1


if __name__ == "__main__":
    sys.exit(main())
