"""Keyboard use of the panel: Tab order, Space on buttons and checkboxes, Esc."""
import time
import unittest

from e2ecase import PanelTestCase
from harness import DRUM_MUTES, SYNTH, TAB_ORDER, cc, wait_until


class Keyboard(PanelTestCase):
    def test_tab_and_shift_tab_follow_the_control_order(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        self.assertEqual(run.state()["focus"], TAB_ORDER[0])
        forward = []
        for _ in TAB_ORDER:
            run.key("Tab")
            forward.append(run.state()["focus"])
        self.assertEqual(forward, TAB_ORDER[1:] + TAB_ORDER[:1])
        backward = []
        for _ in range(3):
            run.key("shift+Tab")
            backward.append(run.state()["focus"])
        self.assertEqual(backward, [TAB_ORDER[-1], TAB_ORDER[-2], TAB_ORDER[-3]])

    def test_space_presses_the_focused_button_and_toggles_a_checkbox(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.key("Tab", "Tab")
        self.assertEqual(run.state()["focus"], SYNTH[0])
        mark = run.mark()
        run.key("space")
        self.assertEqual(run.settled_sent(1, mark), [cc(40, 64)])
        for _ in range(TAB_ORDER.index(DRUM_MUTES) - TAB_ORDER.index(SYNTH[0])):
            run.key("Tab")
        self.assertEqual(run.state()["focus"], DRUM_MUTES)
        run.key("space")
        wait_until(lambda: run.state()["check"][DRUM_MUTES] == 0, what="drum box cleared")
        self.assertClosesWithSettings(run, [0, 0, 1, 0, 0])

    def test_escape_does_nothing(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        mark = run.mark()
        run.key("Escape", "Return")
        time.sleep(1)
        self.assertTrue(run.running())
        self.assertTrue(run.state()["panel"])
        self.assertEqual(run.sent(since=mark), [])
        self.assertEqual(run.port_events(mark), [])
        self.assertEqual(run.close(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
