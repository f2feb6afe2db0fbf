"""Devices known by name from one run to the next. "Settings" keeps positions, which Windows
shifts between runs; the names file beside it says which devices they were. At start Quorvel
opens the named devices wherever they are now, waits for one that is not there without opening
anything in its place, and lets a "Settings" changed since decide by its positions. A port is
opened again only on evidence that its device left, whatever the platform's probes say. The
driver fails any case in which another device is opened."""
import unittest

from panel_case import PanelTestCase
from harness.midi import cc, numbered_note
from harness.controls import INPUT_DEVICE, IN_LIGHT, OUTPUT_DEVICE, SYNTH_MUTES
from harness.panel import GROOVEBOX, KEYBOARD, MUSIC_APP, SYNTH_OUT, names_file, open_failure
from harness.waiting import wait_until
from harness.wine import winmm_results

PAD = "Pad MIDI Out"
DRUM_REPORT = [cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5)]
FLOOD = 5_000


# What a run finds at start. opened: the port events while the panel opens; shown: the input
# list's selection and the text of its edit field; light: the in light's text and colour;
# saved: "Settings" and the names after a close that follows the device's arrival (plug) or a
# change of the synth box.
QUIET = ("MIDI in: quiet", "dark")
WAITING = (f'MIDI in: waiting for "{GROOVEBOX}"', "amber")
START_CASES = [
    dict(what="renumbered between runs: another device at each old position",
         inputs=[KEYBOARD, "in-busy Busy Input", GROOVEBOX],
         outputs=[SYNTH_OUT, "out-busy Busy Output", MUSIC_APP],
         settings=[0, 1, 1, 0, 0], names=names_file((GROOVEBOX, 1, 0), (MUSIC_APP, 1, 0)),
         allowed=[("in", GROOVEBOX), ("out", MUSIC_APP)],
         opened=[("out-open", 2), ("in-open", 2), ("in-start", 2)], shown=(2, GROOVEBOX),
         light=QUIET,
         saved=[0, 1, 0, 2, 2], saved_names=((GROOVEBOX, 1, 2), (MUSIC_APP, 1, 2))),
    dict(what="the groovebox is switched on after Quorvel starts",
         inputs=[KEYBOARD, "in-busy Busy Input"], outputs=[MUSIC_APP, SYNTH_OUT],
         settings=[0, 1, 1, 0, 0], names=names_file((GROOVEBOX, 1, 0), (MUSIC_APP, 1, 0)),
         allowed=[("in", GROOVEBOX), ("out", MUSIC_APP)],
         opened=[("out-open", 0)], shown=(-1, GROOVEBOX), light=WAITING, plug=("in", GROOVEBOX),
         saved=[0, 1, 1, 2, 0], saved_names=((GROOVEBOX, 1, 2), (MUSIC_APP, 1, 0))),
    dict(what="closed before the groovebox arrives: its name is kept",
         inputs=[KEYBOARD, "in-busy Busy Input"], outputs=[MUSIC_APP, SYNTH_OUT],
         settings=[0, 1, 1, 0, 0], names=names_file((GROOVEBOX, 1, 0), (MUSIC_APP, 1, 0)),
         allowed=[("out", MUSIC_APP)],
         opened=[("out-open", 0)], shown=(-1, GROOVEBOX), light=WAITING,
         saved=[0, 1, 0, 0, 0], saved_names=((GROOVEBOX, 1, 0), (MUSIC_APP, 1, 0))),
    dict(what="no names file: the positions, and the names are written",
         inputs=[GROOVEBOX, KEYBOARD], outputs=[MUSIC_APP, SYNTH_OUT],
         settings=[0, 1, 1, 1, 0], names=None, allowed=None,
         opened=[("out-open", 0), ("in-open", 1), ("in-start", 1)], shown=(1, KEYBOARD),
         light=QUIET,
         saved=[0, 1, 0, 1, 0], saved_names=((KEYBOARD, 1, 1), (MUSIC_APP, 1, 0))),
]


class NamesBetweenRuns(PanelTestCase):
    def start(self, settings, names=None, allowed=None, switches=None, **devices):
        self.kill_earlier_runs()
        run = self.launch(settings, port_names=names, allowed=allowed, switches=switches,
                          **devices)
        return run

    def assertReportReaches(self, run, input, output):
        mark = run.mark()
        run.inject(input, DRUM_REPORT)
        wait_until(lambda: cc(56, 64) in run.sent(output, mark), what="the translated report")

    def test_each_run_opens_the_devices_it_should_and_nothing_in_their_place(self):
        for case in START_CASES:
            with self.subTest(case["what"]):
                run = self.start(case["settings"], case["names"], case["allowed"],
                                 {"lists": "renumbered"}, inputs=case["inputs"],
                                 outputs=case["outputs"])
                state = run.wait_panel()
                wait_until(lambda: run.port_events() == case["opened"], interval=0.1,
                           what=f"the ports {case['opened']}")
                self.assertIsNone(run.message_box(), "a box at start")
                self.assertEqual((state["selection"][INPUT_DEVICE], state["edit"][INPUT_DEVICE]),
                                 case["shown"])
                run.wait_light(IN_LIGHT, *case["light"])
                if case["light"] == WAITING:  # its tooltip says what Quorvel will do
                    run.hover(IN_LIGHT)
                    wait_until(lambda: (run.tooltip() or "").startswith(WAITING[0] + "; "),
                               what="the waiting light's tooltip")
                selected_input, _ = case["shown"]
                if selected_input >= 0 and case["opened"][0][0] == "out-open":
                    self.assertReportReaches(run, selected_input, case["opened"][0][1])
                if "plug" in case:
                    kind, name = case["plug"]
                    mark = run.mark()
                    returned = run.plug_in(kind, name)
                    self.flow_back(run, returned, 0,
                                   device=returned.device if kind == "in" else selected_input)
                    self.assertEqual(run.port_events(mark)[:1], [(f"{kind}-open", returned.device)])
                    run.wait_light(IN_LIGHT, *QUIET)
                else:
                    run.click(SYNTH_MUTES)  # so that the close has something new to save
                    wait_until(lambda: run.state()["check"][SYNTH_MUTES] == 0,
                               what="the synth box cleared")
                self.assertClosesWithSettings(run, case["saved"])
                self.assertEqual(run.port_names(), dict(zip(("input", "output"),
                                                            case["saved_names"])))

    def test_a_named_device_that_another_program_holds_shows_the_open_error(self):
        run = self.start([0, 1, 1, 0, 0], names_file((GROOVEBOX, 1, 0)),
                         [("in", GROOVEBOX), ("out", MUSIC_APP)],
                         inputs=[KEYBOARD, "in-busy " + GROOVEBOX])
        self.assertEqual(run.wait_message_box(), open_failure("MMSYSERR_ALLOCATED"))
        run.press_box_ok("Error")
        run.wait_panel()
        self.assertEqual(run.port_events(), [("out-open", 0), ("in-fail", 1)])
        run.wait_light(IN_LIGHT, "MIDI in: not open", "grey")  # not dark, as a quiet port is
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 0])

    def test_probes_the_platform_gets_wrong_reopen_nothing_and_a_real_return_is_followed(self):
        for probes in (f"fails {winmm_results()['MMSYSERR_NODRIVER']}", "answers-dead"):
            with self.subTest(probes):
                run = self.start([0, 1, 1, 0, 0], switches={"lists": "renumbered",
                                                            "probes": probes})
                run.wait_panel()
                run.wait_started()
                mark = run.mark()
                self.flood(run, 0, FLOOD, since=mark)
                # Devices beside the chosen ones come and go, each with its notice.
                run.plug_in("in", PAD)
                run.unplug("out", SYNTH_OUT)
                run.plug_in("out", SYNTH_OUT)
                run.unplug("in", KEYBOARD)
                wait_until(lambda: numbered_note(FLOOD - 1) in run.sent(since=mark),
                           what="the flood")
                self.assertOnceInOrder(run, mark)
                self.assertEqual(run.port_events(mark), [], "a port reopened")
                # The groovebox and the music application really leave and come back.
                for kind, name in (("in", GROOVEBOX), ("out", MUSIC_APP)):
                    run.unplug(kind, name)
                    wait_until(lambda: run.state()["selection"][
                        INPUT_DEVICE if kind == "in" else OUTPUT_DEVICE] == -1,
                        what=f"{name} shown as away")
                    before = run.mark()
                    returned = run.plug_in(kind, name)
                    self.flow_back(run, returned, 100_000 if kind == "in" else 200_000,
                                   device=returned.device if kind == "in" else 0)
                    self.assertIn((f"{kind}-open", returned.device), run.port_events(before))
                self.assertClosesWithSettings(run, [0, 1, 1, 2, 2])


if __name__ == "__main__":
    unittest.main(verbosity=2)
