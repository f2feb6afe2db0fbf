"""Runs the output gate's stress program under Wine against the virtual driver: four senders
with a mark each (the product's 32 slots), then four senders on two slots, two of them sharing
the counted mark. Passes only if no send reached a closed or closing port, every word arrived
once and in order, and the switcher made the switches its own pace promised."""
import os
import sys
from collections import Counter

from harness import driver
from harness.wine import BUILD, Display

SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 15))  # each run
RUNS = (("output_gate_stress_32.exe", 4), ("output_gate_stress_2.exe", 4))


def stress(display, program, senders):
    code, output, records = driver.run_against_driver(
        display, program, SECONDS, senders, inputs=[], outputs=["Output A", "Output B"],
        timeout=3 * SECONDS + 120, stress=1)
    violations = Counter(name for name, _ in records.violations())
    took = [record.word for record in records.events_of(driver.SEND_TOTAL)]
    print(f"{BUILD.name} {program}, {senders} senders: {output}; driver took {took} sends; "
          f"violations: {dict(violations) or 'none'}")
    words = output.split()
    return code == 0 and not violations and len(words) == 10 and took == [int(words[5])]


def main():
    with Display() as display:
        passed = [stress(display, program, senders) for program, senders in RUNS]
    return 0 if all(passed) else 1


if __name__ == "__main__":
    sys.exit(main())
