"""Runs the output gate's stress program under Wine against the virtual driver and passes only
if no send reached a closed or closing port and every word arrived once, in order."""
import os
import subprocess
from collections import Counter
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import wine_session as harness  # noqa: E402

# Switches for a fixed time: tens of millions of them, where a gate without its barrier fails
# within the first million, and one whose barrier is a stub within some millions.
SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 25))
LEAST_SWITCHES = 1_000_000


def main():
    display = harness.Display()
    display.start()
    try:
        with tempfile.TemporaryDirectory(prefix="quorvel-stress-") as folder:
            (Path(folder) / "devices.txt").write_text("out Output A\nout Output B\n")
            environment = dict(display.environment, QUORVEL_FAKE_MIDI_STRESS="1",
                               QUORVEL_FAKE_MIDI_QUIET="1",
                               QUORVEL_FAKE_MIDI_DIR=harness.windows_path(folder))
            result = subprocess.run([harness.WINE, str(harness.BUILD / "output_gate_stress.exe"),
                                     str(SECONDS)], env=environment,
                                    capture_output=True, text=True, timeout=240, check=False)
            records = harness.DriverRecords(Path(folder))
            print(f"{harness.BUILD.name}: {result.stdout.strip()} {result.stderr.strip()}")
            if result.returncode != 0:
                return 1
            _, switches, _, sent = result.stdout.split()
            violations = Counter(name for name, _ in records.violations())
            took = [word for kind, _, word, _, _ in records.events() if kind == harness.SEND_TOTAL]
            print(f"driver: took {took} sends; violations: {dict(violations) or 'none'}")
            return 0 if not violations and took == [int(sent)] and \
                int(switches) >= LEAST_SWITCHES else 1
    finally:
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
