"""The panel's controls by mouse and keyboard: learn buttons, the wheel type, the device lists,
the lights (by their texts and their painted colours), what each control's tooltip says, and
one panel per folder."""
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from panel_case import PanelTestCase
from harness.driver import DELIVERED, STALL_BEGAN
from harness.midi import cc, numbered_note, program
from harness.controls import (DRUM, DRUM_MUTES, INPUT_DEVICE, IN_LIGHT, LEARN, OUTPUT_DEVICE,
                              OUT_LIGHT, SYNTH, SYNTH_MUTES, TAB_STOPS, WHEEL_DOWN, WHEEL_TYPE,
                              WHEEL_TYPES, WHEEL_UP)
from harness.panel import (GROOVEBOX, KEYBOARD, MUSIC_APP, SYNTH_OUT, Quorvel, names_file,
                           open_failure)
from harness.xinput import panels
from harness.waiting import wait_until
from harness.wine import map_drive, run_program, windows_path

UP, DOWN = (cc(*LEARN[button][:2]) for button in (WHEEL_UP, WHEEL_DOWN))
SETTINGS = [0, 1, 1, 0, 0]
FLOOD = 20_000
WHEEL_CONDITION = f" while the wheel type is {WHEEL_TYPES[0]}"
# What the mouse resting on each control shows; a list's edit field and its arrow alike.
TIPS = {
    **{button: f"{name}: sends CC {controller} = {value} on channel 1"
              f"{WHEEL_CONDITION if button in (WHEEL_UP, WHEEL_DOWN) else ''}"
       for button, (controller, value, name) in LEARN.items()},
    INPUT_DEVICE: "MIDI input: the port the groovebox plays into",
    OUTPUT_DEVICE: "MIDI output: the port the music application listens to",
    WHEEL_TYPE: f"Wheel type: {WHEEL_TYPES[0]} turns patch-wheel turns into wheel up and down; "
                "the other two switch that off",
    DRUM_MUTES: "Drum part status reports on/off",
    SYNTH_MUTES: "Synth part status reports on/off",
    IN_LIGHT: "MIDI in: lit while the input port delivers MIDI",
    OUT_LIGHT: "MIDI out: lit while Quorvel sends MIDI to the output port",
}


class Panel(PanelTestCase):
    def test_every_part_button_sends_its_learn_message(self):
        run = self.launch_to_panel(SETTINGS)
        self.assertEqual([run.state()["controls"][b][1] for b in DRUM],
                         ["1", "2", "3", "4", "5", "6A", "6B", "7A", "7B"])
        mark = run.mark()
        for button in SYNTH + DRUM:
            run.click(button)
        self.assertEqual(run.settled_sent(14, mark),
                         [cc(*LEARN[button][:2]) for button in SYNTH + DRUM])

    def test_every_control_says_what_it_does_when_the_mouse_rests_on_it(self):
        run = self.launch_to_panel(SETTINGS)
        self.assertEqual(set(TIPS), set(run.rects) - {-1}, "a control without its tooltip text")
        for control, text in TIPS.items():
            left, top, right, bottom = run.rects[control]
            # A list's edit field takes the mouse over most of it; its arrow is the list's own.
            places = [None, (right - 6, top + 8)] if control in (INPUT_DEVICE, OUTPUT_DEVICE,
                                                                 WHEEL_TYPE) else [None]
            for place in places:
                with self.subTest(control=control, place=place):
                    run.hover(control, place)
                    wait_until(lambda: run.tooltip() == text, what=f"the tooltip {text!r}")

    def test_wheel_buttons_and_translation_follow_the_wheel_type(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        for wheel_type, active in ((None, True), (1, False), (2, False), (0, True)):
            if wheel_type is not None:
                run.choose(WHEEL_TYPE, wheel_type)
            mark = run.mark()
            run.click(WHEEL_UP)
            run.click(WHEEL_DOWN)
            run.click(DRUM[0])  # sends in any case, after whatever the wheel buttons send
            drum_1 = cc(*LEARN[DRUM[0]][:2])
            run.wait_sent(3 if active else 1, mark)
            run.inject(0, [program(9), program(5), cc(7, 1)])
            expected = [UP, DOWN, drum_1, DOWN, UP, cc(7, 1)] if active else [drum_1, cc(7, 1)]
            self.assertEqual(run.settled_sent(len(expected), mark), expected, f"{wheel_type}")
        self.assertClosesWithSettings(run, SETTINGS)

    def assertWheelTypeInForce(self, run, wheel_type):
        """The wheel list shows `wheel_type`, and the wheel buttons send by it."""
        state = run.state()
        self.assertEqual((state["selection"][WHEEL_TYPE], state["edit"][WHEEL_TYPE]),
                         (wheel_type, WHEEL_TYPES[wheel_type]), "the type shown")
        mark = run.mark()
        # The drum key first, which sends in any case: "up" lies under the list's tooltip.
        run.click(DRUM[0])
        run.click(WHEEL_UP)
        drum_1 = cc(*LEARN[DRUM[0]][:2])
        expected = [drum_1, UP] if wheel_type == 0 else [drum_1]
        self.assertEqual(run.settled_sent(len(expected), mark), expected, "the type in force")

    def test_arrows_through_the_dropped_wheel_list_choose_with_return_and_not_with_esc(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        for closing, wheel_type in (("Escape", 0), ("Return", 1)):
            with self.subTest(closing):
                # Past "Endless Encoder" to "Control Change".
                self.keys_on(run, WHEEL_TYPE, "alt+Down", "Down", "Down", "Up", closing)
                self.assertWheelTypeInForce(run, wheel_type)
        self.assertClosesWithSettings(run, [1] + SETTINGS[1:])

    def test_an_entry_typed_into_the_wheel_list_goes_when_tab_leaves_it(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        run.focus_list(WHEEL_TYPE)
        run.key("End", "shift+Home")
        run.type_text(WHEEL_TYPES[2])
        wait_until(lambda: run.state()["edit"][WHEEL_TYPE] == WHEEL_TYPES[2], what="the typing")
        run.key("Tab")
        wait_until(lambda: run.state()["focus"] != WHEEL_TYPE, what="the focus gone on")
        self.assertWheelTypeInForce(run, 0)
        self.assertClosesWithSettings(run, SETTINGS)

    def test_tab_order_space_on_a_button_and_a_checkbox_and_esc_does_nothing(self):
        run = self.launch_to_panel(SETTINGS)
        state = run.state()
        # Every control but the picture is a tab stop, in the order the panel holds them.
        tab_order = state["tab_order"]
        self.assertEqual(sorted(tab_order), sorted(TAB_STOPS))
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
        run.key("Escape", "Return", "Tab", "space")  # then "up", the next stop, after them
        self.assertEqual(run.settled_sent(1, mark), [UP], "Esc or Return did something")
        self.assertTrue(run.running() and run.state()["panel"])
        self.assertEqual(run.port_events(mark), [])
        self.assertEqual(run.state()["selection"][WHEEL_TYPE], 0)  # the Tabs passed it
        self.assertClosesWithSettings(run, [0, 0, 1, 0, 0])

    def test_a_device_list_opens_a_device_only_when_one_is_chosen(self):
        """One table, one run: keys on a list, or a click on its entry, the port events they
        make, and what the lists show after them (input, output)."""
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        run.allow("in", KEYBOARD)
        run.allow("out", SYNTH_OUT)
        for what, control, gesture, events, shown in (
                ("typing into the input list", INPUT_DEVICE, ("a", "b", "c"), [], None),
                ("typing into the output list", OUTPUT_DEVICE, ("a", "b", "c"), [], None),
                ("output list dropped down, Down, Down, Esc", OUTPUT_DEVICE,
                 ("alt+Down", "Down", "Down", "Escape"), [], (GROOVEBOX, MUSIC_APP)),
                ("the output in use clicked", OUTPUT_DEVICE, 0, [], (GROOVEBOX, MUSIC_APP)),
                ("output list dropped down, Down, Return", OUTPUT_DEVICE,
                 ("alt+Down", "Down", "Return"), [("out-open", 1), ("out-close", 0)],
                 (GROOVEBOX, SYNTH_OUT)),
                ("closed input list focused, Down", INPUT_DEVICE, ("Down",),
                 [("in-stop", 0), ("in-close", 0), ("in-open", 1), ("in-start", 1)],
                 (KEYBOARD, SYNTH_OUT)),
                ("an input entry clicked", INPUT_DEVICE, 0,
                 [("in-stop", 1), ("in-close", 1), ("in-open", 0), ("in-start", 0)],
                 (GROOVEBOX, SYNTH_OUT))):
            with self.subTest(what):
                mark = run.mark()
                if isinstance(gesture, int):
                    run.choose(control, gesture)
                else:
                    self.keys_on(run, control, *gesture)
                self.assertSettled(run)
                self.assertEqual(run.port_events(mark), events)
                if shown:
                    wait_until(lambda: (lambda e: (e[INPUT_DEVICE], e[OUTPUT_DEVICE]))(
                        run.state()["edit"]) == shown, what=f"the lists showing {shown}")
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 1])

    @staticmethod
    def keys_on(run, control, *keys):
        """Keys on a list that has the focus; the last closes it where the first dropped it."""
        run.focus_list(control)
        run.key(*keys)
        wait_until(lambda: (lambda s: s["dropdown"] is None and not s["capture"])(
            run.drop_down_state()), what="the list closed")

    @staticmethod
    def assertSettled(run):
        """The panel has handled all the input given before: a click given after it is through."""
        mark = run.mark()
        run.click(DRUM[0])
        run.wait_sent(1, mark)

    def test_the_mouse_wheel_over_a_closed_list_changes_nothing(self):
        # Over each list's edit field and its arrow, the pointer there and the focus elsewhere.
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        mark = run.mark()
        for control, notches in ((INPUT_DEVICE, (3, -3)), (OUTPUT_DEVICE, (3, -3)),
                                 (WHEEL_TYPE, (3,))):
            for place in ("field", "arrow"):
                for notch in notches:
                    run.wheel(control, notch, place)
        self.assertWheelTypeInForce(run, 0)
        self.assertEqual(run.port_events(mark), [])
        self.assertClosesWithSettings(run, SETTINGS)

    def test_a_busy_device_shows_its_error_while_input_flows_and_the_panel_stays_usable(self):
        run = self.launch_to_panel(SETTINGS)
        run.wait_started()
        for control, kind in ((OUTPUT_DEVICE, "out"), (INPUT_DEVICE, "in")):
            mark = run.mark()
            run.choose(control, 2)
            self.assertEqual(run.wait_message_box(), open_failure("MMSYSERR_ALLOCATED"))
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
            self.assertIsNone(run.message_box(), "the failure shown twice for one choice")
        run.wait_started(mark)
        mark = run.mark()
        run.click(DRUM[0])
        run.inject(1, [cc(1, 1)])
        self.assertEqual(sorted(run.settled_sent(2, mark)), sorted([cc(50, 64), cc(1, 1)]))
        self.assertEqual(len(run.sent(device=1, since=mark)), 2)
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 1])


    def test_the_panel_shows_what_is_in_force_from_the_start(self):
        # Without a file the defaults: the wheel Up / Down, both translations on.
        for settings, wheel_list, boxes in ((None, 0, (1, 1)), ([1, 0, 1, 0, 0], 1, (1, 0)),
                                            ([255, 1, 0, 0, 0], -1, (0, 1))):
            with self.subTest(settings=settings):
                self.kill_earlier_runs()
                run = self.launch(settings)
                if settings is None:
                    run.press_box_ok("warning")
                state = run.wait_panel()
                self.assertEqual((state["selection"][WHEEL_TYPE], (state["check"][SYNTH_MUTES],
                                                                   state["check"][DRUM_MUTES])),
                                 (wheel_list, boxes))

    def test_the_lights_show_what_comes_in_and_what_goes_out_and_go_dark(self):
        # Waiting for its named output, Quorvel has none open: nothing goes out.
        waiting = names_file(output=("Absent Synth", 1, 0))
        notes = [numbered_note(i) for i in range(FLOOD)]
        bends = [0xE0 | i % 128 << 8 for i in range(FLOOD)]
        # A note among every hundred pitch bends, the last of the stream a pitch bend.
        mixed = [numbered_note(i) if i % 100 == 50 else bends[i] for i in range(FLOOD)]
        for what, names, words, click, lit in (
                ("notes", None, notes, None, (True, True)),
                ("pitch bends, which are dropped", None, bends, None, (True, False)),
                ("notes among pitch bends", None, mixed, None, (True, True)),
                ("a learn button", None, [], DRUM[0], (False, True)),
                ("notes, no output open", waiting, notes, None, (True, False)),
                ("a learn button, no output open", waiting, [], DRUM[0], (False, False))):
            with self.subTest(what):
                self.kill_earlier_runs()
                run = self.launch_to_panel(SETTINGS, port_names=names,
                                           allowed=[("in", GROOVEBOX)] if names else None)
                run.wait_started()
                mark = run.mark()
                play = (lambda: run.click(click)) if click else lambda: run.inject(0, words)
                watched = run.watch_lights(play)
                self.assertEqual((watched["lights"][:2], watched["painted"][:2]), (lit, lit))
                wait_until(lambda: len(self.delivered(run, mark)) >= len(words),
                           what="every word delivered")
                # Dark again well within a second of the last word, text and paint alike.
                after = run.watch_lights(lambda: None, 1000)
                self.assertEqual((after["lights"][2:], after["painted"][2:]),
                                 ((False, False), (False, False)))

    def test_one_quorvel_per_folder_whatever_the_path_and_whatever_the_first_run_is_doing(self):
        """One table: how the first run was started or what it is doing, how the second start
        reaches the folder, and whether the second start must find the first (and bring its
        panel to the front) or run a bridge of its own."""
        for case, check in (
                ("a second start in the folder", self.second_start_in_the_folder),
                ("the first run's mutex denies the second, as an elevated run's does",
                 self.second_start_denied_the_mutex),
                ("the folder through a second drive letter", self.second_start_by_another_drive),
                ("another folder", self.start_in_another_folder),
                ("two folders whose names differ only in Cyrillic letters",
                 self.starts_in_folders_named_alike_in_ansi),
                ("the first panel minimised", self.second_start_restores_the_minimised_panel),
                ("the first run closing", self.second_start_waits_for_the_close)):
            with self.subTest(case):
                self.kill_earlier_runs()
                check()

    def kill_earlier_runs(self):
        """One panel on the screen, even after a failed case: second starts that stayed too."""
        super().kill_earlier_runs()
        for process in getattr(self, "second_starts", []):
            if process.poll() is None:
                process.kill()
                process.wait(10)
        self.second_starts = []

    def second_start(self, run):
        """A second double click in the run's folder; returns its process, ended with the
        case."""
        process = run.start_again()
        self.second_starts.append(process)
        self.addCleanup(self.kill_earlier_runs)
        return process

    def second_start_ends(self, run):
        """A second start in the run's folder: its exit code, or None while it still runs."""
        try:
            return self.second_start(run).wait(30)
        except subprocess.TimeoutExpired:
            return None

    def assertFirstShownAndAlone(self, run, mark, settings):
        """One bridge: the first run's panel, in front, its ports untouched, its file as it
        was."""
        self.assertEqual((len(panels()), run.port_events(mark)), (1, []))
        self.assertTrue(run.running())
        self.assertEqual(run.settings_bytes(), settings)
        wait_until(lambda: run.panel_windows().get(run.windows_pid()) ==
                   {"iconic": False, "foreground": True}, what="the first panel in front")

    def first_run(self, **options):
        run = self.launch_to_panel(SETTINGS, **options)
        run.wait_started()
        self.spoil_settings(run, SETTINGS)
        return run, run.mark(), run.settings_bytes()

    def second_start_in_the_folder(self):
        run, mark, settings = self.first_run()
        self.assertEqual(self.second_start_ends(run), 0, "the second start still runs")
        self.assertFirstShownAndAlone(run, mark, settings)

    def second_start_denied_the_mutex(self):
        run, mark, settings = self.first_run()
        code, output = run_program("folder_helper.exe", "deny", cwd=run.folder,
                                   environment=run.environment)
        self.assertEqual((code, output.split()[0]), (0, "denied"), output)
        self.assertEqual(self.second_start_ends(run), 0, "the second start still runs")
        self.assertFirstShownAndAlone(run, mark, settings)

    def second_start_by_another_drive(self):
        folder = Path(tempfile.mkdtemp(prefix="quorvel-e2e-"))
        drive, unmap = map_drive(folder)
        self.addCleanup(unmap)
        # Started from the Unix folder, the first run is in the drive's root; the second is
        # started in the same folder under its Z: name.
        self.assertEqual(self.where(folder)["wide"], drive + "\\")
        run, mark, settings = self.first_run(folder=folder)
        _, output = run_program("folder_helper.exe", "run", windows_path(folder),
                                windows_path(run.program), environment=run.environment)
        self.assertEqual(output.split(), ["exit", "0"])
        self.assertFirstShownAndAlone(run, mark, settings)

    def start_in_another_folder(self, folders=(None, None)):
        runs = [self.launch_to_panel(SETTINGS, folder=folder) for folder in folders[:1]]
        runs[0].wait_started()
        runs.append(self.launch(SETTINGS, folder=folders[1]))
        wait_until(lambda: len(panels()) == 2, what="a second panel")
        runs[1].wait_started()
        self.assertEqual([run.running() for run in runs], [True, True])

    def starts_in_folders_named_alike_in_ansi(self):
        parent = Path(tempfile.mkdtemp(prefix="quorvel-e2e-"))
        self.addCleanup(shutil.rmtree, parent, ignore_errors=True)
        folders = [parent / "MIDI" / name for name in ("Клуб", "Урок")]
        for folder in folders:
            folder.mkdir(parents=True)
        # What the ANSI functions read: one name for both, on a Western system.
        spelled = [self.where(folder) for folder in folders]
        self.assertEqual(spelled[0]["ansi"], spelled[1]["ansi"])
        self.assertNotEqual(spelled[0]["wide"], spelled[1]["wide"])
        self.start_in_another_folder(folders)

    def second_start_restores_the_minimised_panel(self):
        run, mark, settings = self.first_run()
        run.key("alt+space", "n")  # the system menu's Minimize
        first = run.windows_pid()
        wait_until(lambda: run.panel_windows().get(first, {}).get("iconic"),
                   what="the first panel minimised")
        # Another folder's panel, in front of it.
        other = self.launch(SETTINGS)
        wait_until(lambda: len(run.panel_windows()) == 2, what="a second panel")
        wait_until(lambda: run.panel_windows()[other.windows_pid()]["foreground"],
                   what="the other panel in front")
        mark = run.mark()
        self.assertEqual(self.second_start_ends(run), 0, "the second start still runs")
        wait_until(lambda: run.panel_windows().get(first) == {"iconic": False,
                                                              "foreground": True},
                   what="the first panel restored and in front")
        self.assertEqual((len(panels()), run.port_events(mark), other.running()), (2, [], True))

    def second_start_waits_for_the_close(self):
        run, mark, _ = self.first_run()
        # The first run's close takes a while: its output's close stalls.
        run.fault("stall out 0 close 1500")
        run.key("alt+F4")
        wait_until(lambda: run.events_of(STALL_BEGAN), what="the first run's close under way")
        second = self.second_start(run)
        self.assertEqual(run.wait_exit(), 0)
        self.assertEqual(run.port_events(mark)[:3], [("in-stop", 0), ("in-close", 0),
                                                     ("out-close", 0)])
        # The second start ran once the first had gone, and opened the ports.
        self.assertIsNone(second.poll(), "the second start ended with the first")
        run.process = second
        wait_until(lambda: run.port_events(mark)[3:] == [("out-open", 0), ("in-open", 0),
                                                          ("in-start", 0)],
                   what="the second run's ports open")
        run.wait_panel()
        self.assertClosesWithSettings(run, SETTINGS)

    def where(self, folder):
        """The folder as a program started there reads it: {"ansi": ..., "wide": ...}."""
        _, output = run_program("folder_helper.exe", "where", cwd=folder,
                                environment=self.display.environment)
        return dict(line.split(" ", 1) for line in output.splitlines() if " " in line)

    def test_long_names_show_their_start_and_drop_down_whole(self):
        longest = "Groovebox Deluxe MK2 MIDI Out 1"  # 31 characters, as long as winmm gives
        run = self.launch_to_panel(SETTINGS, inputs=[longest, "Short"])
        state = run.state()
        self.assertEqual(state["edit"][INPUT_DEVICE], longest)
        self.assertGreaterEqual(state["edit_start"][INPUT_DEVICE], 0, "the name's start hidden")
        dropped, width = state["dropped_width"][INPUT_DEVICE]
        self.assertGreater(dropped, width, "the dropped-down list as narrow as the field")


if __name__ == "__main__":
    unittest.main(verbosity=2)
