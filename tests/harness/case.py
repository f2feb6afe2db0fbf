"""The base of every end-to-end test group: one Xvfb display and wineserver per group, a
screenshot of the screen whenever a test fails, and no driver contract violation, ever."""
import re
import sys
import unittest

from harness.panel import Quorvel
from harness.wine import FAILURES, Display


class PanelTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.display = Display()
        cls.display.start()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.runs = []

    def tearDown(self):
        failed = any(test is self for test, _ in self._outcome.result.failures +
                     self._outcome.result.errors)
        if failed and self.runs:
            path = FAILURES / (re.sub(r"[^A-Za-z0-9_.]", "_", self.id()) + ".png")
            self.runs[-1].screenshot(path)
            print(f"\nscreenshot of the failure: {path}", file=sys.stderr)
        violations = [v for run in self.runs for v in run.violations()]
        for run in self.runs:
            run.cleanup()
        self.assertEqual(violations, [], "driver contract violations")

    def launch(self, settings=None, wine_debug=None, switches=None, **options):
        run = Quorvel(self.display, settings, **options)
        self.runs.append(run)
        return run.start(wine_debug, **(switches or {}))

    def launch_to_panel(self, settings=None, **options):
        run = self.launch(settings, **options)
        run.wait_panel()
        return run

    def assertClosesWithSettings(self, run, expected):
        self.assertEqual(run.close(), 0)
        self.assertEqual(list(run.settings_bytes()), list(expected))
