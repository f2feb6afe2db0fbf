"""Real X input on the panel through xdotool, as a user gives it: clicks, keys, a list dropped
down and an entry picked, the mouse wheel rolled, the mouse rested for a tooltip, a box
answered, and screenshots."""
import subprocess
import time
from pathlib import Path

from harness.controls import ALL_CONTROLS, INPUT_DEVICE, OUTPUT_DEVICE
from harness.waiting import wait_until


def panels():
    """The windows titled as the panel, on the whole display."""
    return [window for window in xdotool("search", "--name", "^Quorvel$").split("\n") if window]


def xdotool(*arguments):
    return subprocess.run(["xdotool", *map(str, arguments)], check=False, capture_output=True,
                          text=True).stdout.strip()


class PanelInput:
    """A run's hands on its panel; needs self.display, self.state() and self.allow()."""

    def hover(self, control, place=None):
        """Rests the mouse on a control (its centre, or `place` in the panel), as a user does to
        read its tooltip."""
        x, y = place or self.center(control)
        # The small move within the control is what starts the tooltip's timer.
        xdotool("mousemove", "--window", self.panel_window, x, y, "mousemove_relative", "--",
                1, 0)

    def wheel(self, control, notches, place="field"):
        """Rolls the mouse wheel over a control without clicking it, as a hand passing over the
        panel does: `notches` down (positive) or up (negative), with the pointer over a list's
        edit field or its arrow ("arrow")."""
        left, top, right, _ = self.rects[control]
        x = right - 6 if place == "arrow" else left + 10
        xdotool("mousemove", "--window", self.panel_window, x, top + 8, "click", "--repeat",
                abs(notches), "--delay", 100, 5 if notches > 0 else 4)

    def press_box_ok(self, caption):
        box = wait_until(lambda: xdotool("search", "--name", f"^{caption}$").split("\n")[0],
                         30, what=f"the {caption!r} box window")
        # Pressed again if the box is still up a while later, as a user would: a key that
        # reaches the box before its focus does is lost.
        for _ in range(5):
            xdotool("windowfocus", "--sync", box)
            xdotool("key", "--clearmodifiers", "Return")
            try:
                return wait_until(lambda: self.message_box() is None, 6, 0.2, "the box to close")
            except AssertionError:
                pass
        raise AssertionError("the box stayed up after five presses of Return")

    def wait_panel(self, timeout=30):
        self.panel_window = wait_until(
            lambda: xdotool("search", "--name", "^Quorvel$").split("\n")[0], timeout,
            what="the panel window")
        # The dialog's window exists before its last control does.
        state = wait_until(lambda: (lambda s: s if s.get("panel") and ALL_CONTROLS <= set(
            s["controls"]) else None)(self.state()), timeout, 0.2, "the panel and its controls")
        self.rects = {id: rect for id, (rect, _) in state["controls"].items()}
        return state

    def center(self, control):
        left, top, right, bottom = self.rects[control]
        return (left + right) // 2, (top + bottom) // 2

    def click(self, control, x=None, y=None):
        cx, cy = self.center(control)
        # One xdotool run, so the press follows the move; no --sync, which waits out a long
        # timeout when the pointer is already there.
        xdotool("mousemove", "--window", self.panel_window, x if x is not None else cx,
                y if y is not None else cy, "click", 1)

    def focus_list(self, control):
        """Clicks into a list's edit field, which gives the list the focus; clicked again if the
        focus is not there a while later, as choose() clicks its arrow again."""
        left, top, _, _ = self.rects[control]
        for _ in range(3):
            self.click(control, left + 10, top + 8)
            try:
                return wait_until(lambda: self.state()["focus"] == control, 10, 0.1,
                                  f"list {control} focused")
            except AssertionError:
                pass
        raise AssertionError(f"list {control} took no focus after three clicks")

    def focus_panel(self):
        xdotool("windowfocus", "--sync", self.panel_window)

    def key(self, *keys):
        self.focus_panel()
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.05)  # key repeat pacing, as a user types; every check waits after

    def type_text(self, text):
        self.focus_panel()
        xdotool("type", "--delay", 50, text)

    def choose(self, control, index):
        """Drops the list down with its arrow and clicks entry `index`, as a user does."""
        self.pick(self.drop_down(control), control, index)

    def drop_down(self, control):
        """Drops the list down with its arrow; returns the drop-down's place."""
        left, top, right, _ = self.rects[control]
        # Clicked again if the list is not down a while later, as a user would: a click that
        # reaches a window before it takes input is lost.
        for _ in range(3):
            self.click(control, right - 6, top + 8)
            try:
                return wait_until(lambda: self.drop_down_state().get("dropdown"), 10, 0.1,
                                  "the drop-down list")
            except AssertionError:
                pass
        raise AssertionError("the list did not drop down after three clicks on its arrow")

    def pick(self, dropdown, control, index):
        """Clicks entry `index` of the dropped-down list; a device chosen so may open."""
        kinds = {INPUT_DEVICE: "in", OUTPUT_DEVICE: "out"}
        if control in kinds:
            items = self.state()["items"].get(control, [])
            if index < len(items):
                self.allow(kinds[control], items[index])
        d_left, d_top, d_right, _, item_height = dropdown
        xdotool("mousemove", (d_left + d_right) // 2,
                d_top + 2 + item_height * index + item_height // 2, "click", 1)
        wait_until(lambda: (lambda s: s["dropdown"] is None and not s["capture"])(
            self.drop_down_state()), 30, 0.1, "the drop-down list to close and let go")

    def system_menu(self, mnemonic):
        """Opens the panel's system menu with Alt+Space and runs its item `mnemonic`."""
        self.key("alt+space", mnemonic)

    def close(self, timeout=30):
        self.key("alt+F4")
        return self.wait_exit(timeout)

    def screenshot(self, path, panel_only=False):
        Path(path).parent.mkdir(parents=True, exist_ok=True)
        window = self.panel_window if panel_only and self.panel_window else "root"
        subprocess.run(["import", "-window", window, str(path)], env=self.display.environment,
                       check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
