"""The two roads end to end, every learn button, and the wheel buttons under each wheel type."""
import time
import unittest

from e2ecase import PanelTestCase
from harness import DRUM, SYNTH, WHEEL_DOWN, WHEEL_TYPE, WHEEL_UP, cc, program, wait_until

UP, DOWN = cc(47, 65), cc(48, 65)


class RoadsAndLearn(PanelTestCase):
    def test_drum_status_report_from_the_device_and_a_click_on_6a(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        mark = run.mark()
        run.inject(0, [cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5)])
        self.assertEqual(run.settled_sent(13, mark),
                         [cc(99, 0), cc(98, 120), cc(6, 1), cc(57, 0), cc(58, 64), cc(38, 5),
                          cc(50, 0), cc(51, 64), cc(52, 0), cc(53, 64), cc(54, 64), cc(55, 64),
                          cc(56, 64)])
        mark = run.mark()
        run.click(DRUM[5])  # "6A"
        self.assertEqual(run.settled_sent(1, mark), [cc(55, 64)])
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 0])

    def test_every_part_button_sends_its_learn_message(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        mark = run.mark()
        for button in SYNTH + DRUM:
            run.click(button)
        self.assertEqual(run.settled_sent(14, mark),
                         [cc(n, 64) for n in (40, 41, 42, 43, 44, 50, 51, 52, 53, 54, 55, 56,
                                              57, 58)])
        self.assertEqual(run.state()["controls"][DRUM[5]][1], "6A")

    def test_wheel_buttons_and_wheel_translation_follow_the_wheel_type(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        expectations = [(None, True), (1, False), (2, False), (0, True)]
        for wheel_type, active in expectations:
            if wheel_type is not None:
                run.choose(WHEEL_TYPE, wheel_type)
                wait_until(lambda: run.state()["selection"][WHEEL_TYPE] == wheel_type,
                           what="wheel type chosen")
            mark = run.mark()
            run.click(WHEEL_UP)
            run.click(WHEEL_DOWN)
            if active:
                run.wait_sent(2, mark)
            else:
                time.sleep(0.5)  # time for a wrong send to show before the input's
            run.inject(0, [program(9), program(5), cc(7, 1)])
            expected = [UP, DOWN, DOWN, UP, cc(7, 1)] if active else [cc(7, 1)]
            self.assertEqual(run.settled_sent(len(expected), mark), expected, f"type {wheel_type}")
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 0])

    def test_focusing_the_wheel_list_before_a_choice_turns_the_wheel_off(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        left, top, right, bottom = run.rects[WHEEL_TYPE]
        run.click(WHEEL_TYPE, left + 10, top + 8)  # into the edit field: focus, no choice
        mark = run.mark()
        run.click(WHEEL_UP)
        run.click(WHEEL_DOWN)
        time.sleep(0.5)
        run.inject(0, [program(1), cc(7, 2)])
        self.assertEqual(run.settled_sent(1, mark), [cc(7, 2)])
        self.assertClosesWithSettings(run, [255, 1, 1, 0, 0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
