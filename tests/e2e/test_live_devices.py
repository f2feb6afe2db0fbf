"""Devices that leave and come back while Quorvel runs, on both kinds of lists a platform keeps:
renumbered (classic winmm: a device that leaves takes its index with it, one that comes is listed
last) and frozen at start (Windows 11's MIDI service before its 2026 fix, Wine's ALSA driver: a
device that leaves stays listed and fails to open). Quorvel keeps its lists true, takes a chosen
device up again by itself once it is back, opens nothing else, and shows no box for what it
tries by itself. Every word played outside a fault leaves once, in order."""
import unittest

from panel_case import PanelTestCase
from harness.midi import numbered_note
from harness.controls import INPUT_DEVICE, IN_LIGHT, OUTPUT_DEVICE, OUT_LIGHT
from harness.panel import (BUSY_INPUT, BUSY_OUTPUT, GROOVEBOX, KEYBOARD, MUSIC_APP, SYNTH_OUT,
                           names_file)
from harness.waiting import wait_until

SETTINGS = [0, 1, 1, 0, 0]  # the groovebox in, the music application out
BEFORE, OTHERS = 5_000, 3_000
LATE = 3000  # milliseconds between the notice and a port that the platform lists late
CABLE = "USB MIDI Interface"  # two of them


class LiveDevices(PanelTestCase):
    def start(self, lists, settings=SETTINGS):
        self.kill_earlier_runs()
        run = self.launch_to_panel(settings, switches={"lists": lists} if lists else None)
        run.wait_started()
        return run

    def test_the_chosen_device_leaves_during_a_flood_and_comes_back_at_another_index(self):
        for kind, lists_after_leaving, lists_after_return, selections, saved in (
                ("in", ([KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT]),
                 ([KEYBOARD, BUSY_INPUT, GROOVEBOX], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT]),
                 ((-1, 0), (2, 0)), [0, 1, 1, 2, 0]),
                ("out", ([GROOVEBOX, KEYBOARD, BUSY_INPUT], [SYNTH_OUT, BUSY_OUTPUT]),
                 ([GROOVEBOX, KEYBOARD, BUSY_INPUT], [SYNTH_OUT, BUSY_OUTPUT, MUSIC_APP]),
                 ((0, -1), (0, 2)), [0, 1, 1, 0, 2])):
            with self.subTest(kind):
                run = self.start("renumbered")
                mark = run.mark()
                self.flood(run, 0, BEFORE, since=mark)
                name, light = run.device_name(kind, 0), IN_LIGHT if kind == "in" else OUT_LIGHT
                removed = run.unplug(kind, name)
                self.assertLists(run, *lists_after_leaving, selections[0])
                run.wait_light(light, f'MIDI {kind}: waiting for "{name}"', "amber")
                back = run.mark()
                self.flow_back(run, run.plug_in(kind, name), BEFORE)
                self.assertLists(run, *lists_after_return, selections[1])
                run.wait_light(light, f"MIDI {kind}: quiet", "dark")
                self.assertOnceInOrder(run, mark, removed.ticks,
                                       self.back_in_service(run, kind, back))
                self.assertClosesWithSettings(run, saved)

    def test_frozen_lists_a_device_that_answers_again_is_taken_up(self):
        run = self.start(None)
        everything = ([GROOVEBOX, KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT], (0, 0))
        # The output, with nothing played meanwhile: it stays listed, and fails to open
        # quietly until it answers again.
        run.unplug("out", MUSIC_APP)
        wait_until(lambda: ("out-fail", 0) in run.port_events(), what="a quiet attempt")
        self.assertLists(run, *everything)
        self.flow_back(run, run.plug_in("out", MUSIC_APP), 0)
        self.assertLists(run, *everything)
        self.assertClosesWithSettings(run, SETTINGS)

    def test_a_port_listed_seconds_after_the_notice_of_its_arrival_is_taken_up(self):
        # The platform tells of the arrival at once and lists the port only later; the
        # departure came without a word, as a hub that resets may leave it.
        for lists, position in (("renumbered", 2), (None, 0)):
            with self.subTest(lists or "frozen"):
                run = self.start(lists)
                mark = run.mark()
                run.unplug("in", GROOVEBOX, quiet=True)
                run.notice()
                if lists:
                    self.assertLists(run, [KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT],
                                     (-1, 0))
                self.flow_back(run, run.plug_in("in", GROOVEBOX, quiet=True, after=LATE),
                               100_000)
                self.assertIn(("in-open", 0), run.port_events(mark))
                self.assertClosesWithSettings(run, [0, 1, 1, position, 0])

    def test_an_entry_chosen_after_its_device_left_opens_nothing(self):
        run = self.start("renumbered", settings=[0, 1, 1, 1, 0])  # the keyboard in
        mark = run.mark()
        dropdown = run.drop_down(INPUT_DEVICE)
        run.unplug("in", GROOVEBOX)  # the keyboard slides into its place
        run.pick(dropdown, INPUT_DEVICE, 0)
        self.assertLists(run, [KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT], (0, 0))
        self.assertEqual(run.port_events(mark), [], "a port opened for an entry whose device left")
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 0])

    def test_another_device_that_comes_and_goes_disturbs_nothing(self):
        run = self.start("renumbered")
        mark = run.mark()
        self.flood(run, 0, OTHERS, since=mark)
        # A list the user holds dropped down keeps its entries until it closes. The output list
        # changes after it: once it shows that, the panel has handled the input's notice too.
        run.drop_down(INPUT_DEVICE)
        run.unplug("in", KEYBOARD)
        run.unplug("out", SYNTH_OUT)
        wait_until(lambda: run.state()["items"][OUTPUT_DEVICE] == [MUSIC_APP, BUSY_OUTPUT],
                   what="the output list without the synth")
        self.assertEqual(run.state()["items"][INPUT_DEVICE], [GROOVEBOX, KEYBOARD, BUSY_INPUT])
        run.key("Escape")
        self.assertLists(run, [GROOVEBOX, BUSY_INPUT], [MUSIC_APP, BUSY_OUTPUT], (0, 0))
        run.plug_in("in", KEYBOARD)
        run.plug_in("out", SYNTH_OUT)
        self.assertLists(run, [GROOVEBOX, BUSY_INPUT, KEYBOARD], [MUSIC_APP, BUSY_OUTPUT, SYNTH_OUT], (0, 0))
        wait_until(lambda: numbered_note(OTHERS - 1) in run.sent(since=mark), what="the flood")
        self.assertOnceInOrder(run, mark)
        self.assertEqual(run.port_events(mark), [], "a port reopened")
        self.assertClosesWithSettings(run, SETTINGS)

    def test_another_device_of_the_chosen_name_leaves_and_returns_and_nothing_is_reopened(self):
        # Two cables of one name, the groovebox on the second; the first leaves and comes back,
        # listed after the chosen one or before it.
        names = names_file((CABLE, 2, 1), (MUSIC_APP, 1, 0))
        for where, at, chosen in (("listed after it", None, 0), ("listed before it", 0, 1)):
            with self.subTest(where):
                self.kill_earlier_runs()
                run = self.launch_to_panel([0, 1, 1, 1, 0], inputs=[CABLE, CABLE],
                                           outputs=[MUSIC_APP], port_names=names,
                                           switches={"lists": "renumbered"},
                                           allowed=[("in", CABLE), ("out", MUSIC_APP)])
                run.wait_started()
                mark = run.mark()
                self.flood(run, 0, BEFORE, device=1, since=mark)
                run.unplug("in", "#0")
                self.assertLists(run, [CABLE], [MUSIC_APP], (0, 0))
                run.plug_in("in", "#0", at=at)
                self.assertLists(run, [CABLE, CABLE], [MUSIC_APP], (chosen, 0))
                self.flood(run, BEFORE, OTHERS, device=1)
                wait_until(lambda: numbered_note(BEFORE + OTHERS - 1) in run.sent(since=mark),
                           what="the flood")
                self.assertOnceInOrder(run, mark)
                self.assertEqual(run.port_events(mark), [], "a port reopened")
                self.assertClosesWithSettings(run, [0, 1, 1, chosen, 0])
                self.assertEqual(run.port_names()["input"], (CABLE, chosen + 1, chosen))

    def test_closing_while_the_chosen_device_is_away_saves_and_ends(self):
        run = self.start("renumbered")
        run.unplug("in", GROOVEBOX)
        self.assertLists(run, [KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT], (-1, 0))
        self.assertClosesWithSettings(run, SETTINGS)


if __name__ == "__main__":
    unittest.main(verbosity=2)
