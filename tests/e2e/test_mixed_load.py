"""A flood of input while the user switches the output and the input device, clicks learn
buttons and finally closes the panel: every delivered message leaves exactly once and in order,
every learn message leaves, the notes held at each change are released where they sound, and
the program ends cleanly with its file written."""
import unittest

from panel_case import PanelTestCase
from harness.driver import DELIVERED, OUTPUT_OPENED
from harness.midi import cc, numbered_note
from harness.controls import DRUM, INPUT_DEVICE, LEARN, OUTPUT_DEVICE, SYNTH
from harness.xinput import xdotool
FLOOD, REST = 300_000, 20_000  # words while switching outputs; then per later phase
PART_KEYS = {cc(controller, value) for id, (controller, value, _) in LEARN.items()
             if id in SYNTH + DRUM}


class MixedLoad(PanelTestCase):
    def test_flood_while_switching_devices_clicking_learn_buttons_and_closing(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        words = [numbered_note(i) for i in range(FLOOD + 2 * REST)]
        mark = run.mark()
        # Output switches while the flood is being delivered.
        run.focus_list(OUTPUT_DEVICE)
        run.allow("out", run.device_name("out", 1))  # what the arrow keys choose
        already = len(run.events_of(DELIVERED))
        run.inject(0, words[:FLOOD])
        run.focus_panel()
        switches = 0
        while len(run.events_of(DELIVERED)) - already < FLOOD - 100 and switches < 2000:
            xdotool("key", "--delay", 5, *["Down", "Up"] * 10)  # output 1, 0, 1, ... 0
            switches += 20
        # Input switches and learn clicks while more flows.
        clicks, device = 0, 0
        for chunk in range(12):
            run.inject(device, words[FLOOD + chunk * REST // 12:FLOOD + (chunk + 1) * REST // 12])
            run.click((SYNTH + DRUM)[chunk])
            clicks += 1
            if chunk % 4 == 3:
                device, before = 1 - device, run.mark()
                run.choose(INPUT_DEVICE, device)
                run.wait_started(before)
        # And the close while the last words are still arriving.
        run.inject(device, words[FLOOD + REST:])
        self.spoil_settings(run, [0, 1, 1, device, 0])
        self.assertEqual(run.close(60), 0)
        self.assertEqual(list(run.settings_bytes()), [0, 1, 1, device, 0])

        events = run.events()[mark:]
        delivered = [event.word for event in events if event.kind == DELIVERED]
        self.assertTrue(run.sent(since=mark, by="input") == delivered,
                        "messages lost, doubled or reordered")
        own = run.sent(since=mark, by="program")
        self.assertEqual(sum(1 for w in own if w in PART_KEYS), clicks)
        # The rest of the program's own words are releases, which the driver checked.
        self.assertTrue(all(w & 0xF0 == 0x80 for w in own if w not in PART_KEYS))
        self.assertGreater(len(delivered), FLOOD + REST // 2)
        ticks = [event.ticks for event in events if event.kind == DELIVERED]
        opened = [event.ticks for event in events if event.kind == OUTPUT_OPENED]
        self.assertGreaterEqual(sum(1 for t in opened if ticks[0] < t < ticks[FLOOD - 100]), 50)


if __name__ == "__main__":
    unittest.main(verbosity=2)
