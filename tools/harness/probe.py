"""The panel probe: a program of the build that reads the running panel's state from outside
(the controls, selections, checks, focus, a drop-down, a message box, a tooltip, the lights,
what its process holds)."""
import subprocess
import tempfile
from pathlib import Path

from harness.waiting import wait_until
from harness.wine import BUILD, WINE, run_program


def parse_probe(output):
    """The probe's answer as a dict; None if it was cut short (no "end" line)."""
    state = {"controls": {}, "tab_order": [], "selection": {}, "items": {}, "check": {},
             "text": [], "edit": {}, "edit_start": {}, "dropped_width": {}, "windows": {}}
    for line in output.splitlines():
        key, _, rest = line.partition(" ")
        fields = rest.split(" ")
        if key == "panel":
            state["panel"] = rest == "1"
        elif key == "client":
            state["client"] = tuple(map(int, fields))
        elif key == "control":
            state["controls"][int(fields[0])] = (tuple(map(int, fields[2:6])),
                                                 " ".join(fields[6:]))
            if fields[1] == "1":
                state["tab_order"].append(int(fields[0]))
        elif key == "selection":
            state["selection"][int(fields[0])] = int(fields[1])
        elif key == "item":
            state["items"].setdefault(int(fields[0]), []).append(" ".join(fields[2:]))
        elif key == "edit":
            state["edit"][int(fields[0])] = " ".join(fields[1:])
        elif key == "editstart":
            state["edit_start"][int(fields[0])] = int(fields[1])
        elif key == "droppedwidth":
            state["dropped_width"][int(fields[0])] = (int(fields[1]), int(fields[2]))
        elif key == "check":
            state["check"][int(fields[0])] = int(fields[1])
        elif key == "resources":
            state["resources"] = dict(zip(("handles", "working_set", "private_bytes"),
                                          map(int, fields)))
        elif key == "focus":
            state["focus"] = int(rest)
        elif key == "box":
            state["box"] = None if rest == "none" else rest
        elif key == "text":
            state["text"].append(rest)
        elif key == "tooltip":
            state["tooltip"] = None if rest == "none" else rest
        elif key == "capture":
            state["capture"] = rest == "1"
        elif key == "dropdown":
            state["dropdown"] = None if rest == "none" else tuple(map(int, fields))
        elif key == "window":
            state["windows"][int(fields[0])] = {"iconic": fields[1] == "1",
                                                "foreground": fields[2] == "1"}
        elif key == "end":
            return state
    return None


class PanelProbe:
    """What a run learns of its panel through the probe; needs self.display."""

    def probe(self, command="state"):
        """The probe's answer; a partial one (the probe was cut short) is asked again."""
        return wait_until(lambda: parse_probe(run_program(
            "panel_probe.exe", command, environment=self.display.environment, timeout=60)[1]),
            30, 0.1, f"a whole {command} answer")

    def state(self):
        return self.probe("state")

    def watch_lights(self, action, milliseconds=1500):
        """Runs `action` while the probe watches the lights without a gap for `milliseconds`;
        returns, by their texts and by their painted colours, whether the in and the out light
        were ever lit, and whether they are lit at the end: {"lights": (ever in, ever out, in
        now, out now), "painted": (...)}."""
        with tempfile.NamedTemporaryFile(mode="w+", errors="replace") as output:
            watcher = subprocess.Popen([WINE, str(BUILD / "panel_probe.exe"), "lights",
                                        str(milliseconds)], env=self.display.environment,
                                       stdout=output, stderr=subprocess.STDOUT)
            text = lambda: Path(output.name).read_text(errors="replace")
            wait_until(lambda: "watching" in text(), what="the probe watching the lights")
            action()
            watcher.wait(milliseconds / 1000 + 60)
            answer = {}
            for line in text().splitlines():
                key, _, rest = line.partition(" ")
                if key in ("lights", "painted"):
                    answer[key] = tuple(field == "1" for field in rest.split()[:4])
            return answer

    def resources(self):
        """What the panel's process holds: {"handles", "working_set", "private_bytes"}."""
        return wait_until(lambda: self.probe("resources").get("resources"), 30, 0.1,
                          "the process's resources")

    def panel_windows(self):
        """Every panel on the screen by its Windows process id: {"iconic": .., "foreground": ..}."""
        return self.probe("panels")["windows"]

    def message_box(self):
        """(caption, text) of an open message box, or None."""
        state = self.probe("box")
        if not state.get("box"):
            return None
        return state["box"], " ".join(state["text"])

    def tooltip(self):
        """The text of the tooltip on show, or None."""
        return self.probe("tooltip").get("tooltip")

    def wait_message_box(self, timeout=30):
        return wait_until(self.message_box, timeout, 0.2, "a message box")
