"""Closing the panel: the exact five bytes, the ports closed, exit code 0, and a failed save."""
import time
import unittest

from e2ecase import PanelTestCase
from harness import DRUM_MUTES, INPUT_DEVICE, OUTPUT_DEVICE, WHEEL_TYPE, wait_until


class Closing(PanelTestCase):
    def test_alt_f4_writes_the_choices_closes_the_ports_and_exits_with_0(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.click(DRUM_MUTES)
        run.choose(WHEEL_TYPE, 2)
        run.choose(INPUT_DEVICE, 1)
        run.choose(OUTPUT_DEVICE, 1)
        wait_until(lambda: run.state()["check"][DRUM_MUTES] == 0, what="drum box cleared")
        mark = run.mark()
        self.assertClosesWithSettings(run, [2, 0, 1, 1, 1])
        self.assertEqual(run.port_events(mark), [("in-stop", 1), ("in-close", 1), ("out-close", 1)])
        self.assertFalse((run.folder / "Settings.new").exists())

    def test_an_unwritable_settings_file_warns_then_exits_with_0_leaving_it_as_it_was(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        (run.folder / "Settings.new").mkdir()  # the save's temporary file cannot be made
        run.choose(WHEEL_TYPE, 1)
        run.key("alt+F4")
        self.assertEqual(run.wait_message_box(), ("warning", "Can't Save Settings"))
        time.sleep(0.5)
        self.assertTrue(run.running(), "the process ended before the warning was answered")
        run.press_box_ok("warning")
        self.assertEqual(run.wait_exit(), 0)
        self.assertEqual(list(run.settings_bytes()), [0, 1, 1, 0, 0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
