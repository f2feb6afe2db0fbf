"""The panel probe: a program of the build that reads the running panel's state from outside
(the controls, selections, checks, focus, a drop-down, a message box, a tooltip, the lights,
what its process holds)."""
import subprocess
import tempfile
from pathlib import Path

from harness import cdefs
from harness.waiting import wait_until
from harness.wine import BUILD, SLOWER, WINE, run_program


PROTOCOL = "harness/probe/PanelProbeProtocol.h"
COMMANDS = {name[:-len("Command")]: value for name, value in cdefs.constants(PROTOCOL).items()
            if name.endswith("Command")}
read_line = cdefs.printf_lines(PROTOCOL)


def colour_name(red, green, blue):
    """What a musician calls a light's colour: "green" (lit), "dark" (a dark green), "amber"
    or "grey"."""
    if red > 0xC0 and 0x60 <= green <= 0xE0 and blue < 0x60:
        return "amber"
    if green > red + 0x18 and green > blue + 0x18:
        return "green" if green >= 0xA0 else "dark"
    return "grey" if abs(red - green) < 0x18 and abs(green - blue) < 0x18 else "other"


def parse_probe(output):
    """The probe's answer as a dict; None if it was cut short (no "end" line)."""
    state = {"controls": {}, "tab_order": [], "selection": {}, "items": {}, "check": {},
             "text": [], "edit": {}, "edit_start": {}, "dropped_width": {}, "windows": {},
             "lights": {}}
    for line in output.splitlines():
        name, fields = read_line(line)
        if name == "Panel":
            state["panel"] = fields[0] == 1
        elif name == "Client":
            state["client"] = tuple(fields)
        elif name == "Control":
            state["controls"][fields[0]] = (tuple(fields[2:6]), fields[6])
            if fields[1] == 1:
                state["tab_order"].append(fields[0])
        elif name == "Selection":
            state["selection"][fields[0]] = fields[1]
        elif name == "Item":
            state["items"].setdefault(fields[0], []).append(fields[2])
        elif name == "Edit":
            state["edit"][fields[0]] = fields[1]
        elif name == "EditStart":
            state["edit_start"][fields[0]] = fields[1]
        elif name == "DroppedWidth":
            state["dropped_width"][fields[0]] = tuple(fields[1:])
        elif name == "Check":
            state["check"][fields[0]] = fields[1]
        elif name == "Light":
            state["lights"][fields[0]] = colour_name(*fields[1:])
        elif name == "Resources":
            state["resources"] = dict(zip(("handles", "working_set", "private_bytes"), fields))
        elif name == "Focus":
            state["focus"] = fields[0]
        elif name in ("Box", "Tooltip"):
            state[name.lower()] = fields[0]
        elif name in ("NoBox", "NoTooltip", "NoDropDown"):
            state[name[2:].lower()] = None
        elif name == "Text":
            state["text"].append(fields[0])
        elif name == "Capture":
            state["capture"] = fields[0] == 1
        elif name == "DropDown":
            state["dropdown"] = tuple(fields)
        elif name == "Window":
            state["windows"][fields[0]] = {"iconic": fields[1] == 1, "foreground": fields[2] == 1}
        elif name == "End":
            return state
    return None


class PanelProbe:
    """What a run learns of its panel through the probe; needs self.display."""

    def probe(self, command=COMMANDS["State"]):
        """The probe's answer; a partial one (the probe was cut short) is asked again."""
        return wait_until(lambda: parse_probe(run_program(
            "panel_probe.exe", command, environment=self.display.environment, timeout=60)[1]),
            30, 0.1, f"a whole {command} answer")

    def state(self):
        return self.probe(COMMANDS["State"])

    def wait_light(self, light, text, colour):
        """Waits for a light to show `text` in `colour` (see colour_name)."""
        def shown():
            state = self.state()
            return (state["controls"].get(light, (None, None))[1], state["lights"].get(light))
        return wait_until(lambda: shown() == (text, colour), interval=0.2,
                          what=f"the light {text!r} in {colour}")

    def watch_lights(self, action, milliseconds=1500):
        """Runs `action` while the probe watches the lights without a gap for `milliseconds`;
        returns, by their texts and by their painted colours, whether the in and the out light
        were ever lit, and whether they are lit at the end: {"lights": (ever in, ever out, in
        now, out now), "painted": (...)}."""
        milliseconds *= SLOWER  # an emulated delivery may come later than a window of its own
        with tempfile.NamedTemporaryFile(mode="w+", errors="replace") as output:
            watcher = subprocess.Popen([WINE, str(BUILD / "panel_probe.exe"), COMMANDS["Lights"],
                                        str(milliseconds)], env=self.display.environment,
                                       stdout=output, stderr=subprocess.STDOUT)
            text = lambda: Path(output.name).read_text(errors="replace")
            wait_until(lambda: any(read_line(line)[0] == "Watching" for line in
                                   text().splitlines()), what="the probe watching the lights")
            action()
            watcher.wait(milliseconds / 1000 + 60)
            answer = {}
            for line in text().splitlines():
                name, fields = read_line(line)
                if name in ("Lights", "Painted"):
                    answer[name.lower()] = tuple(field == 1 for field in fields)
            return answer

    def resources(self):
        """What the panel's process holds: {"handles", "working_set", "private_bytes"}."""
        return wait_until(lambda: self.probe(COMMANDS["Resources"]).get("resources"), 30, 0.1,
                          "the process's resources")

    def panel_windows(self):
        """Every panel on the screen by its Windows process id: {"iconic": .., "foreground": ..}."""
        return self.probe(COMMANDS["Panels"])["windows"]

    def message_box(self):
        """(caption, text) of an open message box, or None."""
        state = self.probe(COMMANDS["Box"])
        if not state.get("box"):
            return None
        return state["box"], " ".join(state["text"])

    def drop_down_state(self):
        """The probe's dropdown answer: "dropdown", the open drop-down list's rectangle and item
        height or None, and "capture", whether a control of the panel holds the mouse."""
        return self.probe(COMMANDS["DropDown"])

    def tooltip(self):
        """The text of the tooltip on show, or None."""
        return self.probe(COMMANDS["Tooltip"]).get("tooltip")

    def wait_message_box(self, timeout=30):
        return wait_until(self.message_box, timeout, 0.2, "a message box")
