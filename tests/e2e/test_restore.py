"""Start-up from a "Settings" file: selections and checkboxes restored, ports opened."""
import unittest

from e2ecase import PanelTestCase
from harness import (DRUM_MUTES, INPUT_DEVICE, OUTPUT_DEVICE, SYNTH_MUTES, WHEEL_TYPE, cc,
                     wait_until)

DRUM_REPORT = [cc(98, 120), cc(6, 1), cc(38, 5)]
DRUM_REPORT_OUT = [cc(98, 120), cc(6, 1), cc(57, 0), cc(58, 64), cc(38, 5), cc(50, 0), cc(51, 64),
                   cc(52, 0), cc(53, 64), cc(54, 64), cc(55, 64), cc(56, 64)]
SYNTH_PARTS_31 = [cc(40, 0), cc(41, 0), cc(42, 0), cc(43, 0), cc(44, 0)]


class Restore(PanelTestCase):
    def test_restores_selections_and_checks_and_opens_output_before_input(self):
        run = self.launch_to_panel([0, 1, 0, 1, 1])
        self.assertIsNone(run.message_box())
        state = run.state()
        self.assertEqual(state["selection"], {INPUT_DEVICE: 1, OUTPUT_DEVICE: 1, WHEEL_TYPE: -1})
        self.assertEqual(state["check"], {SYNTH_MUTES: 0, DRUM_MUTES: 1})
        run.wait_started()
        self.assertEqual(run.port_events(), [("out-open", 1), ("in-open", 1), ("in-start", 1)])

        # Synth translation is off: only the raw messages pass; the report stays armed.
        mark = run.mark()
        run.inject(1, [cc(98, 119), cc(38, 31)] + DRUM_REPORT)
        self.assertEqual(run.settled_sent(14, mark), [cc(98, 119), cc(38, 31)] + DRUM_REPORT_OUT)

        run.click(SYNTH_MUTES)
        wait_until(lambda: run.state()["check"][SYNTH_MUTES] == 1, what="synth box checked")
        mark = run.mark()
        run.inject(1, [cc(38, 31)])
        self.assertEqual(run.settled_sent(6, mark), [cc(38, 31)] + SYNTH_PARTS_31)
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])

    def test_empty_file_opens_the_mapper_and_fails_the_input_at_index_minus_one(self):
        run = self.launch([])
        # Input -1 is no device; output -1 is the platform's MIDI mapper.
        self.assertEqual(run.wait_message_box(), ("Error", "Can't open midi Device: 2"))
        run.press_box_ok("Error")
        state = run.wait_panel()
        self.assertEqual(state["selection"], {INPUT_DEVICE: -1, OUTPUT_DEVICE: -1, WHEEL_TYPE: -1})
        self.assertEqual(state["check"], {SYNTH_MUTES: 1, DRUM_MUTES: 1})
        self.assertEqual(run.port_events(), [("out-open", -1), ("in-fail", -1)])
        self.assertClosesWithSettings(run, [255, 1, 1, 255, 255])


if __name__ == "__main__":
    unittest.main(verbosity=2)
