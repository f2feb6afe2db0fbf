"""Runs the output gate's stress program under Wine against the virtual driver and passes only
if no send reached a closed or closing port and every word arrived once, in order."""
import os
import sys
import tempfile
from collections import Counter
from pathlib import Path

from harness import driver
from harness.wine import BUILD, Display, run_program, windows_path

# Switches for at least this long and at least this often: millions of times on a quiet machine,
# where a gate without its barrier fails within the first million; on a busy one the program
# goes on until it has made the million.
SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 25))
LEAST_SWITCHES = 1_000_000


def main():
    display = Display()
    display.start()
    try:
        with tempfile.TemporaryDirectory(prefix="quorvel-stress-") as folder:
            (Path(folder) / driver.FILES["DevicesFile"]).write_text(
                driver.device_lines([], ["Output A", "Output B"]))
            environment = dict(display.environment, **driver.environment(
                windows_path(folder), stress=1, quiet=1))
            code, output = run_program("output_gate_stress.exe", SECONDS, LEAST_SWITCHES,
                                       environment=environment, timeout=SECONDS + 180)
            records = driver.DriverRecords(Path(folder))
            print(f"{BUILD.name}: {output.strip()}")
            if code != 0:
                return 1
            _, switches, _, sent = output.split()
            violations = Counter(name for name, _ in records.violations())
            took = [word for kind, _, word, _, _ in records.events_of(driver.SEND_TOTAL)]
            print(f"driver: took {took} sends; violations: {dict(violations) or 'none'}")
            return 0 if not violations and took == [int(sent)] and \
                int(switches) >= LEAST_SWITCHES else 1
    finally:
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
