"""Runs the output gate's stress program under Wine against the virtual driver: four senders
with a mark each (the product's 32 slots), then four senders on two slots, two of them sharing
the counted mark. Passes only if no send reached a closed or closing port, every word arrived
once and in order, and the switcher made the switches its own pace promised."""
import os
import sys
import tempfile
from collections import Counter
from pathlib import Path

from harness import driver
from harness.wine import BUILD, Display, run_program, windows_path

SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 15))  # each run
RUNS = (("output_gate_stress_32.exe", 4), ("output_gate_stress_2.exe", 4))


def stress(display, program, senders):
    with tempfile.TemporaryDirectory(prefix="quorvel-stress-") as folder:
        (Path(folder) / driver.FILES["DevicesFile"]).write_text(
            driver.device_lines([], ["Output A", "Output B"]))
        environment = dict(display.environment, **driver.environment(
            windows_path(folder), stress=1, quiet=1))
        code, output = run_program(program, SECONDS, senders, environment=environment,
                                   timeout=3 * SECONDS + 120)
        records = driver.DriverRecords(Path(folder))
        violations = Counter(name for name, _ in records.violations())
        took = [record.word for record in records.events_of(driver.SEND_TOTAL)]
        print(f"{BUILD.name} {program}, {senders} senders: {output.strip()}; driver took "
              f"{took} sends; violations: {dict(violations) or 'none'}")
        words = output.split()
        return code == 0 and not violations and len(words) == 10 and took == [int(words[5])]


def main():
    with Display() as display:
        passed = [stress(display, program, senders) for program, senders in RUNS]
    return 0 if all(passed) else 1


if __name__ == "__main__":
    sys.exit(main())
