"""One run of the real program in a fresh working folder with virtual MIDI devices: its process,
its files and the devices it may open; what it learns through the probe and the input it gives
come from PanelProbe and PanelInput. The names the tests use are here too."""
import configparser
import shutil
import subprocess
import tempfile
from pathlib import Path

from harness import cdefs, driver, logoff
from harness.probe import PanelProbe
from harness.waiting import wait_until
from harness.wine import BUILD, WINE, windows_path, winmm_results
from harness.xinput import PanelInput

# What a run may be given, and whose changes it reads.
PORT_NAMES_FILE = cdefs.constants("settings/PortNames.h")["PortNamesFileName"]
_settings = cdefs.constants("settings/SettingsFile.h")
SETTINGS_FILE, SETTINGS_TEMPORARY_FILE = (_settings[name] for name in ("SettingsFileName",
                                                                      "SettingsTemporaryName"))
# Where each field stands in "Settings": {"InputDevice": 3, ...}.
SETTINGS_FIELDS = cdefs.enumerators("settings/SettingsFile.h", "Settings")

# The devices a run has unless it says otherwise; the busy ones are held by another program.
GROOVEBOX, KEYBOARD, BUSY_INPUT = "Groovebox MIDI Out", "Keyboard MIDI Out", "Busy Input"
MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT = "Music App MIDI In", "Synth MIDI In", "Busy Output"
DEFAULT_INPUTS = [GROOVEBOX, KEYBOARD, "in-busy " + BUSY_INPUT]
DEFAULT_OUTPUTS = [MUSIC_APP, SYNTH_OUT, "out-busy " + BUSY_OUTPUT]


def open_failure(result):
    """The box a port's failed open shows, for winmm's result by name ("MMSYSERR_ALLOCATED")."""
    return "Error", f"Can't open midi Device: {winmm_results()[result]}"


def names_file(input=None, output=None):
    """A names file as another run left it: (name, unit, position) a port."""
    return "".join(f"[{port}]\nname={named[0]}\nunit={named[1]}\nposition={named[2]}\n"
                   for port, named in (("input", input), ("output", output)) if named)


class Quorvel(driver.DriverRecords, PanelProbe, PanelInput):
    """One run of the real program in a fresh working folder, with virtual MIDI devices."""

    def __init__(self, display, settings=None, inputs=None, outputs=None,
                 program_name="Quorvel.exe", allowed=None, port_names=None, folder=None,
                 program=None):
        """allowed: the devices the program may open at start, as ("in" or "out", name); by
        default those at the positions `settings` holds. choose() allows what it picks.
        port_names: the text of the names file beside "Settings", if any. folder: the working
        folder, made by the caller (a fresh one by default); program: the exe's path, where it
        is not the build's `program_name`."""
        self.display = display
        self.folder = Path(folder or tempfile.mkdtemp(prefix="quorvel-e2e-"))
        # The driver's folder, apart from the working folder, whose name it need not read.
        super().__init__(Path(tempfile.mkdtemp(prefix="quorvel-midi-")))
        self.devices = {"in": inputs or DEFAULT_INPUTS, "out": outputs or DEFAULT_OUTPUTS}
        (self.midi / driver.FILES["DevicesFile"]).write_text(
            driver.device_lines(self.devices["in"], self.devices["out"]))
        if settings is not None:
            (self.folder / SETTINGS_FILE).write_bytes(bytes(settings))
        if port_names is not None:
            (self.folder / PORT_NAMES_FILE).write_bytes(port_names.encode())
        (self.midi / driver.FILES["AllowedFile"]).touch()
        for kind, name in self._allowed_at_start(settings) if allowed is None else allowed:
            self.allow(kind, name)
        self.program_name = program_name
        self.program = Path(program or BUILD / program_name)
        # What the driver calls a violation that this run's test expects, by name ("note left
        # sounding"); every other is a failure.
        self.named_violations = set()
        self.process = None
        self.panel_window = None
        self.rects = None

    # ---- the process ------------------------------------------------------------------------
    def start(self, wine_debug=None, wines_own_winmm=False, no_winmm=False, **switches):
        """wine_debug: Wine's debug channels for this run, whose output goes to wine.log (in the
        driver's folder); wines_own_winmm: Wine's builtin winmm in place of the virtual driver
        (no devices then); no_winmm: a system without a winmm that loads; switches: the
        driver's (quiet=1, delivery="queued", ...)."""
        self.environment = dict(self.display.environment,
                                **driver.environment(windows_path(self.midi), **switches))
        if wines_own_winmm or no_winmm:
            self.environment["WINEDLLOVERRIDES"] = \
                f"winmm={'' if no_winmm else 'b'};mscoree,mshtml="
        if not wine_debug:
            self.process = self.start_again()
            return self
        with open(self.midi / "wine.log", "w") as log:
            self.process = self.start_again(dict(self.environment, WINEDEBUG=wine_debug), log)
        return self

    def start_again(self, environment=None, log=subprocess.DEVNULL):
        """A start of the program in this run's folder and environment; called again, a second
        double click. Returns its process."""
        return subprocess.Popen([WINE, str(self.program)], cwd=self.folder,
                                env=environment or self.environment, stdout=subprocess.DEVNULL,
                                stderr=log)

    def wine_log(self):
        return (self.midi / "wine.log").read_text(errors="replace").splitlines()

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
        shutil.rmtree(self.midi, ignore_errors=True)

    def windows_pid(self):
        """The Windows process id of the run's first process, as the driver recorded it."""
        return wait_until(lambda: (lambda found: found[0].word if found else None)(
            self.events_of(driver.CLOCK_FREQUENCY)), what="the driver's first record")

    def device_name(self, kind, number):
        """The name of device `number` ("in" or "out") as the devices file lists it."""
        name = self.devices[kind][number]
        return name.split(" ", 1)[1] if name.startswith(kind + "-busy ") else name

    def _allowed_at_start(self, settings):
        """The devices at the positions "Settings" holds; a missing position is -1, the mapper
        for the output."""
        if settings is None:
            return
        for kind, field in (("in", "InputDevice"), ("out", "OutputDevice")):
            offset = SETTINGS_FIELDS[field]
            position = settings[offset] if len(settings) > offset else -1
            if position == -1 and kind == "out":
                yield kind, driver.MAPPER_NAME
            elif 0 <= position < len(self.devices[kind]):
                yield kind, self.device_name(kind, position)

    def allow(self, kind, name):
        """The program may open device `name` ("in" or "out") from now on."""
        with open(self.midi / driver.FILES["AllowedFile"], "a") as allowed:
            allowed.write(f"{kind} {name}\n")

    def log_off(self, cancelled=False):
        return logoff.log_off(self.display, cancelled)

    def settings_bytes(self):
        return (self.folder / SETTINGS_FILE).read_bytes()

    def port_names(self):
        """The names file as {"input": (name, unit, position), "output": ...}."""
        names = configparser.RawConfigParser()
        names.read_string((self.folder / PORT_NAMES_FILE).read_text())
        return {port: (names[port]["name"], int(names[port]["unit"]),
                       int(names[port]["position"])) for port in names.sections()}

