"""Shaders that are missing or do not compile, and the empty data folders the
game cannot go on without, under the real game."""
import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402

SHADERS = ("postProc", "feather", "ghostFeather")


class ShaderTests(unittest.TestCase):
    def play_briefly(self, folder):
        game = gamerun.Game(folder.binary, "-w", "320", "-h", "180", "-win", "-ns")
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        game.press_key("a")
        self.assertTrue(game.wait_for_output("GamePlay created", 20), game.report())
        # The first play frames load the feather shader.
        feather = os.path.join(folder.folder("shaders"), "feather.frag")
        self.assertTrue(game.wait_for_output(feather + ":", 30), game.report())
        self.assertTrue(game.keeps_drawing(), "the window stopped changing\n" + game.report())
        game.close_window()
        self.assertEqual(game.wait(timeout=15), 0, game.report())
        self.assertNotIn("failed assertion", game.errors())
        return game.output()

    def test_shaders_that_do_not_compile_are_reported_and_the_game_draws_on(self):
        folder = gamerun.GameFolder(replace=["shaders"])
        self.addCleanup(folder.cleanup)
        for name in SHADERS:
            for ext in ("vert", "frag"):
                with open(os.path.join(folder.folder("shaders"), name + "." + ext), "w") as f:
                    f.write("void main() { this is not a shader }\n")
        output = self.play_briefly(folder)
        for name in ("postProc", "feather"):
            for ext in ("vert", "frag"):
                path = os.path.join(folder.folder("shaders"), name + "." + ext)
                self.assertIn("OpenGLDrawer: Could not compile " + path + ":", output)
        # The compiler's own message follows each of those lines.
        lines = output.splitlines()
        for i, line in enumerate(lines):
            if line.startswith("OpenGLDrawer: Could not compile "):
                self.assertIn("error", lines[i + 1].lower(), lines[i + 1])

    def test_missing_shader_files_are_reported_and_the_game_draws_on(self):
        folder = gamerun.GameFolder(replace=["shaders"])
        self.addCleanup(folder.cleanup)
        output = self.play_briefly(folder)
        path = os.path.join(folder.folder("shaders"), "postProc.frag")
        self.assertIn("OpenGLDrawer: Could not compile " + path + ":", output)


class EmptyFolderTests(unittest.TestCase):
    def test_an_empty_essential_folder_stops_the_game_with_the_failed_condition(self):
        cases = {
            "images": "imagesPath.getNumChildren() > 0",
            "feathers": "feathersPath.getNumChildren() > 0",
            "sounds": "paths.size() > 0",
        }
        games = {}
        for name in cases:
            folder = gamerun.GameFolder(replace=[name])
            self.addCleanup(folder.cleanup)
            game = gamerun.Game(folder.binary, "-w", "320", "-h", "180", "-win", "-ns")
            self.addCleanup(game.cleanup)
            games[name] = game
        for name, game in games.items():
            self.assertTrue(game.ready(), game.report())
            game.press_key("a")
        for name, game in games.items():
            self.assertTrue(game.wait_for_output("GamePlay created", 20), game.report())
            switched = time.time()
            status = game.wait(timeout=10)
            self.assertEqual(status, -signal.SIGABRT, "%s: no abort within 10 s%s" % (name, game.report()))
            self.assertLess(time.time() - switched, 10.0)
            errors = [line for line in game.errors().splitlines() if "failed assertion" in line]
            self.assertEqual(len(errors), 1, game.errors())
            self.assertRegex(errors[0], r"^\S+\.cpp:\d+: failed assertion `%s'$" % cases[name].replace(
                "(", r"\(").replace(")", r"\)"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
