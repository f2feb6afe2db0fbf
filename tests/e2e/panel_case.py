"""The base of every end-to-end test group: one Xvfb display and wineserver per group, a
screenshot of the screen whenever a test fails, no driver contract violation, ever, and the
check that a flood of numbered notes left once each, in order, but for a gap of a fault."""
import contextlib
import re
import sys
import time
import unittest

from harness.driver import CLOCK_FREQUENCY, DELIVERED, PORT_EVENTS, SENT
from harness.midi import numbered_note
from harness.controls import INPUT_DEVICE, OUTPUT_DEVICE
from harness.panel import SETTINGS_FILE, Quorvel
from harness.waiting import wait_until
from harness.wine import FAILURES, Display


# A device back in its list is taken up within a second (the lists are read once a second after
# a notice); the bound leaves a busy machine room.
RETURN_WITHIN = 3  # seconds


class PanelTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.display = Display()
        cls.display.start()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.runs = []

    def tearDown(self):
        failed = any(test is self for test, _ in self._outcome.result.failures +
                     self._outcome.result.errors)
        if failed:
            self.screenshot_failure(self.id())
        violations = [v for run in self.runs for v in run.violations()
                      if v[0] not in run.named_violations]
        sounding = [note for run in self.runs for note in run.notes_left_sounding()
                    if "note left sounding" not in run.named_violations]
        for run in self.runs:
            run.cleanup()
        self.assertEqual(violations, [], f"driver contract violations; left sounding: "
                         f"{[(device, hex(word)) for device, word in sounding]}")

    @contextlib.contextmanager
    def subTest(self, msg=unittest.case._subtest_msg_sentinel, **params):
        """A failed subtest leaves its screenshot too, taken before the next one starts."""
        with super().subTest(msg, **params):
            try:
                yield
            except Exception:
                self.screenshot_failure(f"{self.id()} {msg} {params}")
                raise

    def screenshot_failure(self, name):
        if self.runs:
            path = FAILURES / (re.sub(r"[^A-Za-z0-9_.]", "_", name).strip("_") + ".png")
            self.runs[-1].screenshot(path)
            print(f"\nscreenshot of the failure: {path}", file=sys.stderr)

    def kill_earlier_runs(self):
        """One panel on the screen, even after a failed case."""
        for earlier in self.runs:
            earlier.kill()

    def launch(self, settings=None, wine_debug=None, switches=None, wines_own_winmm=False,
               no_winmm=False, **options):
        run = Quorvel(self.display, settings, **options)
        self.runs.append(run)
        return run.start(wine_debug, wines_own_winmm, no_winmm, **(switches or {}))

    def launch_to_panel(self, settings=None, **options):
        run = self.launch(settings, **options)
        run.wait_panel()
        return run

    @staticmethod
    def spoil_settings(run, expected):
        """Makes "Settings" hold other bytes than `expected`, so that only a save can pass."""
        (run.folder / SETTINGS_FILE).write_bytes(bytes(255 - b for b in expected) + b"\0")

    def assertClosesWithSettings(self, run, expected):
        self.spoil_settings(run, expected)
        self.assertEqual(run.close(), 0)
        self.assertEqual(list(run.settings_bytes()), list(expected))

    def flood(self, run, first, count, device=0, since=None):
        """Plays numbered notes; with `since`, returns once a quarter of them has arrived."""
        run.inject(device, [numbered_note(first + i) for i in range(count)])
        if since is not None:
            wait_until(lambda: len(self.delivered(run, since)) > count // 4, what="the flow")

    @staticmethod
    def back_in_service(run, kind, since):
        """When the port was back after the mark `since`: its input started, or its output
        opened. Words delivered before that may be lost, and none after."""
        wanted = "in-start" if kind == "in" else "out-open"
        return next(event.ticks for event in run.events()[since:]
                    if PORT_EVENTS.get(event.kind) == wanted)

    def delivered(self, run, since):
        return [(event.word, event.ticks) for event in run.events()[since:]
                if event.kind == DELIVERED]

    def assertOnceInOrder(self, run, since, gap_from=None, gap_to=None):
        """Every word delivered before tick gap_from (but for the one in flight then) and after
        tick gap_to was sent exactly once, in order; nothing else was, but for the program's
        own releases."""
        delivered = self.delivered(run, since)
        sent = run.sent(since=since, by="input")
        words = [word for word, _ in delivered]
        kept = 0
        while kept < min(len(sent), len(words)) and sent[kept] == words[kept]:
            kept += 1
        missing = len(words) - len(sent)
        self.assertGreaterEqual(missing, 0, "words doubled")
        self.assertEqual(sent[kept:], words[kept + missing:], "lost, doubled or reordered words")
        if missing == 0:
            return
        self.assertIsNotNone(gap_from, "words lost")
        before = sum(1 for _, ticks in delivered if ticks < gap_from)
        after = sum(1 for _, ticks in delivered if ticks > gap_to)
        self.assertGreater(after, 0)
        self.assertGreaterEqual(kept, before - 1, "words delivered before the fault lost")
        self.assertLessEqual(kept + missing, len(words) - after, "words after the return lost")

    def assertLists(self, run, inputs, outputs, selections):
        """The panel lists exactly the platform's devices, in index order, with these
        selections, and shows no box."""
        def matching():
            state = run.state()
            lists = [state["items"].get(INPUT_DEVICE, []), state["items"].get(OUTPUT_DEVICE, [])]
            chosen = (state["selection"][INPUT_DEVICE], state["selection"][OUTPUT_DEVICE])
            return (lists, chosen) == ([inputs, outputs], selections)
        wait_until(matching, interval=0.2, what=f"the lists {inputs} {outputs} {selections}")
        self.assertIsNone(run.message_box(), "a box for what Quorvel tried by itself")

    def flow_back(self, run, returned, first, device=0):
        """Plays notes from `first` into input `device` until they come through; prints how
        long after the return the first one did, and returns the mark before them."""
        mark, number = run.mark(), first
        end = time.monotonic() + 30
        while not run.sent(since=mark):
            self.assertLess(time.monotonic(), end, "the flow never came back")
            run.inject(device, [numbered_note(number + i) for i in range(20)])
            number += 20
            time.sleep(0.01)  # a player's pace: twenty notes every ten milliseconds
        frequency = run.events_of(CLOCK_FREQUENCY)[0].ticks
        through = next(e.ticks for e in run.events()[mark:] if e.kind == SENT)
        took = (through - returned.ticks) / frequency
        print(f"\n  {took * 1000:.0f} ms from the return to the first word through")
        self.assertLess(took, RETURN_WITHIN, "a return taken up late")
        return mark
