"""Damaged and odd configuration files read by the real game (started with no
command-line words, so the file decides): it starts with the values it can
read, falls back to the defaults (1024 x 768) for the rest, and never rewrites
the user's file."""
import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402

DEFAULT_SIZE = (1024, 768)


class ConfigTests(unittest.TestCase):
    def start(self, home, expected_size):
        """Runs the game without words; checks its window and a clean quit.
        Returns the game's standard output."""
        game = gamerun.Game(gamerun.BINARY, home=home)
        try:
            self.assertTrue(game.ready(), game.report())
            self.assertEqual(game.window_size(), expected_size, game.report())
            game.close_window()
            # Starting and stopping the audio output may take a while when
            # there is neither a JACK server nor a sound card.
            self.assertEqual(game.wait(timeout=60), 0, game.report())
            self.assertNotIn("failed assertion", game.errors())
            return game.output()
        finally:
            game.cleanup()

    def with_file(self, content, expected_size):
        """A home whose configuration file holds content; the file must come
        out of the run byte for byte as it went in."""
        home = self.make_home()
        folder = os.path.join(home, ".config", "Lumenfall")
        os.makedirs(folder)
        path = os.path.join(folder, "Lumenfall.conf")
        with open(path, "wb") as f:
            f.write(content)
        output = self.start(home, expected_size)
        with open(path, "rb") as f:
            self.assertTrue(f.read() == content, "the configuration file was changed")
        self.assertNotIn("Created directory", output)
        return output

    def make_home(self):
        home = tempfile.mkdtemp(prefix="lumenfall-conf-")
        self.addCleanup(shutil.rmtree, home, True)
        return home

    def random_bytes(self):
        rng = random.Random(1)
        # No line may start with "w", "h" or "f": those could legitimately
        # change the window. Everything else is fair game.
        data = bytearray(rng.getrandbits(8) for _ in range(64 * 1024))
        for i in range(len(data)):
            if data[i] in b"whf" and (i == 0 or data[i - 1] == 10):
                data[i] = ord("x")
        self.with_file(bytes(data) + b"\nf 0\n", DEFAULT_SIZE)

    def binary_file(self):
        # Zero bytes, a line of them, and then settings: the zeros end the
        # text of their lines, later lines still count.
        self.with_file(b"\x00" * 300 + b"\n\x00w 5\n" + bytes(range(256)) + b"\nf 0\nw 640\nh 360\n", (640, 360))

    def lines_without_values_huge_and_negative(self):
        content = (b"w\nh\nw \nh \na\naa\nns\nnm\nf\n"
                   b"w 99999999999999999999999\nh 4294967297\n"
                   b"w -640\nh -1\nw 0\nh 0\na -5\nf 0\n")
        self.with_file(content, DEFAULT_SIZE)

    def ten_megabytes(self):
        # One line of ten megabytes, then real settings, which must be read.
        self.with_file(b"w" + b"9" * (10 * 1024 * 1024) + b"\nf 0\nw 800\nh 600\n", (800, 600))

    def folder_in_place_of_the_file(self):
        home = self.make_home()
        path = os.path.join(home, ".config", "Lumenfall", "Lumenfall.conf")
        os.makedirs(path)
        output = self.start(home, DEFAULT_SIZE)
        self.assertTrue(os.path.isdir(path))
        self.assertNotIn("Could not create", output)

    def configuration_folder_cannot_be_made(self):
        # The tests run as root, which ignores permissions: a file where the
        # configuration folder's parent should be stops the folder for anyone.
        home = self.make_home()
        with open(os.path.join(home, ".config"), "w") as f:
            f.write("not a folder\n")
        output = self.start(home, DEFAULT_SIZE)
        folder = os.path.join(home, ".config", "Lumenfall")
        self.assertIn("Could not create directory " + folder, output)
        self.assertIn("Could not create " + os.path.join(folder, "Lumenfall.conf"), output)
        with open(os.path.join(home, ".config")) as f:
            self.assertEqual(f.read(), "not a folder\n")

    def test_damaged_configurations_start_with_defaults_and_are_left_alone(self):
        cases = [self.random_bytes, self.binary_file, self.lines_without_values_huge_and_negative,
                 self.ten_megabytes, self.folder_in_place_of_the_file, self.configuration_folder_cannot_be_made]
        # Three at a time: full-screen windows of 1024 x 768 fit the display
        # side by side, and every game has its own HOME.
        failures = gamerun.run_parallel(cases[:3]) + gamerun.run_parallel(cases[3:])
        for case, failure in zip(cases, failures):
            if failure is not None:
                raise AssertionError("%s: %s" % (case.__name__, failure)) from failure


if __name__ == "__main__":
    unittest.main(verbosity=2)
