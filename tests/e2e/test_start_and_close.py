"""Starting with and without "Settings", the ports opened at start, and closing the panel."""
import unittest

from panel_case import PanelTestCase
from harness.midi import cc, program
from harness.controls import (DRUM_MUTES, INPUT_DEVICE, OUTPUT_DEVICE, SYNTH_MUTES, WHEEL_DOWN,
                              WHEEL_TYPE, WHEEL_TYPES, WHEEL_UP)
from harness.panel import (BUSY_INPUT, BUSY_OUTPUT, GROOVEBOX, KEYBOARD, MUSIC_APP, SETTINGS_FILE,
                           SETTINGS_TEMPORARY_FILE, SYNTH_OUT, Quorvel, open_failure)
from harness.waiting import wait_until

# No port chosen; the wheel type in force, Up / Down.
FIRST_RUN_SELECTION = {INPUT_DEVICE: -1, OUTPUT_DEVICE: -1, WHEEL_TYPE: 0}


def parts(first, mask, count):
    return [cc(first + k, 0 if mask >> k & 1 else 64) for k in range(count)]


class StartAndClose(PanelTestCase):
    def test_first_run_warns_then_an_empty_panel_translates_once_both_ports_are_picked(self):
        run = self.launch()
        self.assertEqual(run.wait_message_box(), ("warning", "No settings to load"))
        self.assertFalse(run.state()["panel"], "the panel is there before the warning is answered")
        run.press_box_ok("warning")
        state = run.wait_panel()
        self.assertEqual(state["selection"], FIRST_RUN_SELECTION)
        self.assertEqual(state["check"], {SYNTH_MUTES: 1, DRUM_MUTES: 1})
        self.assertEqual([state["items"][i] for i in (INPUT_DEVICE, OUTPUT_DEVICE, WHEEL_TYPE)],
                         [[GROOVEBOX, KEYBOARD, BUSY_INPUT], [MUSIC_APP, SYNTH_OUT, BUSY_OUTPUT],
                          WHEEL_TYPES])
        self.assertEqual(run.port_events(), [])
        run.choose(OUTPUT_DEVICE, 1)
        run.choose(INPUT_DEVICE, 1)
        run.wait_started()
        self.assertEqual(run.port_events(), [("out-open", 1), ("in-open", 1), ("in-start", 1)])
        mark = run.mark()
        run.inject(1, [cc(98, 120), cc(6, 1), cc(38, 5), cc(98, 119), cc(38, 31), program(3)])
        expected = ([cc(98, 120), cc(6, 1)] + parts(57, 1, 2) + [cc(38, 5)] + parts(50, 5, 7) +
                    [cc(98, 119), cc(38, 31)] + parts(40, 31, 5) + [cc(48, 65)])
        self.assertEqual(run.settled_sent(len(expected), mark), expected)
        mark = run.mark()
        run.click(WHEEL_UP)
        run.click(WHEEL_DOWN)
        self.assertEqual(run.settled_sent(2, mark), [cc(47, 65), cc(48, 65)])
        self.assertEqual(run.sent(since=mark, device=1), [cc(47, 65), cc(48, 65)])
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])

    def test_restores_the_file_opens_output_then_input_and_closes_them_in_order(self):
        # Every value other than its default, so that a value left unrestored shows.
        run = self.launch_to_panel([2, 0, 0, 1, 1])
        self.assertIsNone(run.message_box())
        state = run.state()
        self.assertEqual(state["selection"], {INPUT_DEVICE: 1, OUTPUT_DEVICE: 1, WHEEL_TYPE: 2})
        self.assertEqual(state["check"], {SYNTH_MUTES: 0, DRUM_MUTES: 0})
        # The picture covers the whole client area, whatever size the dialog font gives it.
        self.assertEqual(state["controls"][-1][0], (0, 0) + state["client"][2:])
        run.wait_started()
        self.assertEqual(run.port_events(), [("out-open", 1), ("in-open", 1), ("in-start", 1)])
        mark = run.mark()
        run.inject(1, [cc(98, 119), cc(38, 31), program(3)])  # synth off: the report stays armed
        self.assertEqual(run.settled_sent(2, mark), [cc(98, 119), cc(38, 31)])
        # Each box's flag follows that box: the synth box checked, the drum box still clear.
        run.click(SYNTH_MUTES)
        wait_until(lambda: run.state()["check"][SYNTH_MUTES] == 1, what="synth box checked")
        mark = run.mark()
        run.inject(1, [cc(98, 120), cc(38, 31)])
        self.assertEqual(run.settled_sent(7, mark), [cc(98, 120), cc(38, 31)] + parts(40, 31, 5))
        run.choose(WHEEL_TYPE, 0)
        mark = run.mark()
        self.assertClosesWithSettings(run, [0, 0, 1, 1, 1])
        self.assertEqual(run.port_events(mark), [("in-stop", 1), ("in-close", 1), ("out-close", 1)])
        self.assertFalse((run.folder / SETTINGS_TEMPORARY_FILE).exists())

    def test_a_save_cut_short_before_its_rename_is_loaded_and_put_in_place_at_the_next(self):
        # On FAT and exFAT a replace deletes "Settings" before it renames the new file.
        run = Quorvel(self.display, allowed=[("in", KEYBOARD), ("out", SYNTH_OUT)])
        self.runs.append(run)
        (run.folder / SETTINGS_TEMPORARY_FILE).write_bytes(bytes([2, 0, 1, 1, 1]))
        state = run.start().wait_panel()
        self.assertIsNone(run.message_box())
        self.assertEqual(state["selection"], {INPUT_DEVICE: 1, OUTPUT_DEVICE: 1, WHEEL_TYPE: 2})
        run.wait_started()
        self.assertEqual(run.port_events(), [("out-open", 1), ("in-open", 1), ("in-start", 1)])
        self.assertEqual(run.close(), 0)
        self.assertEqual(list(run.settings_bytes()), [2, 0, 1, 1, 1])
        self.assertFalse((run.folder / SETTINGS_TEMPORARY_FILE).exists())

    def test_a_log_off_saves_the_choices_and_closes_the_ports_but_leaves_the_end_to_windows(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        run.choose(WHEEL_TYPE, 1)
        run.click(DRUM_MUTES)
        wait_until(lambda: run.state()["check"][DRUM_MUTES] == 0, what="drum box cleared")
        # A log-off that another program called off leaves everything as it was.
        mark = run.mark()
        self.spoil_settings(run, [1, 0, 1, 0, 0])
        spoiled = run.settings_bytes()
        self.assertEqual(run.log_off(cancelled=True), (True, True))
        self.assertEqual((run.port_events(mark), run.settings_bytes()), ([], spoiled))
        self.assertTrue(run.running())
        self.spoil_settings(run, [1, 0, 1, 0, 0])
        self.assertEqual(run.log_off(), (True, True))
        self.assertEqual(list(run.settings_bytes()), [1, 0, 1, 0, 0])
        self.assertEqual(run.port_events(mark), [("in-stop", 0), ("in-close", 0), ("out-close", 0)])
        self.assertTrue(run.running(), "the panel ended the process itself")

    def test_an_input_index_without_a_device_shows_the_open_error_at_start(self):
        # An empty file leaves -1 everywhere: the output opens the mapper, the input fails.
        for settings, selection, ports, saved in (
                ([], (-1, -1), [("out-open", -1), ("in-fail", -1)], [255, 1, 1, 255, 255]),
                ([0, 1, 1, 7, 0], (-1, 0), [("out-open", 0), ("in-fail", 7)], [0, 1, 1, 7, 0])):
            with self.subTest(settings=settings):
                run = self.launch(settings)
                self.assertEqual(run.wait_message_box(), open_failure("MMSYSERR_BADDEVICEID"))
                run.press_box_ok("Error")
                state = run.wait_panel()
                self.assertEqual(
                    (state["selection"][INPUT_DEVICE], state["selection"][OUTPUT_DEVICE]),
                    selection)
                self.assertEqual(run.port_events(), ports)
                self.assertClosesWithSettings(run, saved)

    def test_an_unwritable_settings_file_warns_then_exits_with_0_leaving_it_as_it_was(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        # Neither a replace nor a write in place can put a file where a folder stands.
        (run.folder / SETTINGS_FILE).unlink()
        (run.folder / SETTINGS_FILE).mkdir()
        (run.folder / SETTINGS_FILE / "kept").write_bytes(bytes([0, 1, 1, 0, 0]))
        run.choose(WHEEL_TYPE, 1)
        run.key("alt+F4")
        self.assertEqual(run.wait_message_box(), ("warning", "Can't Save Settings"))
        self.assertEqual(run.port_events()[-1], ("in-start", 0), "ports closed before the save")
        mark = run.mark()
        run.inject(0, [cc(1, 1)])  # the program still runs, with its ports open, a while later
        self.assertEqual(run.wait_sent(1, mark), [cc(1, 1)])
        self.assertTrue(run.running(), "the process ended before the warning was answered")
        run.press_box_ok("warning")
        self.assertEqual(run.wait_exit(), 0)
        self.assertEqual(list((run.folder / SETTINGS_FILE / "kept").read_bytes()), [0, 1, 1, 0, 0])
        self.assertFalse((run.folder / SETTINGS_TEMPORARY_FILE).exists())


if __name__ == "__main__":
    unittest.main(verbosity=2)
