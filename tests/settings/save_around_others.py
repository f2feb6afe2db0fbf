"""Runs the settings save's cases against other programs under Wine; passes if every case does."""
import sys

from harness.wine import BUILD, Display, run_program


def main():
    display = Display()
    display.start()
    try:
        code, output = run_program("settings_save_around_others.exe",
                                   environment=display.environment)
        print(f"{BUILD.name}:\n{output}", end="")
        return code
    finally:
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
