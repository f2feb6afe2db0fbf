"""A whole session of the real program under Wine's fixme channel: every call it makes must be
implemented, not a stub, unless ALLOWED names it with the reason it is harmless here. Once with
the virtual driver, and once with Wine's own winmm, which has no devices here, so that its own
MIDI calls at start and close are read too."""
import re
import unittest

from panel_case import PanelTestCase
from harness.midi import cc
from harness.controls import DRUM, INPUT_DEVICE, OUTPUT_DEVICE
from harness.panel import open_failure
from harness.waiting import wait_until

# Reviewed stubs: (pattern matched against the fixme line, why the program does not rest on it).
ALLOWED = [
    (r"^[0-9a-f]+:fixme:imm:(ImeSetActiveContext|ImmReleaseContext) ",
     "input method calls that user32 makes on its own when a window gets the focus; the panel "
     "takes no text input that needs an input method"),
    (r"^[0-9a-f]+:fixme:event:wait_for_withdrawn_state window \S+ wait timed out",
     "Wine's X11 driver waiting for the X server to take a closed box's window off the screen; "
     "Xvfb runs no window manager; no call of the program's"),
]


def unexpected_stubs(lines):
    """Every fixme line not reviewed: a stub says so in many words ("stub", "semi-stub", "not
    implemented", "unsupported"), so all of them are read."""
    return sorted({line[:120] for line in lines if ":fixme:" in line and
                   not any(re.search(pattern, line) for pattern, _ in ALLOWED)})


class NoStubs(PanelTestCase):
    def test_a_whole_session_calls_no_stub(self):
        run = self.launch([0, 1, 1, 0, 0], wine_debug="fixme+all")
        run.wait_panel()
        run.wait_started()
        mark = run.mark()
        run.inject(0, [cc(99, 0), cc(98, 120), cc(6, 1), cc(38, 5), 0xF8])
        run.click(DRUM[5])
        run.settled_sent(14, mark)
        for control, index in ((OUTPUT_DEVICE, 1), (INPUT_DEVICE, 1), (OUTPUT_DEVICE, 2)):
            run.choose(control, index)
        self.assertEqual(run.wait_message_box(), open_failure("MMSYSERR_ALLOCATED"))
        run.press_box_ok("Error")
        run.choose(OUTPUT_DEVICE, 0)
        wait_until(lambda: ("out-open", 0) in run.port_events(mark), what="the output reopened")
        self.assertClosesWithSettings(run, [0, 1, 1, 1, 0])
        self.assertEqual(unexpected_stubs(run.wine_log()), [], "stubs under the program")

    def test_start_and_close_on_wines_own_winmm_call_no_stub(self):
        run = self.launch([0, 1, 1, 0, 0], wine_debug="fixme+all", wines_own_winmm=True)
        # No device at the stored positions: a box for the output, then one for the input.
        for _ in range(2):
            self.assertEqual(run.wait_message_box()[0], "Error")
            run.press_box_ok("Error")
        run.wait_panel()
        self.assertClosesWithSettings(run, [0, 1, 1, 0, 0])
        self.assertEqual(unexpected_stubs(run.wine_log()), [], "stubs under the program")


if __name__ == "__main__":
    unittest.main(verbosity=2)
