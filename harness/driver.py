"""The virtual MIDI driver's folder: the devices it lists, the input injected into it, the
stage faults it plays, and the events it records. Every name and code comes from its protocol
header."""
import collections
import contextlib
import struct
import tempfile
import threading
import time
from pathlib import Path

from harness import cdefs
from harness.waiting import wait_until
from harness.wine import run_program, windows_path

PROTOCOL = "doubles/winmm/FakeMidiProtocol.h"
_constants = cdefs.constants(PROTOCOL)
_events = cdefs.enumerators(PROTOCOL, "Event")
# The event kinds the harness and the tests look for, by their names in the protocol header.
CLOCK_FREQUENCY = _events["ClockFrequency"]
OUTPUT_OPENED, OUTPUT_CLOSED = _events["OutputOpened"], _events["OutputClosed"]
DELIVERED, SENT, VIOLATION = _events["Delivered"], _events["Sent"], _events["Violation"]
TSC_FREQUENCY, SEND_TOTAL = _events["TscFrequency"], _events["SendTotal"]
DEVICE_REMOVED, DEVICE_RETURNED = _events["DeviceRemoved"], _events["DeviceReturned"]
STALL_BEGAN, STALL_ENDED, NOTICE = _events["StallBegan"], _events["StallEnded"], _events["Notice"]
NOTE_LEFT_SOUNDING, QUEUED, QUEUE_HELD = (_events[name] for name in (
    "NoteLeftSounding", "Queued", "QueueHeld"))
VIOLATIONS = {code: cdefs.upper_snake(name).replace("_", " ").lower()
              for name, code in cdefs.enumerators(PROTOCOL, "Violation").items()}
FILES = {name: value for name, value in _constants.items() if name.endswith(("File", "Pattern"))}
MAPPER_NAME = _constants["MapperName"]
VARIABLES = {name: value for name, value in _constants.items() if name.endswith("Variable")}
STRESS_SENDER_SHIFT = _constants["StressSenderShift"]
EVENT = struct.Struct("<IiIIq")  # FakeMidiEvent
Event = collections.namedtuple("Event", "kind device word thread ticks")
PORT_EVENTS = {_events[name]: word for name, word in (
    ("InputOpened", "in-open"), ("InputOpenFailed", "in-fail"), ("InputStarted", "in-start"),
    ("InputStopped", "in-stop"), ("InputClosed", "in-close"), ("OutputOpened", "out-open"),
    ("OutputOpenFailed", "out-fail"), ("OutputClosed", "out-close"))}


def device_lines(inputs, outputs):
    """The devices file: names as they are, or "in-busy NAME" for one held by another program."""
    return "".join(name + "\n" if name.startswith(kind + "-busy ") else f"{kind} {name}\n"
                   for kind, names in (("in", inputs), ("out", outputs)) for name in names)


def environment(folder, **switches):
    """The driver's part of a program's environment: its folder, and switches by short name
    (quiet, stress, delivery="queued", lists="renumbered", probes)."""
    names = {cdefs.upper_snake(name[:-len("Variable")]).lower(): variable
             for name, variable in VARIABLES.items()}
    return {names["folder"]: folder, **{names[key]: str(value) for key, value in switches.items()}}


class DriverRecords:
    """The driver's folder: input to inject, faults to play, and the events it recorded."""

    def __init__(self, midi):
        self.midi = midi
        self.event_offset = 0
        self.event_cache = []

    def inject(self, device, words):
        with open(self.midi / (FILES["InputFilePattern"] % device), "ab") as stream:
            stream.write(struct.pack(f"<{len(words)}I", *words))

    def events(self):
        path = self.midi / FILES["EventsFile"]
        if path.exists():
            # Only what came since the last read: a flood's file grows to megabytes, and reading
            # it whole at every poll would take the processor from the program under test.
            with open(path, "rb") as records:
                records.seek(self.event_offset)
                data = records.read()
            whole = len(data) - len(data) % EVENT.size
            self.event_cache.extend(Event(*fields) for fields in EVENT.iter_unpack(data[:whole]))
            self.event_offset += whole
        return self.event_cache

    def events_of(self, *kinds):
        return [event for event in self.events() if event[0] in kinds]

    def sent(self, device=None, since=0, by=None):
        """The words sent to the outputs, or to output `device`; by "input" only those the
        delivery threads sent on, by "program" only the program's own (the thread that opens the
        outputs: learn clicks and releases)."""
        own = self.program_threads()
        return [event.word for event in self.events()[since:]
                if event.kind == SENT and (device is None or event.device == device) and
                (by is None or (event.thread in own) == (by == "program"))]

    def program_threads(self):
        """The threads that opened outputs: the program's own, whose sends are not forwarded."""
        return {event.thread for event in self.events() if event.kind == OUTPUT_OPENED}

    def notes_left_sounding(self):
        """(device, word) for each note or sustain still sounding as the process ended."""
        return [(event.device, event.word) for event in self.events_of(NOTE_LEFT_SOUNDING)]

    def mark(self):
        return len(self.events())

    def violations(self):
        return [(VIOLATIONS.get(word, word), device)
                for kind, device, word, _, _ in self.events() if kind == VIOLATION]

    def port_events(self, since=0):
        return [(PORT_EVENTS[kind], device) for kind, device, _, _, _ in self.events()[since:]
                if kind in PORT_EVENTS]

    def latency_cycles(self):
        data = (self.midi / FILES["LatencyFile"]).read_bytes()
        return struct.unpack(f"<{len(data) // 4}I", data)

    def wait_sent(self, count, since=0, timeout=30):
        return wait_until(lambda: (lambda s: s if len(s) >= count else None)(self.sent(since=since)),
                          timeout, 0.05, f"{count} sent messages")

    def settled_sent(self, count, since=0, timeout=30, quiet=0.3):
        """Everything sent since the mark once `count` messages are there and nothing more
        has come for `quiet` seconds: a stray extra message is caught, not missed."""
        self.wait_sent(count, since, timeout)
        while True:
            before = len(self.sent(since=since))
            time.sleep(quiet)  # the quiet interval itself is what is waited for
            after = self.sent(since=since)
            if len(after) == before:
                return after

    def wait_started(self, since=0, timeout=30):
        wait_until(lambda: any(name == "in-start" for name, _ in self.port_events(since)),
                   timeout, 0.05, "the input port to start")

    def fault(self, line):
        """Appends a stage fault for the driver: "remove in 0", "stall out 0 send 500"."""
        with open(self.midi / FILES["FaultsFile"], "a") as faults:
            faults.write(line + "\n")

    def unplug(self, kind, name, quiet=False):
        """Device `name` leaves ("in" or "out"; "#N": device number N); returns the driver's
        record of it. Unless quiet, the driver then tells the program's windows that devices
        changed."""
        return self._device_change(f"unplug {kind} {name}", DEVICE_REMOVED, kind, quiet)

    def plug_in(self, kind, name, quiet=False, after=0, at=None):
        """A device of that name comes, or comes back, `after` milliseconds from now (the
        platform's own delay), with renumbered lists listed at index `at` rather than last;
        returns the driver's record of it. A name "#N" is device number N."""
        if after:
            self.fault(f"wait {after}")
        where = f" at {at}" if at is not None else ""
        return self._device_change(f"plug {kind} {name}{where}", DEVICE_RETURNED, kind, quiet)

    def hold_queue(self, device, until):
        """(Queued delivery) the driver delivers nothing from its queue until the program has
        closed its port of input `device`; then, `until` "close", before that close returns, or
        with "open", at the program's next input open."""
        before = len(self.events_of(QUEUE_HELD))
        self.fault(f"hold in {device} until {until}")
        wait_until(lambda: self.events_of(QUEUE_HELD)[before:], interval=0.01, what="the hold")

    @contextlib.contextmanager
    def playing(self, device, word, every):
        """Plays `word` into input `device` every `every` seconds, as a groovebox's clock,
        while the block runs."""
        done = threading.Event()

        def play():
            while not done.is_set():
                self.inject(device, [word])
                time.sleep(every)  # the player's pace, not a wait

        player = threading.Thread(target=play)
        player.start()
        try:
            yield
        finally:
            done.set()
            player.join()

    def wait_queued(self, word, since=0):
        wait_until(lambda: any(event.kind == QUEUED and event.word == word
                               for event in self.events()[since:]),
                   interval=0.01, what=f"{word:#x} queued")

    def notice(self):
        """Only the notice that devices changed, as the platform may send before a port is
        there; returns its record."""
        before = len(self.events_of(NOTICE))
        self.fault("notice")
        return wait_until(lambda: self.events_of(NOTICE)[before:], interval=0.01,
                          what="the notice")[0]

    def _device_change(self, line, event, kind, quiet):
        before = len(self.events_of(event))
        self.fault(line + (" quiet" if quiet else ""))
        way = 0 if kind == "in" else 1
        return wait_until(lambda: [e for e in self.events_of(event)[before:] if e.word == way],
                          interval=0.01, what=line)[0]


def run_against_driver(display, program, *arguments, inputs, outputs, timeout, **switches):
    """Runs one of the build's console programs in a folder of its own, against the virtual
    driver listing these devices (quiet, and with these switches); returns its exit code, its
    output, and the driver's records of the run, read before the folder goes."""
    with tempfile.TemporaryDirectory(prefix="quorvel-driver-") as folder:
        (Path(folder) / FILES["DevicesFile"]).write_text(device_lines(inputs, outputs))
        variables = environment(windows_path(folder), quiet=1, **switches)
        code, output = run_program(program, *arguments, cwd=folder, timeout=timeout,
                                   environment=dict(display.environment, **variables))
        records = DriverRecords(Path(folder))
        records.events()
    return code, output.strip(), records
