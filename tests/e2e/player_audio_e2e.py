"""The sound start as a player sees it in the terminal: no line of ALSA's
own on standard error, whichever audio system was asked for, and the
fallback line naming the audio system the player asked for."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402

WORDS = ("-w", "320", "-h", "180", "-win")


class AudioStartTests(unittest.TestCase):
    def start_and_close(self, *words):
        game = gamerun.Game(gamerun.BINARY, *WORDS, *words)
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        self.assertTrue(game.wait_for_output("Application: Audio started.", 30), game.report())
        game.close_window()
        self.assertEqual(game.wait(30), 0, game.report())
        alsa = [line for line in game.errors().splitlines() if line.startswith("ALSA lib")]
        self.assertEqual(alsa, [], game.report())
        return game

    def test_no_alsa_lines_and_the_fallback_names_the_asked_system(self):
        # One after the other: each game has the JACK server to itself.
        self.start_and_close("-aa", "JACK")
        game = self.start_and_close()
        self.assertIn("PortAudioDevice: host API CoreAudio is not available, using ", game.output())
        game = self.start_and_close("-aa", "Nonsense")
        found = game.find("PortAudioDevice: host API ")
        self.assertIsNotNone(found, game.report())
        line = found[2]
        self.assertTrue(line.startswith("PortAudioDevice: host API Nonsense is not available, using "), line)
        self.assertNotIn("CoreAudio", line)


if __name__ == "__main__":
    unittest.main(verbosity=2)
