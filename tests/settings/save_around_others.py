"""Runs the settings save's cases against other programs under Wine; passes if every case does."""
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import wine_session as harness  # noqa: E402


def main():
    display = harness.Display()
    display.start()
    try:
        result = subprocess.run([harness.WINE, str(harness.BUILD / "settings_save_around_others.exe")],
                                env=display.environment, capture_output=True, text=True,
                                timeout=120, check=False)
        print(f"{harness.BUILD.name}:\n{result.stdout}{result.stderr}", end="")
        return result.returncode
    finally:
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
