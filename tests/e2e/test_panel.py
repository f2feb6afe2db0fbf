"""The panel's controls by mouse and keyboard: learn buttons, the wheel type, the device lists."""
import time
import unittest

from panel_case import PanelTestCase
from harness.driver import DELIVERED
from harness.midi import cc, program
from harness.panel import (DRUM, DRUM_MUTES, INPUT_DEVICE, OUTPUT_DEVICE, SYNTH, SYNTH_MUTES,
                           WHEEL_DOWN, WHEEL_TYPE, WHEEL_UP)
from harness.waiting import wait_until

UP, DOWN = cc(47, 65), cc(48, 65)
SETTINGS = [0, 1, 1, 0, 0]
FLOOD = 20_000


class Panel(PanelTestCase):
    def test_every_part_button_sends_its_learn_message(self):
        run = self.launch_to_panel(SETTINGS)
        self.assertEqual([run.state()["controls"][b][1] for b in DRUM],
                         ["1", "2", "3", "4", "5", "6A", "6B", "7A", "7B"])
        mark = run.mark()
        for button in SYNTH + DRUM:
            run.click(button)
        self.assertEqual(run.settled_sent(14, mark),
                         [cc(n, 64) for n in [40, 41, 42, 43, 44] + list(range(50, 59))])

    def test_a_learn_button_and_a_checkbox_say_what_they_do_when_the_mouse_rests_on_them(self):
        run = self.launch_to_panel(SETTINGS)
        for control, text in ((DRUM[5], "Drum part 6A: sends CC 55 = 64 on channel 1"),
                              (SYNTH_MUTES, "Synth part status reports on/off")):
            run.hover(control)
            wait_until(lambda: run.tooltip() == text, what=f"the tooltip {text!r}")

    def test_wheel_buttons_and_translation_follow_the_wheel_type(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        left, top, _, _ = run.rects[WHEEL_TYPE]
        # Focus before any choice reads "no selection": the wheel is off until a choice.
        for wheel_type, active in ((None, True), ("focus", False), (1, False), (2, False),
                                   (0, True)):
            if wheel_type == "focus":
                run.click(WHEEL_TYPE, left + 10, top + 8)
            elif wheel_type is not None:
                run.choose(WHEEL_TYPE, wheel_type)
            mark = run.mark()
            run.click(WHEEL_UP)
            run.click(WHEEL_DOWN)
            if active:
                run.wait_sent(2, mark)
            else:
                time.sleep(0.5)  # time for a wrong send to show before the input's
            run.inject(0, [program(9), program(5), cc(7, 1)])
            expected = [UP, DOWN, DOWN, UP, cc(7, 1)] if active else [cc(7, 1)]
            self.assertEqual(run.settled_sent(len(expected), mark), expected, f"{wheel_type}")
        self.assertClosesWithSettings(run, SETTINGS)

    def test_tab_order_space_on_a_button_and_a_checkbox_and_esc_does_nothing(self):
        run = self.launch_to_panel(SETTINGS)
        state = run.state()
        # Every control but the picture is a tab stop, in the order the panel holds them.
        tab_order = state["tab_order"]
        self.assertEqual(sorted(tab_order), sorted(set(state["controls"]) - {-1}))
        self.assertEqual(state["focus"], tab_order[0])
        forward = []
        for _ in tab_order:
            run.key("Tab")
            forward.append(run.state()["focus"])
        self.assertEqual(forward, tab_order[1:] + tab_order[:1])
        run.key("shift+Tab", "shift+Tab")
        self.assertEqual(run.state()["focus"], tab_order[-2])
        run.key("Tab", "Tab", "Tab", "Tab")
        self.assertEqual(run.state()["focus"], SYNTH[0])
        mark = run.mark()
        run.key("space")
        self.assertEqual(run.settled_sent(1, mark), [cc(40, 64)])
        run.key(*["Tab"] * (tab_order.index(DRUM_MUTES) - tab_order.index(SYNTH[0])))
        self.assertEqual(run.state()["focus"], DRUM_MUTES)
        run.key("space")
        wait_until(lambda: run.state()["check"][DRUM_MUTES] == 0, what="drum box cleared")
        mark = run.mark()
        run.key("Escape", "Return")
        time.sleep(1)  # a panel that closed on Esc would be gone by now
        self.assertTrue(run.running() and run.state()["panel"])
        self.assertEqual((run.sent(since=mark), run.port_events(mark)), ([], []))
        self.assertClosesWithSettings(run, [255, 0, 1, 0, 0])  # the Tabs focused the wheel list

    def test_device_lists_reopen_on_every_choice_but_not_on_typing(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        mark = run.mark()
        for control in (INPUT_DEVICE, OUTPUT_DEVICE):
            left, top, _, _ = run.rects[control]
            run.click(control, left + 10, top + 8)
            run.type_text("abc")
        run.choose(INPUT_DEVICE, 0)
        run.choose(INPUT_DEVICE, 1)
        run.choose(OUTPUT_DEVICE, 0)
        run.choose(OUTPUT_DEVICE, 1)
        wait_until(lambda: run.port_events(mark)[-1:] == [("out-open", 1)], what="output moved")
        self.assertEqual(run.port_events(mark),
                         [("in-stop", 0), ("in-close", 0), ("in-open", 0), ("in-start", 0),
                          ("in-stop", 0), ("in-close", 0), ("in-open", 1), ("in-start", 1),
                          ("out-close", 0), ("out-open", 0), ("out-close", 0), ("out-open", 1)])
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])

    def test_a_busy_device_shows_its_error_while_input_flows_and_the_panel_stays_usable(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        for control, kind in ((OUTPUT_DEVICE, "out"), (INPUT_DEVICE, "in")):
            mark = run.mark()
            run.choose(control, 2)
            self.assertEqual(run.wait_message_box(), ("Error", "Can't open midi Device: 4"))
            if kind == "out":  # input keeps flowing while the box waits for the user
                delivered = len(run.events_of(DELIVERED))
                run.inject(0, [0xF8] * FLOOD)
                wait_until(lambda: len(run.events_of(DELIVERED)) >= delivered + FLOOD,
                           what="input delivered while the box is up")
                self.assertIsNotNone(run.message_box())
            run.press_box_ok("Error")
            self.assertEqual(run.port_events(mark)[-1], (kind + "-fail", 2))
            run.choose(control, 1)
            wait_until(lambda: (kind + "-open", 1) in run.port_events(mark), what="reopened")
        run.wait_started(mark)
        mark = run.mark()
        run.click(DRUM[0])
        run.inject(1, [cc(1, 1)])
        self.assertEqual(sorted(run.settled_sent(2, mark)), sorted([cc(50, 64), cc(1, 1)]))
        self.assertEqual(len(run.sent(device=1, since=mark)), 2)
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
