"""The end of a session as Windows brings it to the panel: a program of the build sends it."""
from harness.wine import run_program


def log_off(display, cancelled=False):
    """Sends the panel what Windows sends at log-off (cancelled: the end called off after all);
    returns whether it let the session end and whether it took the end, or None if the panel
    was not found."""
    _, output = run_program("log_off.exe", *(["cancel"] if cancelled else []),
                            environment=display.environment, timeout=90)
    words = output.split()
    return (words[1:3] == ["1", "1"], words[3:5] == ["end", "1"]) if len(words) >= 5 else None
