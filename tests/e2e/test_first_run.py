"""First run without "Settings", then the user picks both devices."""
import unittest

from e2ecase import PanelTestCase
from harness import (DRUM_MUTES, INPUT_DEVICE, OUTPUT_DEVICE, SYNTH_MUTES, WHEEL_DOWN, WHEEL_TYPE,
                     WHEEL_UP, cc, program, wait_until)


class FirstRun(PanelTestCase):
    def test_warns_first_then_shows_an_empty_panel_with_no_port_open(self):
        run = self.launch()
        self.assertEqual(run.wait_message_box(), ("warning", "No settings to load"))
        self.assertFalse(run.state()["panel"], "the panel is there before the warning is answered")
        run.press_box_ok("warning")
        state = run.wait_panel()
        self.assertEqual(state["selection"], {INPUT_DEVICE: -1, OUTPUT_DEVICE: -1, WHEEL_TYPE: -1})
        self.assertEqual(state["check"], {SYNTH_MUTES: 0, DRUM_MUTES: 0})
        self.assertEqual(state["items"][INPUT_DEVICE],
                         ["Groovebox MIDI Out", "Keyboard MIDI Out", "Busy Input"])
        self.assertEqual(state["items"][OUTPUT_DEVICE],
                         ["Music App MIDI In", "Synth MIDI In", "Busy Output"])
        self.assertEqual(state["items"][WHEEL_TYPE],
                         ["Up / Down (Button)", "Control Change", "Endless Encoder"])
        self.assertEqual(run.port_events(), [])
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 0])

    def test_after_picking_both_devices_every_translation_is_active(self):
        run = self.launch()
        run.wait_message_box()
        run.press_box_ok("warning")
        run.wait_panel()
        run.choose(OUTPUT_DEVICE, 1)
        run.choose(INPUT_DEVICE, 1)
        wait_until(lambda: ("in-start", 1) in run.port_events(), what="input started")
        self.assertEqual(run.port_events(), [("out-open", 1), ("in-open", 1), ("in-start", 1)])

        mark = run.mark()
        run.inject(1, [cc(98, 120), cc(6, 1), cc(38, 5), cc(98, 119), cc(38, 31), program(3)])
        expected = [cc(98, 120), cc(6, 1), cc(57, 0), cc(58, 64), cc(38, 5), cc(50, 0),
                    cc(51, 64), cc(52, 0), cc(53, 64), cc(54, 64), cc(55, 64), cc(56, 64),
                    cc(98, 119), cc(38, 31), cc(40, 0), cc(41, 0), cc(42, 0), cc(43, 0),
                    cc(44, 0), cc(48, 65)]
        self.assertEqual(run.settled_sent(len(expected), mark), expected)

        mark = run.mark()
        run.click(WHEEL_UP)
        run.click(WHEEL_DOWN)
        self.assertEqual(run.settled_sent(2, mark), [cc(47, 65), cc(48, 65)])
        self.assertEqual(run.sent(since=mark, device=1), [cc(47, 65), cc(48, 65)])
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
