"""The built game under the harness's Xvfb: window, start-up lines, close
request, SIGTERM, --help and the first-run configuration file."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402
import xwindow  # noqa: E402

BINARY = os.environ["LUMENFALL_BINARY"]
USAGE = (
    "\nLumenfall\n\nUsage:\nLumenfall -w [width] -h [height] -a [val] -win -ns -nm -aa [name]\n\nFlags:\n"
    "--width [val] | -w [val]:\tSet the width of the window.\n"
    "--height [val] | -h [val]:\tSet the height of the window.\n"
    "--antialias [val] | -a [val]:\tSets the antialiasing level (2, 4, or 6).\n"
    "--windowed | -win:\t\tSets whether to start the game in a window rather than fullscreen.\n"
    "--nosound | -ns:\t\tSwitches off the sound output.\n"
    "--nomusic | -nm:\t\tSwitches off the background music.\n"
    "--audio-api [name] | -aa [name]:\t\tSets the audio API to use.  Can be DirectSound, ASIO, MME, ALSA, JACK, "
    "OSS, CoreAudio.\n"
    "--help:\t\t\t\tDisplay this help.\n"
)
STARTUP_LINES = [
    "Application::Application()",
    "Application: SDL Initialised",
    "Application: Window name set",
    "Application: Config settings loaded.",
    "Application: OpenGLDrawer created.",
    "Application: OpenGLDrawer initialised.",
    "Application: NoteScreen created.",
    "Application::Application() end",
]


def debug_messages(text):
    """The messages of the "Debug: " lines, without their place."""
    out = []
    for line in text.splitlines():
        if line.startswith("Debug: "):
            out.append(line[len("Debug: "):].rsplit("  (", 1)[0])
    return out


# As long as gamerun's ready() waits: on a loaded machine starting the game
# (a software renderer's first programs) has taken over 10 s.
WINDOW_TIMEOUT = 60.0


def start(*words, home=None, binary=BINARY):
    return gamerun.Game(binary, *words, home=home, merge_errors=True)


def finish(game, timeout):
    """The game's exit status (None when it was still running after timeout
    seconds) and its output."""
    status = game.wait(timeout)
    return status, game.output()


class WindowTests(unittest.TestCase):
    def open_game(self):
        game = start("-w", "640", "-h", "360", "-win", "-ns")
        self.addCleanup(game.cleanup)
        d, w = xwindow.find_window("Lumenfall", size=(640, 360), pid=game.proc.pid, timeout=WINDOW_TIMEOUT)
        self.assertIsNotNone(w, "no 640 x 360 window named Lumenfall appeared")
        return game, d, w

    def test_window_opens_and_closes_on_the_close_request(self):
        game, d, w = self.open_game()
        time.sleep(0.5)
        xwindow.send_close(d, w)
        start = time.time()
        status, output = finish(game, timeout=10)
        self.assertLess(time.time() - start, 2.0, output)
        self.assertEqual(status, 0, output)
        messages = debug_messages(output)
        self.assertEqual([m for m in messages if m in STARTUP_LINES], STARTUP_LINES, output)

    def test_sigterm_quits_cleanly(self):
        game, d, w = self.open_game()
        time.sleep(0.5)
        game.proc.send_signal(signal.SIGTERM)
        start = time.time()
        status, output = finish(game, timeout=10)
        self.assertLess(time.time() - start, 2.0, output)
        self.assertEqual(status, 0, output)

    def test_frames_are_paced_to_thirty_milliseconds(self):
        # The note screen leads on after 320 frames: at 30 ms a frame that
        # takes at least 9.6 s, so after 3 s it must still be showing.
        game, d, w = self.open_game()
        time.sleep(3.0)
        xwindow.send_close(d, w)
        status, output = finish(game, timeout=10)
        self.assertEqual(status, 0, output)
        self.assertNotIn("newState", output)


class CommandLineTests(unittest.TestCase):
    def test_help_prints_the_usage_and_exits_zero(self):
        home = tempfile.mkdtemp(prefix="lumenfall-e2e-")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        result = subprocess.run([BINARY, "--help"], capture_output=True, env=env, timeout=20)
        self.assertEqual(result.returncode, 0)
        out = result.stdout.decode()
        # Start-up lines come first; then the usage and the two empty lines of "\n".
        self.assertTrue(out.endswith(USAGE + "\n\n"), out)
        self.assertNotIn("OpenGLDrawer", out)

    def test_first_run_writes_the_configuration_with_the_desktop_size(self):
        home = tempfile.mkdtemp(prefix="lumenfall-e2e-")
        game = start(home=home)
        self.addCleanup(game.cleanup)
        d, w = xwindow.find_window("Lumenfall", timeout=30, pid=game.proc.pid)
        self.assertIsNotNone(w, "no window appeared")
        conf = os.path.join(home, ".config", "Lumenfall", "Lumenfall.conf")
        with open(conf) as f:
            text = f.read()
        # The harness's Xvfb screen is 1920 x 1080.
        self.assertEqual(text, "w 1920\nh 1080\na 0\nf 1\nns 0\nnm 0\naa CoreAudio\n")
        game.proc.send_signal(signal.SIGTERM)
        # Full screen with sound on the first run: starting the audio output
        # can take a while on a machine without a sound card.
        status, output = finish(game, timeout=60)
        self.assertEqual(status, 0, output)
        self.assertIn("Created directory " + os.path.join(home, ".config", "Lumenfall"), output)

    def test_missing_data_folder_is_a_clear_failure(self):
        folder = tempfile.mkdtemp(prefix="lumenfall-nodata-")
        copy = os.path.join(folder, "lumenfall")
        subprocess.run(["cp", BINARY, copy], check=True)
        home = tempfile.mkdtemp(prefix="lumenfall-e2e-")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
        result = subprocess.run([copy, "-w", "640", "-h", "360", "-win", "-ns"], capture_output=True, env=env,
                                timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(os.path.join(folder, "data"), result.stdout.decode())
        self.assertIn("share/lumenfall", result.stdout.decode())


class InstallTests(unittest.TestCase):
    def test_installed_game_finds_its_data_and_desktop_entry(self):
        prefix = tempfile.mkdtemp(prefix="lumenfall-install-")
        subprocess.run(["cmake", "--install", os.environ["LUMENFALL_BUILD_DIR"], "--prefix", prefix],
                       check=True, capture_output=True)
        binary = os.path.join(prefix, "bin", "lumenfall")
        self.assertTrue(os.access(binary, os.X_OK))
        self.assertTrue(os.path.isfile(os.path.join(prefix, "share", "applications", "lumenfall.desktop")))
        self.assertTrue(os.path.isfile(os.path.join(prefix, "share", "icons", "hicolor", "256x256", "apps",
                                                    "lumenfall.png")))
        for folder in ("images", "feathers", "shaders", "sounds", "otherSounds"):
            self.assertTrue(os.path.isdir(os.path.join(prefix, "share", "lumenfall", folder)), folder)
        game = start("-w", "640", "-h", "360", "-win", "-ns", binary=binary)
        self.addCleanup(game.cleanup)
        d, w = xwindow.find_window("Lumenfall", size=(640, 360), pid=game.proc.pid, timeout=WINDOW_TIMEOUT)
        self.assertIsNotNone(w, "the installed game opened no window")
        game.proc.send_signal(signal.SIGTERM)
        status, output = finish(game, timeout=10)
        self.assertEqual(status, 0, output)


if __name__ == "__main__":
    unittest.main(verbosity=2)
