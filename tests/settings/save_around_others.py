"""Runs the settings save's cases against other programs under Wine; passes if every case does."""
import sys

from harness.wine import BUILD, Display, run_program


def main():
    with Display() as display:
        code, output = run_program("settings_save_around_others.exe",
                                   environment=display.environment)
    print(f"{BUILD.name}:\n{output}", end="")
    return code


if __name__ == "__main__":
    sys.exit(main())
