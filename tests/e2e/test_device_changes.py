"""Choosing devices in the lists: reopening, typing, busy and vanished devices."""
import time
import unittest

from e2ecase import PanelTestCase
from harness import DRUM, INPUT_DEVICE, OUTPUT_DEVICE, cc, wait_until


class DeviceChanges(PanelTestCase):
    def test_every_selection_change_reopens_even_the_same_device(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        mark = run.mark()
        run.choose(INPUT_DEVICE, 0)
        wait_until(lambda: run.port_events(mark)[-1:] == [("in-start", 0)], what="input reopened")
        run.choose(INPUT_DEVICE, 1)
        wait_until(lambda: run.port_events(mark)[-1:] == [("in-start", 1)], what="input moved")
        run.choose(OUTPUT_DEVICE, 0)
        run.choose(OUTPUT_DEVICE, 1)
        wait_until(lambda: run.port_events(mark)[-1:] == [("out-open", 1)], what="output moved")
        self.assertEqual(run.port_events(mark),
                         [("in-stop", 0), ("in-close", 0), ("in-open", 0), ("in-start", 0),
                          ("in-stop", 0), ("in-close", 0), ("in-open", 1), ("in-start", 1),
                          ("out-close", 0), ("out-open", 0), ("out-close", 0), ("out-open", 1)])
        mark = run.mark()
        run.inject(1, [cc(7, 9)])
        self.assertEqual(run.settled_sent(1, mark), [cc(7, 9)])
        self.assertEqual(run.sent(device=1, since=mark), [cc(7, 9)])
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])

    def test_typing_in_a_device_list_reopens_nothing(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        mark = run.mark()
        for control in (INPUT_DEVICE, OUTPUT_DEVICE):
            left, top, _, _ = run.rects[control]
            run.click(control, left + 10, top + 8)
            run.type_text("abc")
        time.sleep(0.5)
        self.assertEqual(run.port_events(mark), [])
        self.assertEqual(run.close(), 0)

    def test_a_busy_device_shows_its_error_and_the_panel_stays_usable(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        for control, kind in ((OUTPUT_DEVICE, "out"), (INPUT_DEVICE, "in")):
            mark = run.mark()
            run.choose(control, 2)
            self.assertEqual(run.wait_message_box(), ("Error", "Can't open midi Device: 4"))
            run.press_box_ok("Error")
            self.assertEqual(run.port_events(mark)[-1], (kind + "-fail", 2))
            run.choose(control, 1)
            wait_until(lambda: (kind + "-open", 1) in run.port_events(mark), what="reopened")
        # Nothing is started on the failed port, and the working ones carry messages again.
        wait_until(lambda: run.port_events()[-1] == ("in-start", 1), what="input started")
        mark = run.mark()
        run.click(DRUM[0])
        run.inject(1, [cc(1, 1)])
        self.assertEqual(sorted(run.settled_sent(2, mark)), sorted([cc(50, 64), cc(1, 1)]))
        self.assertEqual(len(run.sent(device=1, since=mark)), 2)
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])

    def test_a_stored_device_that_no_longer_exists_shows_the_open_error(self):
        run = self.launch([0, 1, 1, 7, 0])
        self.assertEqual(run.wait_message_box(), ("Error", "Can't open midi Device: 2"))
        run.press_box_ok("Error")
        state = run.wait_panel()
        self.assertEqual(state["selection"][INPUT_DEVICE], -1)
        self.assertEqual(state["selection"][OUTPUT_DEVICE], 0)
        self.assertEqual(run.port_events(), [("out-open", 0), ("in-fail", 7)])
        self.assertClosesWithSettings(run, [0, 1, 1, 7, 0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
