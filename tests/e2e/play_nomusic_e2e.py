"""The piece played through with "-nm" (no background recordings) to the end
of the final recordings, heard as float samples straight from the game's JACK
ports: the output stage still holds every sample within full scale. (A
small window: only the sound is checked.) Without
it the sound effects are not scaled and the strings, which ring from them,
swell beyond full scale at the final recordings."""
import os
import shutil
import sys
import tempfile
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import playthrough  # noqa: E402

# The final recordings last 17.5 s; they start at the finale's end.
FINAL_RECORDINGS_SECONDS = 17.5


class NoMusicPlayThroughTest(unittest.TestCase):
    def test_every_sample_stays_within_full_scale_to_the_end_of_the_final_recordings(self):
        folder = tempfile.mkdtemp(prefix="lumenfall-e2e-nomusic-")
        home = os.path.join(folder, "home")
        os.makedirs(home)
        driver = playthrough.PlayThrough(os.environ["LUMENFALL_BINARY"], home, os.path.join(folder, "recording.wav"),
                                         log=lambda text: print("  " + text, flush=True), words=("-nm",),
                                         linger=FINAL_RECORDINGS_SECONDS + 1.0, size=(320, 180))
        try:
            run = driver.execute()
        except playthrough.PlayError as e:
            self.fail("the play-through stopped: %s\n%s" % (e, driver.run.output[-3000:]))
        self.addCleanup(shutil.rmtree, folder, True)
        end = run.sample_marks["finale-ended"] + int(FINAL_RECORDINGS_SECONDS * run.rate)
        self.assertGreaterEqual(len(run.samples), end, "the recording ends before the final recordings")
        final, _ = run.audio_window("finale-ended", 0.2, 3.2)
        loudness = float(np.sqrt(np.mean(final.astype(np.float64) ** 2)))
        self.assertGreater(loudness, 0.05, "the final recordings were not heard: rms %.4f" % loudness)
        over = np.abs(run.samples[:end]) > 1.0
        peak = float(np.abs(run.samples[:end]).max())
        where = np.nonzero(over.any(axis=1))[0]
        print("peak %.3f; %d samples beyond full scale" % (peak, int(over.sum())), flush=True)
        self.assertEqual(int(over.sum()), 0, "%d samples beyond full scale, peak %.3f, the first %.1f s after the "
                         "finale's end" % (int(over.sum()), peak,
                                           ((where[0] if len(where) else 0) - run.sample_marks["finale-ended"])
                                           / run.rate))


if __name__ == "__main__":
    unittest.main(verbosity=2)
