"""The build under test, the Wine loader that runs it, the one Wine prefix with the virtual
driver installed as its system's winmm, and the Xvfb display with its wineserver.
QUORVEL_BUILD_DIR names the build: build/win32, the product, or build/win64 where the machine
runs no 32-bit processes."""
import filecmp
import functools
import os
import re
import shutil
import subprocess
import tempfile
from pathlib import Path

from harness import cdefs
from harness.cdefs import ROOT

BUILD = Path(os.environ.get("QUORVEL_BUILD_DIR", ROOT / "build" / "win32"))
# A prefix, and so a wineserver, of each build's own: runs of two builds or two checkouts at
# once never stop each other's programs.
PREFIX = Path(os.environ.get("QUORVEL_WINE_PREFIX", BUILD / "wine-prefix"))
FAILURES = ROOT / "build" / "e2e-failures"
# The loader that matches the build; both share the one 64-bit prefix and its server.
WINE = "/usr/lib/wine/wine" if BUILD.name == "win32" else "/usr/lib/wine/wine64"
# Where the kernel refuses 32-bit processes, the 32-bit loader runs through the i386 emulator,
# several times slower: every bound on a wait is that much longer there.
EMULATED = BUILD.name == "win32" and subprocess.run(
    [ROOT / "tools" / "runs-32bit-processes.sh", "--how"], capture_output=True, text=True,
    check=False).stdout.startswith("through emulation")
SLOWER = 4 if EMULATED else 1
WINESERVER = "/usr/lib/wine/wineserver64"
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
# The virtual driver as the build makes it, in a folder of its own: nothing lies beside the exe,
# which runs as shipped and loads winmm from the system folder.
DRIVER = BUILD / "system-winmm" / "winmm.dll"
# Wine prefers a native winmm to its own, wherever it finds one; the program finds only the
# system folder's (and a planted one beside it, where a test puts one there).
OVERRIDES = "winmm=n,b;mscoree,mshtml="


@functools.cache
def winmm_results():
    """winmm's result codes by name ("MMSYSERR_NODRIVER"), from the header the build compiles
    with, as its configure step found it."""
    cache = (BUILD / "CMakeCache.txt").read_text()
    return cdefs.defines(re.search(r"^QUORVEL_WINMM_HEADER:FILEPATH=(.*)$", cache, re.M)[1])


def system_folder():
    """Where Wine keeps the system DLLs of the build's loader in the prefix: system32, or
    syswow64 for the 32-bit build in a 64-bit prefix."""
    windows = PREFIX / "drive_c" / "windows"
    return windows / "syswow64" if BUILD.name == "win32" and (windows / "syswow64").is_dir() \
        else windows / "system32"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def run_program(name, *arguments, environment, timeout=120, cwd=None):
    """Runs one of the build's console programs to its end, in the folder `cwd` if given;
    returns (exit code, its output). The output comes through a file, not a pipe: see
    Display.start_wineserver."""
    with tempfile.TemporaryFile(mode="w+", errors="replace") as output:
        result = subprocess.run([WINE, str(BUILD / name), *map(str, arguments)], env=environment,
                                stdout=output, stderr=subprocess.STDOUT,
                                timeout=timeout * SLOWER,
                                check=False, cwd=cwd)
        output.seek(0)
        return result.returncode, output.read()


def install_driver():
    """The virtual driver as the system's own winmm.dll, in place of Wine's placeholder for its
    builtin one (which the override "winmm=b" still loads). It has devices only where
    QUORVEL_FAKE_MIDI_DIR names its folder."""
    beside = sorted(path.name for path in BUILD.glob("*.dll"))
    if beside:
        raise AssertionError(f"DLLs beside the exe in {BUILD}: {beside}; the program must run "
                             f"as shipped, with nothing beside it")
    installed = system_folder() / "winmm.dll"
    if not (installed.exists() and filecmp.cmp(DRIVER, installed, shallow=False)):
        shutil.copyfile(DRIVER, installed)


def map_drive(folder):
    """Maps a free drive letter of the prefix onto `folder`, as a subst or mapped drive would
    show it to Windows programs; returns the letter ("Q:") and a function that unmaps it. Wine
    spells a Unix folder with the drive whose root lies deepest in it, so a program started from
    there afterwards is in the drive's root."""
    for letter in "qrstuvwxy":
        link = PREFIX / "dosdevices" / f"{letter}:"
        if not link.is_symlink() and not link.exists():
            link.symlink_to(folder)
            return f"{letter.upper()}:", link.unlink
    raise AssertionError("no free drive letter in the prefix")


class Display:
    """An Xvfb display and a persistent wineserver for one group of tests; as a context, started
    on entry and stopped on exit."""

    def __init__(self, use_current=False):
        self.process = None
        self.environment = None
        self.use_current = use_current and bool(os.environ.get("DISPLAY"))

    def start(self):
        self.environment = dict(os.environ, WINEPREFIX=str(PREFIX), WINEDEBUG="-all",
                                WINEDLLOVERRIDES=OVERRIDES)
        if not self.use_current:
            self.start_xvfb()
        self.ensure_prefix()
        install_driver()
        self.start_wineserver()

    def start_xvfb(self):
        # Xvfb takes the first display it can bind itself and tells which, once it answers
        # there: two runs that start at once cannot both take one, and the number we are told
        # is our own server's.
        reader, writer = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0",
                                         "1024x768x24", "-nolisten", "tcp"], pass_fds=(writer,),
                                        **QUIET)
        os.close(writer)
        with os.fdopen(reader) as answer:
            number = answer.readline().strip()
        if not number.isdigit():
            self.process.kill()
            raise AssertionError(f"Xvfb took no display (exit code {self.process.wait(10)})")
        self.environment["DISPLAY"] = os.environ["DISPLAY"] = f":{number}"

    def ensure_prefix(self):
        # Made on the display: a prefix made without one leaves a desktop process behind that
        # every later program waits on.
        if not (PREFIX / "system.reg").exists():
            PREFIX.parent.mkdir(parents=True, exist_ok=True)
            environment = dict(self.environment, WINEDLLOVERRIDES="mscoree,mshtml=")
            subprocess.run([WINE, "wineboot", "-i"], env=environment, check=False, timeout=300,
                           **QUIET)
            subprocess.run([WINESERVER, "-w"], env=environment, check=False, timeout=300)

    def start_wineserver(self):
        # A server left by an earlier run would still talk to that run's display.
        for option in ("-k", "-w", "-p"):
            subprocess.run([WINESERVER, option], env=self.environment, check=False, **QUIET)
        # Wine's own services start with the first process and keep whatever output handles
        # they inherit: give them none of ours, or a reader of ours would wait for them.
        subprocess.run([WINE, str(BUILD / "panel_probe.exe")], env=self.environment,
                       check=False, timeout=120, **QUIET)

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_):
        self.stop()

    def stop(self):
        for option in ("-k", "-w"):
            subprocess.run([WINESERVER, option], env=self.environment, check=False, **QUIET)
        if self.process:
            self.process.terminate()
            self.process.wait(10)
