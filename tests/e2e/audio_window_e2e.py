"""Audio set-ups and window closes under the real game: no JACK server and no
sound card, sound switched off, a JACK server killed while the game plays, and
the window closed during the note screen, a state switch and the finale."""
import os
import shutil
import sys
import tempfile
import time
import unittest
from unittest import mock

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402
import playthrough  # noqa: E402

WORDS = ("-w", "320", "-h", "180", "-win")
SILENT = "Application: No audio output could be started; the game runs silent."


class GameCase(unittest.TestCase):
    def start(self, *words, env=None):
        game = gamerun.Game(gamerun.BINARY, *words, env=env)
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        return game

    def to_play(self, game):
        game.press_key("a")
        self.assertTrue(game.wait_for_output("GamePlay created", 20), game.report())

    def closes_cleanly(self, game, within=5.0):
        game.close_window()
        start = time.time()
        self.assertEqual(game.wait(timeout=30), 0, game.report())
        self.assertLess(time.time() - start, within, game.report())
        self.assertNotIn("failed assertion", game.errors())


class AudioTests(GameCase):
    def test_without_jack_or_sound_card_and_with_sound_off_the_game_runs_silent(self):
        nowhere = {"JACK_DEFAULT_SERVER": "lumenfall-none-%d" % os.getpid()}
        # One after the other: the windows open at the same place, and the
        # picture of a covered window cannot be read.
        for words in (("-aa", "JACK"), ("-ns",)):
            game = self.start(*WORDS, *words, env=nowhere)
            self.to_play(game)
            self.assertTrue(game.wait_for_output("vorbisfile: Loaded file: ", 20), game.report())
            self.assertTrue(game.keeps_drawing(), game.report())
            self.closes_cleanly(game)
            if words[0] == "-ns":
                # With sound off the audio output is never tried.
                self.assertNotIn("PortAudio", game.output())
                self.assertNotIn(SILENT, game.output())
            else:
                self.assertEqual(game.output().count(SILENT), 1, game.report())

    def test_jack_server_killed_while_playing(self):
        jack = gamerun.JackServer()
        self.addCleanup(jack.stop)
        game = self.start(*WORDS, "-aa", "JACK", env={"JACK_DEFAULT_SERVER": jack.name})
        self.assertIn("Application: Audio started.", game.output())
        self.to_play(game)
        time.sleep(2)
        jack.kill()
        self.assertTrue(game.wait_for_output("Application: The audio output stopped; the game runs silent.", 10),
                        game.report())
        self.assertTrue(game.keeps_drawing(), "the window stopped changing\n" + game.report())
        # Stopping the dead stream would wait on the dead server for minutes.
        self.closes_cleanly(game)

    def test_at_a_48000_hz_server_the_mix_is_converted_and_heard(self):
        # The server refuses 44100 Hz, so the stream runs at 48000 Hz and the
        # game's mix is converted to it (the pitch it keeps is measured by
        # audio_tests); play starts, the voices are heard, and it quits.
        jack = gamerun.JackServer(48000)
        self.addCleanup(jack.stop)
        env = {"JACK_DEFAULT_SERVER": jack.name}
        game = self.start(*WORDS, "-aa", "JACK", env=env)
        self.assertIn("44100Hz samplerate not supported, using 48000Hz.", game.output())
        self.assertEqual(game.output().count("Audio: resampling from 44100 Hz to 48000 Hz."), 1, game.report())
        self.to_play(game)
        folder = tempfile.mkdtemp(prefix="lumenfall-e2e-48000-")
        self.addCleanup(shutil.rmtree, folder, True)
        # The recorder's clients and jack_lsp find the server by its name in
        # the environment.
        with mock.patch.dict(os.environ, env):
            ports = playthrough.jack_output_ports()
            self.assertEqual(len(ports), 2, ports)
            recorder = playthrough.Recorder(ports, os.path.join(folder, "play.raw"))
            time.sleep(4)
            recorder.stop()
        samples, rate = recorder.samples(), recorder.samplerate
        level = float(np.sqrt(np.mean(samples.astype(np.float64) ** 2))) if samples.size else 0.0
        print("48000 Hz server: %.1f s recorded, rms %.4f" % (len(samples) / float(rate), level))
        self.assertEqual(rate, 48000)
        self.assertGreater(level, 0.005, game.report())
        self.assertTrue(game.keeps_drawing(), game.report())
        self.closes_cleanly(game)


class WindowCloseTests(GameCase):
    """With sound on through the test's JACK server, so that quitting stops a
    live stream."""

    def test_closed_during_the_note_screen_and_during_a_state_switch(self):
        note = self.start(*WORDS, "-aa", "JACK")
        switch = self.start(*WORDS, "-aa", "JACK")
        self.assertIn("Application: Audio started.", note.output())
        self.closes_cleanly(note)
        self.assertNotIn("GamePlay created", note.output())
        # The key and the close request reach the game in one batch: the
        # switch is made and the old state still waits for the audio side
        # when the loop sees the close.
        switch.press_key("a")
        switch.close_window()
        self.assertEqual(switch.wait(timeout=30), 0, switch.report())
        self.assertIn("GamePlay created", switch.output())
        self.assertNotIn("failed assertion", switch.errors())

    def test_closed_during_the_finale(self):
        game = self.start(*WORDS, "-aa", "JACK")
        self.to_play(game)
        # The finale comes after a number of frames, not of seconds: llvmpipe
        # on a loaded two-core machine draws two or three a second, which
        # takes the typing past three minutes (the test's limit is 870 s).
        deadline = time.time() + 420
        while time.time() < deadline and "GamePlay: finale started on frame" not in game.output():
            game.type_text("hackscandalpaedophile")
            time.sleep(0.2)
        self.assertIn("GamePlay: finale started on frame", game.output(), game.report())
        time.sleep(1)
        self.assertNotIn("GamePlay: finale ended", game.output())
        self.closes_cleanly(game)


if __name__ == "__main__":
    unittest.main(verbosity=2)
