"""One run of the real program in a fresh working folder with virtual MIDI devices: its
process, the panel probe that reads the panel from outside, and real X input through xdotool.
The control ids come from the panel's resource header."""
import configparser
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

from harness import cdefs, driver
from harness.waiting import wait_until
from harness.wine import BUILD, WINE, run_program, windows_path

_ids = {name[len("IDC_"):]: value for name, value in cdefs.defines("panel/resource.h").items()
        if name.startswith("IDC_") and value > 0}
INPUT_DEVICE, OUTPUT_DEVICE, WHEEL_TYPE = (_ids[n] for n in ("INPUT_DEVICE", "OUTPUT_DEVICE",
                                                              "WHEEL_TYPE"))
SYNTH_MUTES, DRUM_MUTES, WHEEL_UP, WHEEL_DOWN = (_ids[n] for n in ("SYNTH_MUTES", "DRUM_MUTES",
                                                                   "WHEEL_UP", "WHEEL_DOWN"))
IN_LIGHT, OUT_LIGHT = _ids["MIDI_IN_LIGHT"], _ids["MIDI_OUT_LIGHT"]
# The part keys in the header's order: synth 1-5, drum 1, 2, ... 7B.
SYNTH = [value for name, value in _ids.items() if name.startswith("SYNTH_") and name[6:] != "MUTES"]
# Every control the user can reach with Tab: all but the picture and the lights.
TAB_STOPS = [value for name, value in _ids.items() if not name.endswith("_LIGHT")]
DRUM = [value for name, value in _ids.items() if name.startswith("DRUM_") and name[5:] != "MUTES"]

PORT_NAMES_FILE = cdefs.constants("settings/PortNames.h")["PortNamesFileName"]

# The learn buttons in the header's order, which is the catalogue's: (controller, value, name).
LEARN = dict(zip(SYNTH + DRUM + [WHEEL_UP, WHEEL_DOWN], cdefs.learn_catalogue()))

# The devices a run has unless it says otherwise; the busy ones are held by another program.
GROOVEBOX, KEYBOARD, BUSY_INPUT = "Groovebox MIDI Out", "Keyboard MIDI Out", "Busy Input"
MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT = "Music App MIDI In", "Synth MIDI In", "Busy Output"
DEFAULT_INPUTS = [GROOVEBOX, KEYBOARD, "in-busy " + BUSY_INPUT]
DEFAULT_OUTPUTS = [MUSIC_APP, SYNTH_OUT, "out-busy " + BUSY_OUTPUT]


def panels():
    """The windows titled as the panel, on the whole display."""
    return [window for window in xdotool("search", "--name", "^Quorvel$").split("\n") if window]


def xdotool(*arguments):
    return subprocess.run(["xdotool", *map(str, arguments)], check=False, capture_output=True,
                          text=True).stdout.strip()


def parse_probe(output):
    """The probe's answer as a dict; None if it was cut short (no "end" line)."""
    state = {"controls": {}, "tab_order": [], "selection": {}, "items": {}, "check": {},
             "text": [], "edit": {}, "edit_start": {}, "dropped_width": {}}
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
        elif key == "end":
            return state
    return None


class Quorvel(driver.DriverRecords):
    """One run of the real program in a fresh working folder, with virtual MIDI devices."""

    def __init__(self, display, settings=None, inputs=None, outputs=None,
                 program_name="Quorvel.exe", allowed=None, port_names=None):
        """allowed: the devices the program may open at start, as ("in" or "out", name); by
        default those at the positions `settings` holds. choose() allows what it picks.
        port_names: the text of the names file beside "Settings", if any."""
        self.display = display
        self.folder = Path(tempfile.mkdtemp(prefix="quorvel-e2e-"))
        super().__init__(self.folder / "midi")
        self.midi.mkdir()
        self.devices = {"in": inputs or DEFAULT_INPUTS, "out": outputs or DEFAULT_OUTPUTS}
        (self.midi / driver.FILES["DevicesFile"]).write_text(
            driver.device_lines(self.devices["in"], self.devices["out"]))
        if settings is not None:
            (self.folder / "Settings").write_bytes(bytes(settings))
        if port_names is not None:
            (self.folder / PORT_NAMES_FILE).write_bytes(port_names.encode())
        (self.midi / driver.FILES["AllowedFile"]).touch()
        for kind, name in self._allowed_at_start(settings) if allowed is None else allowed:
            self.allow(kind, name)
        self.program_name = program_name
        self.process = None
        self.panel_window = None
        self.rects = None

    # ---- the process ------------------------------------------------------------------------
    def start(self, wine_debug=None, wines_own_winmm=False, **switches):
        """wine_debug: Wine's debug channels for this run, whose output goes to wine.log;
        wines_own_winmm: Wine's winmm in place of the virtual driver (no devices then);
        switches: the driver's (quiet=1, callback_bound=...)."""
        self.environment = dict(self.display.environment,
                                **driver.environment(windows_path(self.midi), **switches))
        if wines_own_winmm:
            self.environment["WINEDLLOVERRIDES"] = "mscoree,mshtml="
        environment = dict(self.environment)
        log = subprocess.DEVNULL
        if wine_debug:
            environment["WINEDEBUG"] = wine_debug
            log = open(self.folder / "wine.log", "w")
        self.process = subprocess.Popen([WINE, str(BUILD / self.program_name)],
                                        cwd=self.folder, env=environment,
                                        stdout=subprocess.DEVNULL, stderr=log)
        if wine_debug:
            log.close()
        return self

    def start_again(self):
        """A second start of the program in the same folder, as a second double click; returns
        its process."""
        return subprocess.Popen([WINE, str(BUILD / self.program_name)], cwd=self.folder,
                                env=self.environment, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def wine_log(self):
        return (self.folder / "wine.log").read_text(errors="replace").splitlines()

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=30):
        return self.process.wait(timeout)

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait(10)

    def cleanup(self):
        self.kill()
        shutil.rmtree(self.folder, ignore_errors=True)

    def device_name(self, kind, number):
        """The name of device `number` ("in" or "out") as the devices file lists it."""
        name = self.devices[kind][number]
        return name.split(" ", 1)[1] if name.startswith(kind + "-busy ") else name

    def _allowed_at_start(self, settings):
        """The devices at the positions "Settings" holds; a missing position is -1, the mapper
        for the output."""
        if settings is None:
            return
        for kind, offset in (("in", 3), ("out", 4)):
            position = settings[offset] if len(settings) > offset else -1
            if position == -1 and kind == "out":
                yield kind, driver.MAPPER_NAME
            elif 0 <= position < len(self.devices[kind]):
                yield kind, self.device_name(kind, position)

    def allow(self, kind, name):
        """The program may open device `name` ("in" or "out") from now on."""
        with open(self.midi / driver.FILES["AllowedFile"], "a") as allowed:
            allowed.write(f"{kind} {name}\n")

    def settings_bytes(self):
        return (self.folder / "Settings").read_bytes()

    def port_names(self):
        """The names file as {"input": (name, unit, position), "output": ...}."""
        names = configparser.RawConfigParser()
        names.read_string((self.folder / PORT_NAMES_FILE).read_text())
        return {port: (names[port]["name"], int(names[port]["unit"]),
                       int(names[port]["position"])) for port in names.sections()}

    def log_off(self, cancelled=False):
        """Sends the panel what Windows sends at log-off (cancelled: the end called off after
        all); returns whether it let the session end and whether it took the end, or None if
        the panel was not found."""
        _, output = run_program("log_off.exe", *(["cancel"] if cancelled else []),
                                environment=self.display.environment, timeout=90)
        words = output.split()
        return (words[1:3] == ["1", "1"], words[3:5] == ["end", "1"]) if len(words) >= 5 else None

    # ---- the probe --------------------------------------------------------------------------
    def probe(self, command="state"):
        """The probe's answer; a partial one (the probe was cut short) is asked again."""
        return wait_until(lambda: parse_probe(run_program(
            "panel_probe.exe", command, environment=self.display.environment, timeout=60)[1]),
            30, 0.1, f"a whole {command} answer")

    def state(self):
        return self.probe("state")

    def lights_ever_lit(self, action, milliseconds=1500):
        """Runs `action` while the probe watches the lights without a gap for `milliseconds`;
        returns whether the in and the out light were ever lit, as (in, out)."""
        with tempfile.NamedTemporaryFile(mode="w+", errors="replace") as output:
            watcher = subprocess.Popen([WINE, str(BUILD / "panel_probe.exe"), "lights",
                                        str(milliseconds)], env=self.display.environment,
                                       stdout=output, stderr=subprocess.STDOUT)
            text = lambda: Path(output.name).read_text(errors="replace")
            wait_until(lambda: "watching" in text(), what="the probe watching the lights")
            action()
            watcher.wait(milliseconds / 1000 + 60)
            ever_in, ever_out = text().split("lights ", 1)[1].split()[:2]
            return ever_in == "1", ever_out == "1"

    def message_box(self):
        """(caption, text) of an open message box, or None."""
        state = self.probe("box")
        if not state.get("box"):
            return None
        return state["box"], " ".join(state["text"])

    def hover(self, control, place=None):
        """Rests the mouse on a control (its centre, or `place` in the panel), as a user does to
        read its tooltip."""
        x, y = place or self.center(control)
        # The small move within the control is what starts the tooltip's timer.
        xdotool("mousemove", "--window", self.panel_window, x, y, "mousemove_relative", "--",
                1, 0)

    def tooltip(self):
        """The text of the tooltip on show, or None."""
        return self.probe("tooltip").get("tooltip")

    def wait_message_box(self, timeout=30):
        return wait_until(self.message_box, timeout, 0.2, "a message box")

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

    # ---- the panel and X input --------------------------------------------------------------
    def wait_panel(self, timeout=30):
        self.panel_window = wait_until(
            lambda: xdotool("search", "--name", "^Quorvel$").split("\n")[0], timeout,
            what="the panel window")
        # The dialog's window exists before its last control does.
        state = wait_until(lambda: (lambda s: s if s.get("panel") and set(_ids.values()) <= set(
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
        """Clicks into a list's edit field, which gives the list the focus."""
        left, top, _, _ = self.rects[control]
        self.click(control, left + 10, top + 8)
        wait_until(lambda: self.state()["focus"] == control, what=f"list {control} focused")

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
                return wait_until(lambda: self.probe("dropdown").get("dropdown"), 10, 0.1,
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
            self.probe("dropdown")), 30, 0.1, "the drop-down list to close and let go")

    def close(self, timeout=30):
        self.key("alt+F4")
        return self.wait_exit(timeout)

    def screenshot(self, path, panel_only=False):
        Path(path).parent.mkdir(parents=True, exist_ok=True)
        window = self.panel_window if panel_only and self.panel_window else "root"
        subprocess.run(["import", "-window", window, str(path)], env=self.display.environment,
                       check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
