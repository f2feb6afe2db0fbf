"""Nothing planted beside Quorvel runs inside it: a winmm.dll beside the exe, in its working
folder, or both (a start from the program's own folder), which leaves a mark and ends the process
when it is loaded, while Wine looks for a native winmm in the program's folder first, as Windows
does for a DLL that is not a Known DLL (WINEDLLOVERRIDES=winmm=n,b). Quorvel's ports work through
the system's winmm, the virtual driver, and the planted DLL leaves no mark. Every DLL the process
loads comes from the system folder (Wine's loaddll channel), and Wine reports no error. And a
system without a winmm that loads: the box of a missing device, and nothing lost."""
import re
import shutil
import tempfile
import unittest
from pathlib import Path

from panel_case import PanelTestCase
from harness.controls import INPUT_DEVICE, OUTPUT_DEVICE
from harness.midi import cc, numbered_note
from harness.panel import Quorvel, open_failure
from harness.waiting import wait_until
from harness.wine import BUILD, windows_path

PLANTED = BUILD / "planted" / "winmm.dll"
MARK = "planted-winmm-ran"  # what the planted DLL leaves beside itself when it is loaded
SETTINGS = [0, 1, 1, 0, 0]
# Wine's loaddll channel: 0024:trace:loaddll:build_module Loaded L"C:\\windows\\...dll" at ...: native
LOADED = re.compile(r'Loaded L"([^"]+)" at \S+: (\w+)')


class NothingPlantedRuns(PanelTestCase):
    def test_a_winmm_dll_beside_the_program_or_in_its_working_folder_is_never_loaded(self):
        for where in ("beside the exe", "in the working folder", "both: started in its folder"):
            with self.subTest(where):
                self.kill_earlier_runs()
                program_folder = Path(tempfile.mkdtemp(prefix="quorvel-download-"))
                self.addCleanup(shutil.rmtree, program_folder, ignore_errors=True)
                working = program_folder if where.startswith("both") else None
                program = program_folder / "Quorvel.exe"
                shutil.copyfile(BUILD / "Quorvel.exe", program)
                run = Quorvel(self.display, SETTINGS, folder=working,
                              program=None if where == "in the working folder" else program)
                self.runs.append(run)
                planted = {run.folder} if where != "beside the exe" else set()
                planted |= {program_folder} if where != "in the working folder" else set()
                for folder in planted:
                    shutil.copyfile(PLANTED, folder / "winmm.dll")
                run.start(wine_debug="err+all,+loaddll")
                marks = lambda: [str(folder) for folder in planted if (folder / MARK).exists()]
                wait_until(lambda: marks() or not run.running() or run.state()["panel"],
                           what="the panel, or the planted DLL's mark")
                self.assertEqual(marks(), [], "the planted winmm.dll was loaded there")
                run.wait_panel()
                run.wait_started()
                mark = run.mark()
                words = [numbered_note(i) for i in range(20)] + [cc(98, 120), cc(6, 1)]
                run.inject(0, words)
                self.assertEqual(run.settled_sent(len(words) + 2, mark)[:len(words)], words)
                self.assertTrue(run.running(), "the process ended: a planted DLL ran")
                self.assertClosesWithSettings(run, SETTINGS)
                self.assertEqual(marks(), [], "the planted winmm.dll was loaded there")
                self.assertLoadedFromSystemFolderOnly(run)

    def test_a_system_without_winmm_shows_the_missing_devices_box_and_loses_nothing(self):
        run = self.launch(SETTINGS, no_winmm=True)
        # The output, then the input: each the box of an index without a device.
        for _ in range(2):
            self.assertEqual(run.wait_message_box(), open_failure("MMSYSERR_BADDEVICEID"))
            run.press_box_ok("Error")
        state = run.wait_panel()
        self.assertEqual([state["items"].get(i, []) for i in (INPUT_DEVICE, OUTPUT_DEVICE)],
                         [[], []])
        self.assertEqual(run.events(), [], "the virtual driver was loaded")
        self.assertClosesWithSettings(run, SETTINGS)

    def assertLoadedFromSystemFolderOnly(self, run):
        """Every module the run's processes loaded (Wine's own among them) is the exe or comes
        from the system folder, winmm the native one there; Wine reported no error."""
        log = run.wine_log()
        loaded = [(path.replace("\\\\", "\\").lower(), kind) for line in log
                  for path, kind in LOADED.findall(line)]
        # As the process sees it: a 32-bit process in a 64-bit prefix sees syswow64 there.
        system = "c:\\windows\\system32\\"
        self.assertIn((system + "winmm.dll", "native"), loaded, "winmm not the system folder's")
        elsewhere = [path for path, _ in loaded
                     if not path.startswith(system) and path != windows_path(run.program).lower()]
        self.assertEqual(elsewhere, [], "modules loaded from outside the system folder")
        self.assertEqual([line for line in log if ":err:" in line], [], "Wine reported errors")
        print(f"\n  {len(set(loaded))} modules, all from {system}: "
              f"{' '.join(sorted({path[len(system):] + '/' + kind for path, kind in set(loaded) if path.startswith(system)}))}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
