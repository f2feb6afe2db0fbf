"""Runs the output gate's stress program under Wine against the virtual driver and passes only
if no send reached a closed or closing port and every word arrived once, in order."""
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import wine_session as harness  # noqa: E402

# Switches for a fixed time: tens of millions of them, where a gate without its barrier fails
# within the first million, and one whose barrier is a stub within some millions.
SECONDS = int(os.environ.get("QUORVEL_STRESS_SECONDS", 25))
SWITCHES, LEAST_SWITCHES = 1_000_000_000, 1_000_000


def main():
    display = harness.Display()
    display.start()
    try:
        with tempfile.TemporaryDirectory(prefix="quorvel-stress-") as folder:
            midi = Path(folder)
            (midi / "devices.txt").write_text("out Output A\nout Output B\n")
            environment = dict(display.environment, QUORVEL_FAKE_MIDI_STRESS="1", QUORVEL_FAKE_MIDI_QUIET="1",
                               QUORVEL_FAKE_MIDI_DIR=harness.windows_path(midi))
            result = subprocess.run([harness.WINE, str(harness.BUILD / "output_gate_stress.exe"),
                                     str(SWITCHES), str(SECONDS)], env=environment,
                                    capture_output=True, text=True, timeout=240, check=False)
            run = harness.DriverRecords(midi)
            return report(result, run)
    finally:
        display.stop()


def report(result, run):
    print(f"{harness.BUILD.name}: {result.stdout.strip()}")
    if result.returncode != 0:
        print(f"the stress program failed ({result.returncode}): {result.stderr.strip()}")
        return 1
    fields = result.stdout.split()
    switches, sent = int(fields[1]), int(fields[3])
    violations = run.violations()
    totals = [word for kind, _, word, _, _ in run.events() if kind == harness.SEND_TOTAL]
    counts = {}
    for name, _ in violations:
        counts[name] = counts.get(name, 0) + 1
    print(f"driver: took {totals[0] if totals else 'no total'} sends; violations: {counts or 'none'}")
    ok = not violations and totals == [sent] and switches >= LEAST_SWITCHES
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
