"""Nothing sounds that the musician did not play, and one command silences everything: a word
still queued in an input that was left (Wine's queued delivery) is not forwarded; a slow close
and open of the output never hold the clock; "All notes off" in the system menu."""
import unittest

from panel_case import PanelTestCase
import test_notes_released as released  # its changes; a module, so its tests do not run here
from harness.driver import DELIVERED, STALL_ENDED
from harness.midi import cc, note_off, note_on
from harness.panel import MUSIC_APP
from harness.waiting import wait_until

SETTINGS = [0, 1, 1, 0, 0]  # the groovebox in, the music application out
CHORD = released.CHORD
HELD = CHORD + [note_on(36, 110, 10), cc(64, 127)]
STRAY = note_on(72, 100)  # still in the old input's queue when the change comes
LATER = note_on(74, 100)  # played into the input in service after the change
SLOW = 500  # milliseconds the driver takes to close, and to open, the output
ALL_NOTES_OFF = ([note_off(key, 1, 64) for key in (60, 64, 67)] + [note_off(36, 10, 64)] +
                 [word for channel in range(1, 17) for word in (cc(64, 0, channel),
                                                                cc(123, 0, channel))])


# The change, where LATER is played then (None: the run ended), and when the driver delivers
# what the old port queued: at the next open, the latest it can come, or at the close.
QUEUED_CASES = (
    ("another input chosen", lambda run: released.choose_input(run, None), "open"),
    ("the groovebox leaves and is taken up again",
     lambda run: released.unplug_and_return(run, lambda: None), "open"),
    ("close", lambda run: released.close(run, None), "close"),
)
SLOW_OUTPUT_CASES = (
    # Gone and back before the platform says so: the dead port closed, the same position opened.
    ("the output returns at its old position",
     lambda run: (run.unplug("out", MUSIC_APP, quiet=True), run.plug_in("out", MUSIC_APP))),
    # Gone, as the platform says, and back at the same position: the dead port is closed and
    # the same position opened again, as for a device that takes one client at a time.
    ("the output leaves and returns, told by the platform",
     lambda run: (run.unplug("out", MUSIC_APP), run.plug_in("out", MUSIC_APP))),
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
                self.assertIn(STRAY, [e.word for e in run.events()[mark:] if e.kind == DELIVERED])
                self.assertNotIn(STRAY, run.sent(since=mark), "the queued note forwarded")

    def test_a_slow_close_and_open_of_the_output_never_hold_the_clock(self):
        for name, change in SLOW_OUTPUT_CASES:
            with self.subTest(name):
                run = self.start()
                with run.playing(0, 0xF8, 0.005):  # the clock, every 5 ms
                    run.fault(f"stall out 0 close {SLOW}")
                    run.fault(f"stall out 0 open {SLOW}")
                    mark = run.mark()
                    change(run)
                    wait_until(lambda: len([e for e in run.events()[mark:]
                                            if e.kind == STALL_ENDED]) == 2,
                               what="the slow close and open")
                    opened = run.mark()
                    wait_until(lambda: 0xF8 in run.sent(0, opened), what="the clock through")
                # No callback was held over the bound, as the driver checks.
                self.assertEqual(run.port_events(mark)[-2:], [("out-close", 0), ("out-open", 0)])
                self.assertIsNone(run.message_box())

    def test_all_notes_off_releases_what_is_held_then_every_channel(self):
        run = self.start()
        run.inject(0, HELD)
        run.wait_sent(len(HELD))
        mark = run.mark()
        watched = run.watch_lights(lambda: run.system_menu("o"))
        self.assertEqual(run.settled_sent(len(ALL_NOTES_OFF), mark), ALL_NOTES_OFF)
        self.assertEqual((watched["lights"][1], watched["painted"][1]), (True, True), "out light")
        self.assertIsNone(run.message_box())
        # The driver takes a sustain release where no pedal is held for a release of nothing:
        # here, by design, on the fifteen channels whose pedal was up; nothing else, then or at
        # the close.
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
        run.system_menu("o")
        self.assertIsNone(run.message_box())
        self.assertTrue(run.state()["panel"])  # answered after the command: it was handled
        self.assertEqual((run.sent(since=mark), run.port_events(mark)), ([], []))


if __name__ == "__main__":
    unittest.main(verbosity=2)
