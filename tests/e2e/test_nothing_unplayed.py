"""Nothing sounds that the musician did not play, and one command silences everything: a word
still queued in an input the musician left (Wine's queued delivery) is not forwarded; an output
closed and opened again never holds the delivery thread, however slow the driver; and "All
notes off" in the system menu releases what Quorvel holds, then every channel. The driver checks
at every run's end that no note is left sounding and no callback was held too long."""
import threading
import time
import unittest

from panel_case import PanelTestCase
from harness.controls import INPUT_DEVICE, OUTPUT_DEVICE
from harness.driver import DELIVERED, STALL_ENDED
from harness.midi import cc, note_off, note_on
from harness.panel import GROOVEBOX, MUSIC_APP
from harness.waiting import wait_until

SETTINGS = [0, 1, 1, 0, 0]  # the groovebox in, the music application out
CHORD = [note_on(60, 100), note_on(64, 90), note_on(67, 80)]
HELD = CHORD + [note_on(36, 110, 10), cc(64, 127)]
STRAY = note_on(72, 100)  # still in the old input's queue when the change comes
LATER = note_on(74, 100)  # played into the input in service after the change
CLOCK, CLOCK_EVERY = 0xF8, 0.005  # seconds
SLOW = 500  # milliseconds the driver takes to close, and to open, the output
ALL_NOTES_OFF = ([note_off(key, 1, 64) for key in (60, 64, 67)] + [note_off(36, 10, 64)] +
                 [word for channel in range(1, 17) for word in (cc(64, 0, channel),
                                                                cc(123, 0, channel))])


def choose_input(run):
    mark = run.mark()
    run.choose(INPUT_DEVICE, 1)
    run.wait_started(mark)
    return 1


def groovebox_leaves_and_returns(run):
    run.unplug("in", GROOVEBOX)
    wait_until(lambda: GROOVEBOX not in run.state()["items"].get(INPUT_DEVICE, []),
               what="the groovebox gone from its list")
    mark = run.mark()
    run.plug_in("in", GROOVEBOX)
    run.wait_started(mark)
    return 0


def close(run):
    run.close()


def output_returns_at_its_place(run):
    # Gone and back before the platform says so: the dead port is closed and the same
    # position opened again.
    run.unplug("out", MUSIC_APP, quiet=True)
    run.plug_in("out", MUSIC_APP)


def output_chosen_again(run):
    run.choose(OUTPUT_DEVICE, 0)  # the device open now, which takes one client at a time


def all_notes_off(run):
    run.key("alt+space", "o")


# The change, and when the driver delivers what the old port queued: at the next open, the
# latest it can come, or just after the close.
QUEUED_CASES = (
    ("another input chosen", choose_input, "open"),
    ("the groovebox leaves and is taken up again", groovebox_leaves_and_returns, "open"),
    ("close", close, "close"),
)
SLOW_OUTPUT_CASES = (
    ("the output leaves and returns at its old position", output_returns_at_its_place),
    ("the open output chosen again", output_chosen_again),
)


class NothingUnplayed(PanelTestCase):
    def start(self, **switches):
        self.kill_earlier_runs()
        run = self.launch_to_panel(SETTINGS, switches=switches)
        run.allow("in", run.device_name("in", 1))
        run.wait_started()
        return run

    def test_a_word_still_queued_in_an_input_that_was_left_is_not_forwarded(self):
        for name, change, delivered_at in QUEUED_CASES:
            with self.subTest(name):
                run = self.start(delivery="queued", lists="renumbered")
                run.inject(0, CHORD)
                run.wait_sent(len(CHORD))
                run.hold_queue(0, delivered_at)
                mark = run.mark()
                run.inject(0, [STRAY])
                run.wait_queued(STRAY, mark)
                later_from = change(run)
                if later_from is not None:
                    run.inject(later_from, [LATER])
                    wait_until(lambda: LATER in run.sent(0, mark), what="the later note")
                    self.assertEqual(run.close(), 0)  # LATER released, as the driver checks
                self.assertNotIn(STRAY, run.sent(since=mark), "the queued note forwarded")
                self.assertIn(STRAY, [e.word for e in run.events()[mark:] if e.kind == DELIVERED])

    def test_a_slow_close_and_open_of_the_output_never_hold_the_clock(self):
        for name, change in SLOW_OUTPUT_CASES:
            with self.subTest(name):
                run = self.start()
                playing = threading.Event()
                playing.set()

                def play_clock():
                    while playing.is_set():
                        run.inject(0, [CLOCK])
                        time.sleep(CLOCK_EVERY)  # the groovebox's pace, not a wait

                clock = threading.Thread(target=play_clock)
                clock.start()
                try:
                    run.fault(f"stall out 0 close {SLOW}")
                    run.fault(f"stall out 0 open {SLOW}")
                    mark = run.mark()
                    change(run)
                    wait_until(lambda: len([e for e in run.events()[mark:]
                                            if e.kind == STALL_ENDED]) == 2,
                               what="the slow close and open")
                    opened = run.mark()
                    wait_until(lambda: ("out-open", 0) in run.port_events(mark) and
                               CLOCK in run.sent(0, opened), what="the clock through again")
                finally:
                    playing.clear()
                    clock.join()
                self.assertEqual(run.port_events(mark)[-2:], [("out-close", 0), ("out-open", 0)])
                self.assertIsNone(run.message_box())

    def test_all_notes_off_releases_what_is_held_then_every_channel(self):
        run = self.start()
        run.inject(0, HELD)
        run.wait_sent(len(HELD))
        mark = run.mark()
        watched = run.watch_lights(lambda: all_notes_off(run))
        self.assertEqual(run.settled_sent(len(ALL_NOTES_OFF), mark), ALL_NOTES_OFF)
        self.assertEqual((watched["lights"][1], watched["painted"][1]), (True, True), "out light")
        self.assertIsNone(run.message_box())
        # The driver counts a sustain release where no pedal is held as a release of nothing:
        # here, by design, on the fifteen channels whose pedal was up. Nothing else, before
        # the close or at it.
        pedals_up = [("release of note not held", 0)] * 15
        run.named_violations.add(pedals_up[0][0])
        self.assertEqual(run.violations(), pedals_up)
        self.assertEqual(run.close(), 0)
        self.assertEqual(run.violations(), pedals_up, "something released twice at the close")

    def test_all_notes_off_with_no_output_open_sends_nothing_and_shows_nothing(self):
        self.kill_earlier_runs()
        run = self.launch(None)  # no choice loaded, nothing opened
        run.press_box_ok("warning")
        run.wait_panel()
        mark = run.mark()
        all_notes_off(run)
        self.assertIsNone(run.message_box())
        self.assertTrue(run.state()["panel"])  # answered after the command: it was handled
        self.assertEqual((run.sent(since=mark), run.port_events(mark)), ([], []))


if __name__ == "__main__":
    unittest.main(verbosity=2)
