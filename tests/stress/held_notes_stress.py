"""Runs the held notes' stress program under Wine against the virtual driver, with four senders.
Passes only if no release reached a device that did not hold its note, no note was left
sounding at either device as the process ended, and the program switched and sent at all."""
import os
import sys
import tempfile
from collections import Counter
from pathlib import Path

from harness import driver
from harness.wine import BUILD, Display, run_program, windows_path

SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 15))
SENDERS = 4


def main():
    display = Display()
    display.start()
    try:
        with tempfile.TemporaryDirectory(prefix="quorvel-stress-") as folder:
            (Path(folder) / driver.FILES["DevicesFile"]).write_text(
                driver.device_lines([], ["Output A", "Output B"]))
            environment = dict(display.environment,
                               **driver.environment(windows_path(folder), quiet=1))
            code, output = run_program("held_notes_stress.exe", SECONDS, SENDERS,
                                       environment=environment, timeout=2 * SECONDS + 120)
            records = driver.DriverRecords(Path(folder))
            violations = Counter(name for name, _ in records.violations())
            sounding = len(records.notes_left_sounding())
    finally:
        display.stop()
    print(f"{BUILD.name} held_notes_stress, {SENDERS} senders: {output.strip()}; violations: "
          f"{dict(violations) or 'none'}; left sounding at the end: {sounding}")
    words = output.split()
    passed = (code == 0 and not violations and len(words) == 4 and int(words[1]) > 100 and
              int(words[3]) > 0)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
