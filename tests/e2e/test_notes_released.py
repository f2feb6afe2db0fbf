"""Notes held when a port changes: whatever Quorvel let through and the player still holds is
released at the output that got it, one Note Off per note and a sustain release per held pedal,
before anything else reaches that output; never at another output, and nothing for notes that
were released already or whose output went away; under both delivery models, each port's own
thread and Wine's one queue. The driver checks at every run's end that no note is left sounding
and that no release of the program's own finds nothing to release."""
import unittest

from panel_case import PanelTestCase
from harness.controls import INPUT_DEVICE, OUTPUT_DEVICE
from harness.driver import PORT_EVENTS, SENT
from harness.midi import cc, note_off, note_on
from harness.panel import GROOVEBOX, MUSIC_APP
from harness.waiting import wait_until

SETTINGS = [0, 1, 1, 0, 0]  # the groovebox in, the music application out
CHORD = [note_on(60, 100), note_on(64, 90), note_on(67, 80)]
DRUMS = [note_on(36, 110, 10), note_on(42, 70, 10)]
PEDAL = [cc(64, 127)]
LET_GO = [note_on(60, 100), note_off(60), note_on(62, 90), note_on(62, 0), cc(64, 127), cc(64, 0)]
CHORD_RELEASED = [note_off(key, 1, 64) for key in (60, 64, 67)]
DRUMS_RELEASED = [note_off(key, 10, 64) for key in (36, 42)]
PEDAL_RELEASED = [cc(64, 0)]
# Every key of two channels: more than one part of an output switch's releases holds.
EVERY_KEY = [note_on(key, 100, channel) for channel in (1, 2) for key in range(128)]
EVERY_KEY_RELEASED = [note_off(key, channel, 64) for channel in (1, 2) for key in range(128)]
LATER = note_on(72, 100)  # played once the change is over


def unplug_and_return(run, released_while_away):
    """The lists renumbered, so that the panel shows when Quorvel saw the device go: the
    releases are there by then, while it is away, not only once it is back."""
    run.unplug("in", GROOVEBOX)
    wait_until(lambda: GROOVEBOX not in run.state()["items"].get(INPUT_DEVICE, []),
               what="the groovebox gone from its list")
    released_while_away()
    mark = run.mark()
    run.plug_in("in", GROOVEBOX)
    run.wait_started(mark)
    return 0


def reopened_by_the_platform(run, _):
    # Gone and back before the platform says so: Quorvel finds a dead port and opens it again.
    run.unplug("in", GROOVEBOX, quiet=True)
    mark = run.mark()
    run.plug_in("in", GROOVEBOX)
    run.wait_started(mark)
    return 0


def choose_input(run, _):
    mark = run.mark()
    run.choose(INPUT_DEVICE, 1)
    run.wait_started(mark)
    return 1


def choose_output(run, _):
    mark = run.mark()
    run.choose(OUTPUT_DEVICE, 1)
    wait_until(lambda: ("out-open", 1) in run.port_events(mark), what="output 1 opened")
    return 0


def close(run, _):
    run.close()


def log_off(run, _):
    run.log_off()


def output_leaves_and_returns(run, _):
    run.unplug("out", MUSIC_APP)
    mark = run.mark()
    run.plug_in("out", MUSIC_APP)
    wait_until(lambda: ("out-open", 0) in run.port_events(mark), what="the output taken up")
    return 0


# What was held, what happens (given a check of the releases so far), the releases output 0
# gets, and where LATER then goes (none: the run has ended its ports).
DELIVERIES = ({}, {"delivery": "queued"})
CASES = (
    ("groovebox unplugged", CHORD + DRUMS, unplug_and_return, CHORD_RELEASED + DRUMS_RELEASED, 0),
    ("input reopened by the platform", CHORD, reopened_by_the_platform, CHORD_RELEASED, 0),
    ("user chooses another input", CHORD, choose_input, CHORD_RELEASED, 0),
    ("user chooses another output", CHORD, choose_output, CHORD_RELEASED, 1),
    ("another output, more held than one part releases", EVERY_KEY + PEDAL, choose_output,
     EVERY_KEY_RELEASED + PEDAL_RELEASED, 1),
    ("close", CHORD + PEDAL, close, CHORD_RELEASED + PEDAL_RELEASED, None),
    ("log-off", CHORD + PEDAL, log_off, CHORD_RELEASED + PEDAL_RELEASED, None),
    ("released notes, then an unplug", LET_GO, unplug_and_return, [], 0),
    ("the output leaves mid-note and returns", CHORD, output_leaves_and_returns, [], 0),
)


class NotesReleased(PanelTestCase):
    def test_what_is_held_when_a_port_changes_is_released_where_it_sounds_and_only_there(self):
        for delivery, (name, held, change, releases, later_at) in (
                (delivery, case) for delivery in DELIVERIES for case in CASES):
            with self.subTest(name, **delivery):
                self.kill_earlier_runs()
                run = self.launch_to_panel(SETTINGS, switches={"lists": "renumbered", **delivery})
                run.allow("in", run.device_name("in", 1))
                run.allow("out", run.device_name("out", 1))
                run.wait_started()
                run.inject(0, held)
                run.wait_sent(len(held))
                mark = run.mark()
                later_from = change(run, lambda: self.assertEqual(
                    run.sent(0, mark, by="program"), releases, "released while away"))
                if later_at is not None:
                    run.inject(later_from, [LATER])
                    wait_until(lambda: LATER in run.sent(later_at, mark), what="the later note")
                self.assertEqual(run.sent(0, mark, by="program"), releases, "released at 0")
                self.assertEqual(run.sent(1, mark, by="program"), [], "released at 1")
                self.assertEqual(run.sent(0, mark)[:len(releases)], releases,
                                 "something reached the output before the releases")
                self.assertReleasedBeforeTheOutputCloses(run, mark)
                if later_at is not None:
                    self.assertEqual(run.close(), 0)  # LATER released, which the driver checks

    def assertReleasedBeforeTheOutputCloses(self, run, mark):
        events = run.events()[mark:]
        closed = [e.ticks for e in events if PORT_EVENTS.get(e.kind) == "out-close" and
                  e.device == 0]
        own = run.program_threads()
        released = [e.ticks for e in events if e.kind == SENT and e.device == 0 and
                    e.thread in own]
        if closed and released:
            self.assertLess(released[-1], closed[0], "released at output 0 after it closed")

if __name__ == "__main__":
    unittest.main(verbosity=2)
