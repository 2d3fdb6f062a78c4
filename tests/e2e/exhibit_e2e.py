"""The piece in exhibition mode ("-ex"), with the waits shortened: played to
the finale by the play-through driver, it goes back to the note screen once
the final recordings have ended and the scene has held; the next play state
starts as the first did and is played to the finale too. A play state left
alone goes back after the idle wait. Escape tapped does not quit; held for
3 s it quits with status 0. (A small window: the pictures are not judged.)"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import playthrough  # noqa: E402

HOLD, IDLE = 3.0, 60.0
# The longer final recording lasts 17.5 s; the hold starts at its end.
FINAL_RECORDINGS_SECONDS = 17.5
RETURN = re.compile(r"Exhibition: cycle (\d+) ends \((after the finale|idle)\); back to the note screen")
FIRST_SWAPS = re.compile(r"GamePlay: first swaps of the grid on frames (\d+) to (\d+), levels ([\d.]+ [\d.]+ [\d.]+)")


def redness(rgb):
    """Mean red minus mean blue: the finale's sky is red, the note screen grey."""
    return float(rgb[:, :, 0].mean()) - float(rgb[:, :, 2].mean())


class ExhibitionRun(playthrough.PlayThrough):
    """The driver's play-through, where its last step, Escape, would quit the
    game: in exhibition mode the run goes on from there."""

    def quit(self):
        self.checks = {}
        for cycle in (1, 2):
            self.back_to_the_note_screen(cycle)
            self.into_play()
            self.checks["first-swaps-%d" % (cycle + 1)] = self.first_swaps()
            self.checks["frame100-%d" % (cycle + 1)] = playthrough.progress_lines(self.game)[-1]
            if cycle == 1:
                self.play()
        self.checks["idle"] = self.wait_line(RETURN, "the idle return", IDLE + 60)
        self.escape()

    def back_to_the_note_screen(self, cycle):
        index, t, m = self.wait_line(RETURN, "the return after finale %d" % cycle, FINAL_RECORDINGS_SECONDS + 60)
        self.checks["return-%d" % cycle] = (m.group(1), m.group(2), t - self.run.marks["finale-ended"])
        self.since = index + 1
        time.sleep(1.0)
        self.shot("note-again-%d" % cycle)
        self.checks["first-swaps-1"] = self.checks.get("first-swaps-1") or self.first_swaps(0)

    def first_swaps(self, start=None):
        _, _, m = self.wait_line(FIRST_SWAPS, "a play state's first frame", 60, start)
        return m.group(1), m.group(2), m.group(3)

    def escape(self):
        # Back on the note screen, where Escape leads on like any key; then
        # tapped in play, where it no longer quits.
        self.since = len(self.game.lines)
        subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=20)
        self.wait_line(playthrough.GAMEPLAY_CREATED, "play after Escape on the note screen", 60)
        time.sleep(1.0)
        subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=20)
        time.sleep(4.0)
        self.checks["alive-after-tap"] = self.game.proc.poll() is None
        playthrough.PlayThrough.quit(self, "keydown")
        subprocess.run(["xdotool", "keyup", "Escape"], check=False, timeout=20)


class ExhibitionTest(unittest.TestCase):
    def test_two_finales_an_idle_return_and_escape_held_to_quit(self):
        folder = tempfile.mkdtemp(prefix="lumenfall-e2e-exhibit-")
        self.addCleanup(shutil.rmtree, folder, True)
        home = os.path.join(folder, "home")
        os.makedirs(home)
        driver = ExhibitionRun(os.environ["LUMENFALL_BINARY"], home, None,
                               log=lambda text: print("  " + text, flush=True), words=("-ex",),
                               env=dict(os.environ, LUMENFALL_EXHIBIT_SECONDS="%g,%g" % (HOLD, IDLE)),
                               deadline=840.0, linger=0.0, size=(320, 180), record=False)
        try:
            run = driver.execute()
        except playthrough.PlayError as e:
            self.fail("the exhibition run stopped: %s\n%s" % (e, driver.run.output[-3000:]))
        checks = driver.checks
        # Each finale hands back once the final recordings and the hold are over.
        for cycle in (1, 2):
            number, cause, after = checks["return-%d" % cycle]
            self.assertEqual((number, cause), (str(cycle), "after the finale"))
            self.assertGreaterEqual(after, FINAL_RECORDINGS_SECONDS + HOLD - 0.5, "cycle %d came back early" % cycle)
            self.assertLess(after, FINAL_RECORDINGS_SECONDS + HOLD + 20.0, "cycle %d came back late" % cycle)
            note, finale = run.shots["note-again-%d" % cycle][1], run.shots["finale-end"][1]
            self.assertLess(abs(redness(note) - redness(run.shots["note"][1])), 10.0)
            self.assertGreater(redness(finale) - redness(note), 30.0)
        # Every later play state starts as the first one did.
        self.assertEqual(checks["first-swaps-1"], ("2", "97", "0.000 0.000 0.000"))
        for cycle in (2, 3):
            self.assertEqual(checks["first-swaps-%d" % cycle], checks["first-swaps-1"])
            levels, finale = checks["frame100-%d" % cycle][3], checks["frame100-%d" % cycle][4]
            self.assertEqual((levels, finale), ([0.0, 0.0, 0.0], 0.0))
        _, t, m = checks["idle"]
        self.assertEqual((m.group(1), m.group(2)), ("3", "idle"))
        self.assertTrue(checks["alive-after-tap"], "a tap on Escape quit the game")
        self.assertEqual(run.status, 0, run.output[-3000:])
        self.assertGreaterEqual(run.exit_seconds, 2.9)
        self.assertLess(run.exit_seconds, 10.0)
        self.assertIn("Exhibition: Escape held for 3 s; quitting.", run.output)
        print("returns %.1f s and %.1f s after the finales' ends; quit %.1f s after Escape went down"
              % (checks["return-1"][2], checks["return-2"][2], run.exit_seconds), flush=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
