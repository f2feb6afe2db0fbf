"""A flood of input while the user keeps switching the output device: no violation, no crash,
no hang, and every message leaves exactly once, in input order."""
import time
import unittest

from e2ecase import PanelTestCase
from harness import DELIVERED, OUTPUT_DEVICE, OUTPUT_OPENED, wait_until

MESSAGES = 100_000
SWITCHES = 60


def numbered_note(index):
    # Note On or Off on any channel: channel, key and velocity spell out the index.
    status = (0x90 if index & 1 else 0x80) | (index >> 15 & 0x0F)
    return status | (index >> 1 & 0x7F) << 8 | (index >> 8 & 0x7F) << 16


class Flood(PanelTestCase):
    def test_flood_while_switching_output_keeps_every_message_in_order(self):
        run = self.launch_to_panel([0, 1, 1, 0, 0])
        run.wait_started()
        words = [numbered_note(i) for i in range(MESSAGES)]
        self.assertEqual(len(set(words)), MESSAGES)
        left, top, _, _ = run.rects[OUTPUT_DEVICE]
        run.click(OUTPUT_DEVICE, left + 10, top + 8)  # focus in the output list
        mark = run.mark()
        chunk = MESSAGES // SWITCHES + 1
        for switch in range(SWITCHES):
            run.inject(0, words[switch * chunk:(switch + 1) * chunk])
            run.key("Down" if switch % 2 == 0 else "Up")  # device 1, then 0, then 1...
        wait_until(lambda: len(run.events_of(DELIVERED)) >= MESSAGES, 120, 0.5,
                   "every message delivered")
        sent = run.settled_sent(MESSAGES, mark, timeout=60)
        self.assertTrue(run.running())
        delivered = [ticks for kind, _, _, _, ticks in run.events()[mark:] if kind == DELIVERED]
        switches_under_load = [ticks for kind, _, _, _, ticks in run.events()[mark:]
                               if kind == OUTPUT_OPENED and delivered[0] < ticks < delivered[-1]]
        self.assertGreaterEqual(len(switches_under_load), 50, "too few switches under load")
        self.assertEqual(len(sent), MESSAGES)
        self.assertTrue(sent == words, "messages lost, doubled or reordered")
        per_device = {device: len(run.sent(device=device, since=mark)) for device in (0, 1)}
        self.assertTrue(all(count > 0 for count in per_device.values()), per_device)
        self.assertEqual(run.close(30), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
