"""Runs the real Quorvel.exe under Wine for the demo, the latency benchmark and the end-to-end
tests: an Xvfb display, the virtual MIDI driver's folder and records, real X input through
xdotool, and the panel probe for reading the panel's state. QUORVEL_BUILD_DIR names the build:
build/win32, the product, or build/win64 where the machine runs no 32-bit processes."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(os.environ.get("QUORVEL_BUILD_DIR", ROOT / "build" / "win32"))
PREFIX = Path(os.environ.get("QUORVEL_WINE_PREFIX", ROOT / "build" / "wine-prefix"))
FAILURES = ROOT / "build" / "e2e-failures"
# The loader that matches the build; both share the one 64-bit prefix and its server.
WINE = "/usr/lib/wine/wine" if BUILD.name == "win32" else "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"

EVENT = struct.Struct("<IiIIq")
(CLOCK_FREQUENCY, INPUT_OPENED, INPUT_OPEN_FAILED, INPUT_STARTED, INPUT_STOPPED, INPUT_CLOSED,
 OUTPUT_OPENED, OUTPUT_OPEN_FAILED, OUTPUT_CLOSED, DELIVERED, SENT, VIOLATION, CALLBACK_OPEN,
 CALLBACK_CLOSE, TSC_FREQUENCY, SEND_TOTAL, DEVICE_REMOVED, DEVICE_RETURNED, STALL_BEGAN,
 STALL_ENDED) = range(1, 21)
VIOLATIONS = {1: "unknown handle", 2: "closed handle", 3: "send during close",
              4: "callback after stop", 5: "concurrent callbacks",
              6: "input call from the callback", 7: "bad callback kind", 8: "out of sequence",
              9: "slow callback"}

# Control ids of the panel, by name.
INPUT_DEVICE, OUTPUT_DEVICE, WHEEL_TYPE = 1003, 1004, 1005
SYNTH = [1007, 1008, 1009, 1010, 1011]
DRUM = [1012, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024]
SYNTH_MUTES, DRUM_MUTES, WHEEL_UP, WHEEL_DOWN = 1013, 1025, 1026, 1027
TAB_ORDER = [INPUT_DEVICE, OUTPUT_DEVICE] + SYNTH + DRUM + [SYNTH_MUTES, DRUM_MUTES, WHEEL_UP,
                                                           WHEEL_DOWN, WHEEL_TYPE]

DEFAULT_INPUTS = ["Groovebox MIDI Out", "Keyboard MIDI Out", "in-busy Busy Input"]
DEFAULT_OUTPUTS = ["Music App MIDI In", "Synth MIDI In", "out-busy Busy Output"]


def cc(controller, value, channel=1):
    return (0xB0 + channel - 1) | controller << 8 | value << 16


def program(number, channel=1):
    return (0xC0 + channel - 1) | number << 8


def note_on(key, velocity, channel=1):
    return (0x90 + channel - 1) | key << 8 | velocity << 16


def wait_until(condition, timeout=30.0, interval=0.05, what="condition"):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def xdotool(*arguments):
    return subprocess.run(["xdotool", *map(str, arguments)], check=False, capture_output=True,
                          text=True).stdout.strip()


class Display:
    """An Xvfb display and a persistent wineserver for one group of tests."""

    def __init__(self, use_current=False):
        self.process = None
        self.environment = None
        self.use_current = use_current and bool(os.environ.get("DISPLAY"))

    def start(self):
        self.environment = dict(os.environ, WINEPREFIX=str(PREFIX), WINEDEBUG="-all",
                                WINEDLLOVERRIDES="winmm=n,b;mscoree,mshtml=")
        if not self.use_current:
            number = 100
            while (Path(f"/tmp/.X11-unix/X{number}").exists() or
                   Path(f"/tmp/.X{number}-lock").exists()):
                number += 1
            self.process = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24",
                                             "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            self.environment["DISPLAY"] = os.environ["DISPLAY"] = f":{number}"
            wait_until(lambda: subprocess.run(["xdpyinfo"], env=self.environment,
                                              capture_output=True).returncode == 0,
                       what="Xvfb")
        ensure_prefix(self.environment)
        self.start_wineserver()

    def start_wineserver(self):
        # A server left by an earlier run would still talk to that run's display.
        quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        subprocess.run([WINESERVER, "-k"], env=self.environment, check=False, **quiet)
        subprocess.run([WINESERVER, "-w"], env=self.environment, check=False, **quiet)
        # Wine's own services start with the first process and keep whatever output handles
        # they inherit: give them none of ours, or a reader of ours would wait for them.
        subprocess.run([WINESERVER, "-p"], env=self.environment, check=False, **quiet)
        subprocess.run([WINE, str(BUILD / "panel_probe.exe"), "box"], env=self.environment,
                       check=False, timeout=120, **quiet)

    def stop(self):
        for option in ("-k", "-w"):
            subprocess.run([WINESERVER, option], env=self.environment, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.process:
            self.process.terminate()
            self.process.wait(10)


def ensure_prefix(display_environment):
    # Made on the display: a prefix made without one leaves a desktop process behind that
    # every later program waits on.
    if not (PREFIX / "system.reg").exists():
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        environment = dict(display_environment, WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run([WINE, "wineboot", "-i"], env=environment, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL,
                       check=False, timeout=300)
        subprocess.run([WINESERVER, "-w"], env=environment, check=False, timeout=300)


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


class DriverRecords:
    """The virtual MIDI driver's folder: input to inject, and the events it recorded."""

    def __init__(self, midi):
        self.midi = midi
        self.event_offset = 0
        self.event_cache = []

    def inject(self, device, words):
        with open(self.midi / f"input-{device}.bin", "ab") as stream:
            stream.write(struct.pack(f"<{len(words)}I", *words))

    def events(self):
        path = self.midi / "events.bin"
        if path.exists():
            data = path.read_bytes()
            whole = len(data) - len(data) % EVENT.size
            for offset in range(self.event_offset, whole, EVENT.size):
                self.event_cache.append(EVENT.unpack_from(data, offset))
            self.event_offset = max(self.event_offset, whole)
        return self.event_cache

    def events_of(self, *kinds):
        return [event for event in self.events() if event[0] in kinds]

    def sent(self, device=None, since=0):
        return [word for kind, dev, word, _, _ in self.events()[since:]
                if kind == SENT and (device is None or dev == device)]

    def mark(self):
        return len(self.events())

    def violations(self):
        return [(VIOLATIONS.get(word, word), device)
                for kind, device, word, _, _ in self.events() if kind == VIOLATION]

    def port_events(self, since=0):
        names = {INPUT_OPENED: "in-open", INPUT_OPEN_FAILED: "in-fail", INPUT_STARTED: "in-start",
                 INPUT_STOPPED: "in-stop", INPUT_CLOSED: "in-close", OUTPUT_OPENED: "out-open",
                 OUTPUT_OPEN_FAILED: "out-fail", OUTPUT_CLOSED: "out-close"}
        return [(names[kind], device) for kind, device, _, _, _ in self.events()[since:]
                if kind in names]

    def wait_sent(self, count, since=0, timeout=30):
        return wait_until(lambda: (lambda s: s if len(s) >= count else None)(self.sent(since=since)),
                          timeout, 0.05, f"{count} sent messages")

    def settled_sent(self, count, since=0, timeout=30, quiet=0.3):
        """Everything sent since the mark once `count` messages are there and nothing more
        has come for `quiet` seconds: a stray extra message is caught, not missed."""
        self.wait_sent(count, since, timeout)
        while True:
            before = len(self.sent(since=since))
            time.sleep(quiet)
            after = self.sent(since=since)
            if len(after) == before:
                return after

    def fault(self, line):
        """Appends a stage fault for the driver: "remove in 0", "stall out 0 send 500"."""
        with open(self.midi / "faults.txt", "a") as faults:
            faults.write(line + "\n")

    def plug(self, kind, device, present):
        """Unplugs a device (present=False), or plugs it back at the same index."""
        path = self.midi / "faults.txt"
        if present:
            lines = path.read_text().splitlines() if path.exists() else []
            fresh = path.with_suffix(".new")  # the driver never sees a half-written file
            fresh.write_text("".join(f"{line}\n" for line in lines
                                     if line != f"remove {kind} {device}"))
            os.replace(fresh, path)
        else:
            self.fault(f"remove {kind} {device}")
        event = DEVICE_RETURNED if present else DEVICE_REMOVED
        way = 0 if kind == "in" else 1
        return wait_until(lambda: [e for e in self.events_of(event) if e[1:3] == (device, way)],
                          10, 0.01, f"{kind} {device} {'back' if present else 'removed'}")[-1]

    def wait_started(self, since=0, timeout=30):
        wait_until(lambda: any(name == "in-start" for name, _ in self.port_events(since)),
                   timeout, 0.05, "the input port to start")


class Quorvel(DriverRecords):
    """One run of the real program in a fresh working folder, with virtual MIDI devices."""

    def __init__(self, display, settings=None, inputs=None, outputs=None, program_name="Quorvel.exe"):
        self.display = display
        self.folder = Path(tempfile.mkdtemp(prefix="quorvel-e2e-"))
        super().__init__(self.folder / "midi")
        self.midi.mkdir()
        lines = []
        for kind, names in (("in", inputs or DEFAULT_INPUTS), ("out", outputs or DEFAULT_OUTPUTS)):
            for name in names:
                lines.append(name if name.startswith(kind + "-busy ") else f"{kind} {name}")
        (self.midi / "devices.txt").write_text("\n".join(lines) + "\n")
        if settings is not None:
            (self.folder / "Settings").write_bytes(bytes(settings))
        self.program_name = program_name
        self.process = None
        self.panel_window = None
        self.rects = None

    # ---- the process ------------------------------------------------------------------------
    def start(self, wine_debug=None, **driver_environment):
        """wine_debug: Wine's debug channels for this run, whose output goes to wine.log."""
        environment = dict(self.display.environment, **driver_environment,
                           QUORVEL_FAKE_MIDI_DIR=windows_path(self.midi))
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

    def settings_bytes(self):
        return (self.folder / "Settings").read_bytes()

    # ---- the probe --------------------------------------------------------------------------
    def probe(self, command="state"):
        """The probe's answer; a partial one (the probe was cut short) is asked again."""
        return wait_until(lambda: self.probe_once(command), 30, 0.1, f"a whole {command} answer")

    def probe_once(self, command):
        # Through a file, not a pipe: see Display.start_wineserver.
        with tempfile.TemporaryFile(mode="w+", errors="replace") as answer:
            subprocess.run([WINE, str(BUILD / "panel_probe.exe"), command],
                           env=self.display.environment, stdout=answer,
                           stderr=subprocess.DEVNULL, timeout=60, check=False)
            answer.seek(0)
            output = answer.read()
        state = {"controls": {}, "selection": {}, "items": {}, "check": {}, "text": []}
        for line in output.splitlines():
            key, _, rest = line.partition(" ")
            fields = rest.split(" ")
            if key == "panel":
                state["panel"] = rest == "1"
            elif key == "client":
                state["client"] = tuple(map(int, fields))
            elif key == "control":
                state["controls"][int(fields[0])] = (tuple(map(int, fields[1:5])),
                                                     " ".join(fields[5:]))
            elif key == "selection":
                state["selection"][int(fields[0])] = int(fields[1])
            elif key == "item":
                state["items"].setdefault(int(fields[0]), []).append(" ".join(fields[2:]))
            elif key == "check":
                state["check"][int(fields[0])] = int(fields[1])
            elif key == "focus":
                state["focus"] = int(rest)
            elif key == "box":
                state["box"] = None if rest == "none" else rest
            elif key == "text":
                state["text"].append(rest)
            elif key == "capture":
                state["capture"] = rest == "1"
            elif key == "dropdown":
                state["dropdown"] = None if rest == "none" else tuple(map(int, fields))
            elif key == "end":
                return state
        return None

    def state(self):
        return self.probe("state")

    def message_box(self):
        """(caption, text) of an open message box, or None."""
        state = self.probe("box")
        if not state.get("box"):
            return None
        return state["box"], " ".join(state["text"])

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

    def log_off(self):
        """Sends the panel what Windows sends at log-off; returns whether it let the session end
        and whether it took the end, or None if the panel was not found."""
        with tempfile.TemporaryFile(mode="w+") as answer:
            subprocess.run([WINE, str(BUILD / "log_off.exe")], env=self.display.environment,
                           stdout=answer, stderr=subprocess.DEVNULL, timeout=90, check=False)
            answer.seek(0)
            words = answer.read().split()
        return (words[1:3] == ["1", "1"], words[3:5] == ["end", "1"]) if len(words) >= 5 else None

    # ---- the panel --------------------------------------------------------------------------
    def wait_panel(self, timeout=30):
        self.panel_window = wait_until(
            lambda: xdotool("search", "--name", "^Quorvel$").split("\n")[0], timeout,
            what="the panel window")
        state = wait_until(lambda: (lambda s: s if s.get("panel") else None)(self.state()),
                           timeout, 0.2, "the panel")
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

    def focus_panel(self):
        xdotool("windowfocus", "--sync", self.panel_window)

    def key(self, *keys):
        self.focus_panel()
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.05)

    def type_text(self, text):
        self.focus_panel()
        xdotool("type", "--delay", 50, text)

    def choose(self, control, index):
        """Drops the list down with its arrow and clicks entry `index`, as a user does."""
        left, top, right, _ = self.rects[control]
        self.click(control, right - 6, top + 8)
        dropdown = wait_until(lambda: self.probe("dropdown").get("dropdown"), 30, 0.1,
                              "the drop-down list")
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
