"""Bad and unusual recordings in "sounds" and a missing "otherSounds", played
by the real game through the harness's JACK server: the game plays on, names
every file it skipped, and its streaming thread stays nearly idle."""
import os
import random
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402

MAKE_RECORDINGS = os.path.join(os.environ["LUMENFALL_BUILD_DIR"], "tests", "make_recordings")
SOUNDS = os.path.join(gamerun.REPO_DATA, "sounds")
# Usable, if unusual: one channel, two, other rates, two chained streams.
PLAYABLE = ["mono.ogg", "stereo.ogg", "rate22050.ogg", "rate48000.ogg", "chained.ogg"]
# Recordings on which the system's decoder divides by zero.
DAMAGED = os.path.join(os.path.dirname(__file__), "..", "fuzz", "findings")


def write_bad_recordings(folder):
    """Files no decoder can play, each named for what is wrong with it, and
    the path of each with the line the game must print when it skips it."""
    real = os.path.join(SOUNDS, sorted(os.listdir(SOUNDS))[0])
    with open(real, "rb") as f:
        data = f.read()
    rng = random.Random(8)
    files = {
        "zero.ogg": b"",
        # Cut inside the first header page: the stream cannot be opened.
        "cut-in-header.ogg": data[:40],
        "random.ogg": bytes(rng.getrandbits(8) for _ in range(20000)),
    }
    for name, content in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
    subprocess.run([MAKE_RECORDINGS, folder], check=True)
    for name in PLAYABLE:
        os.unlink(os.path.join(folder, name))
    expected = {os.path.join(folder, name): "vorbisfile: Could not open file: " + os.path.join(folder, name)
                for name in files}
    path = os.path.join(folder, "noaudio.ogg")
    expected[path] = "vorbisfile: " + path + " holds no audio, so ignoring."
    return expected


class RecordingTests(unittest.TestCase):
    def play(self, folder, seconds):
        """Starts the game on the folder's data with sound through JACK, goes
        to the play state and lets it play; returns the running game."""
        game = gamerun.Game(folder.binary, "-w", "320", "-h", "180", "-win", "-aa", "JACK")
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        self.assertTrue(game.wait_for_output("Application: Audio started.", 20), game.report())
        game.press_key("a")
        self.assertTrue(game.wait_for_output("GamePlay created", 20), game.report())
        time.sleep(seconds)
        return game

    def wait_for_lines(self, game, wanted, seconds):
        """Waits until the game has printed every wanted line, each a whole
        line of its output, and returns the set of its output lines."""
        game.wait_for_output(wanted, seconds)
        lines = set(game.output().splitlines())
        for line in wanted:
            self.assertIn(line, lines, game.report())
        return lines

    def streaming_cpu(self, game, seconds):
        """Share of one core the streaming thread used over the given time."""
        before = {k: v for k, v in game.thread_cpu().items() if k[1] == "lf-streaming"}
        self.assertEqual(len(before), 1, "no single streaming thread: %s" % sorted(game.thread_cpu()))
        time.sleep(seconds)
        after = game.thread_cpu()
        key = next(iter(before))
        self.assertIn(key, after, "the streaming thread ended")
        return (after[key] - before[key]) / seconds

    def quit(self, game):
        self.assertTrue(game.keeps_drawing(), "the window stopped changing\n" + game.report())
        game.close_window()
        status = game.wait(timeout=15)
        self.assertEqual(status, 0, game.report())
        self.assertNotIn("failed assertion", game.errors())

    def test_bad_good_and_unusual_recordings_play_on_and_bad_ones_are_named(self):
        folder = gamerun.GameFolder(replace=["sounds"], remove=["otherSounds"])
        self.addCleanup(folder.cleanup)
        sounds = folder.folder("sounds")
        expected = write_bad_recordings(sounds)
        subprocess.run([MAKE_RECORDINGS, sounds], check=True)
        # A truncated real recording: it opens and plays up to the cut.
        real = sorted(os.listdir(SOUNDS))[1]
        with open(os.path.join(SOUNDS, real), "rb") as f:
            data = f.read()
        with open(os.path.join(sounds, "cut-mid-page.ogg"), "wb") as f:
            f.write(data[:len(data) // 2 + 7])

        game = self.play(folder, 1)
        # Without "otherSounds" the effects are missing, and said to be.
        for name in ("finalSpeech.ogg", "finalSpeech-forward.ogg"):
            path = os.path.join(folder.data, "otherSounds", name)
            self.assertIn("vorbisfile: fopen could not open file: " + path, game.output())
        # The slots pick files at random: wait until every file has been
        # picked, the bad ones named as skipped, the others played.
        playable = PLAYABLE + ["cut-mid-page.ogg"]
        wanted = list(expected.values()) + ["vorbisfile: Loaded file: " + os.path.join(sounds, name)
                                            for name in playable]
        lines = self.wait_for_lines(game, wanted, 60)
        for name in playable:
            path = os.path.join(sounds, name)
            self.assertNotIn("vorbisfile: Could not open file: " + path, lines)
            self.assertNotIn("vorbisfile: " + path + " holds no audio, so ignoring.", lines)
        self.assertLess(self.streaming_cpu(game, 3.0), 0.25, game.report())
        self.quit(game)

    def test_recordings_the_decoder_faults_on_are_dropped_and_the_game_plays_on(self):
        folder = gamerun.GameFolder(replace=["sounds", "otherSounds"])
        self.addCleanup(folder.cleanup)
        sounds = folder.folder("sounds")
        other = folder.folder("otherSounds")
        damaged_stream = os.path.join(sounds, "damaged.ogg")
        shutil.copy(os.path.join(DAMAGED, "libvorbis-fpe-streaming.ogg"), damaged_stream)
        good = sorted(os.listdir(SOUNDS))[0]
        shutil.copy(os.path.join(SOUNDS, good), os.path.join(sounds, good))
        damaged_effect = os.path.join(other, "finalSpeech.ogg")
        shutil.copy(os.path.join(DAMAGED, "libvorbis-fpe-sounds.ogg"), damaged_effect)
        shutil.copy(os.path.join(gamerun.REPO_DATA, "otherSounds", "finalSpeech-forward.ogg"), other)

        game = self.play(folder, 1)
        wanted = [
            "vorbisfile: " + damaged_effect + " is damaged; the decoder failed on it, so it plays as silence.",
            "vorbisfile: " + damaged_stream + " is damaged; the decoder failed on it, so it stops.",
            "vorbisfile: Loaded file: " + os.path.join(sounds, good),
        ]
        self.wait_for_lines(game, wanted, 30)
        self.quit(game)

    def test_only_bad_recordings_never_busy_the_streaming_thread(self):
        folder = gamerun.GameFolder(replace=["sounds"])
        self.addCleanup(folder.cleanup)
        expected = write_bad_recordings(folder.folder("sounds"))
        game = self.play(folder, 3)
        # Every slot is tried again each frame; nothing ever plays.
        self.assertLess(self.streaming_cpu(game, 3.0), 0.05, game.report())
        # The slots take the files in turn, some frames apart: a slow
        # machine needs more than those six seconds to try every one.
        self.wait_for_lines(game, list(expected.values()), 60)
        self.quit(game)


if __name__ == "__main__":
    unittest.main(verbosity=2)
