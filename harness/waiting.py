"""Every wait of the harness is on a condition, bounded."""
import time

from harness.wine import SLOWER


def wait_until(condition, timeout=30.0, interval=0.05, what="condition"):
    end = time.monotonic() + timeout * SLOWER
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out after {timeout * SLOWER} s waiting for {what}")
        time.sleep(interval)
