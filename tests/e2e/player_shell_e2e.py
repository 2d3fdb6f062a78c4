"""What a player meets around the game itself: --version and --help without
a display, the sentence for a missing or unreachable X display, the sentence
for a display without OpenGL, the renderer lines, full screen on the primary
monitor of a two-monitor screen, and F11 between full screen and a window,
also after a full-screen start that fell back to a window."""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from Xlib import X, display
from Xlib.ext import randr
from Xlib.protocol import rq

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402
from shell_e2e import USAGE  # noqa: E402

BINARY = os.environ["LUMENFALL_BINARY"]
NO_DISPLAY = "No X display (DISPLAY is not set): start the game from a desktop session.\n"
NO_OPENGL = ("OpenGL is not available on this display: install your graphics driver's OpenGL library "
             "(on Debian, libgl1-mesa-dri).")


def project_version():
    with open(os.path.join(os.environ["LUMENFALL_BUILD_DIR"], "CMakeCache.txt")) as f:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", f.read(), re.M).group(1)


def run_without_display(*words, display_value=None):
    """The game run to its end with DISPLAY unset (or set to display_value)
    and a fresh HOME; (exit status, stdout, stderr, home)."""
    home = tempfile.mkdtemp(prefix="lumenfall-e2e-")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SDL_VIDEODRIVER")}
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"))
    if display_value is not None:
        env["DISPLAY"] = display_value
    result = subprocess.run([BINARY, *words], capture_output=True, env=env, timeout=60, stdin=subprocess.DEVNULL)
    return result.returncode, result.stdout.decode(), result.stderr.decode(), home


class OwnXvfb:
    """An Xvfb of the test's own with the given arguments, on a free display."""

    def __init__(self, *arguments):
        read, write = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp", *arguments],
                                     pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.name = ":" + f.readline().strip()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=30)


class SetMonitor(rq.Request):
    # RRSetMonitor with its monitor record laid out flat.
    _request = rq.Struct(
        rq.Card8("opcode"), rq.Opcode(43), rq.RequestLength(), rq.Window("window"),
        rq.Card32("name"), rq.Bool("primary"), rq.Bool("automatic"), rq.LengthOf("crtcs", 2),
        rq.Int16("x"), rq.Int16("y"), rq.Card16("width"), rq.Card16("height"),
        rq.Card32("width_mm"), rq.Card32("height_mm"), rq.List("crtcs", rq.Card32Obj))


class NoDisplayTests(unittest.TestCase):
    def test_version_and_help_are_answered_without_a_display(self):
        status, out, err, home = run_without_display("--version")
        self.assertEqual((status, out, err), (0, "lumenfall %s\n" % project_version(), ""))
        # Exactly the usage: no start-up lines, no terminal driver's escapes.
        status, out, err, home = run_without_display("-w", "640", "--help")
        self.assertEqual((status, out, err), (0, USAGE + "\n\n", ""))

    def test_no_display_is_one_sentence_and_status_1(self):
        for value in (None, ""):
            for words in ((), ("-w", "640", "-h", "360", "-win")):
                status, out, err, home = run_without_display(*words, display_value=value)
                self.assertEqual((status, out, err), (1, NO_DISPLAY, ""), (value, words))
                # The first-run configuration needs the display's size: not written.
                self.assertFalse(os.path.exists(os.path.join(home, ".config", "Lumenfall", "Lumenfall.conf")))

    def test_a_display_that_cannot_be_opened_is_named(self):
        status, out, err, home = run_without_display("-win", display_value=":4093")
        self.assertEqual(status, 1, out + err)
        self.assertEqual(len(out.splitlines()), 1, out)
        self.assertIn('":4093"', out)


class OpenGLTests(unittest.TestCase):
    def test_a_display_without_opengl_is_one_sentence_after_the_retries(self):
        server = OwnXvfb("-extension", "GLX", "-screen", "0", "1280x720x24")
        self.addCleanup(server.stop)
        game = gamerun.Game(BINARY, "-w", "640", "-h", "360", "-ns", env={"DISPLAY": server.name})
        self.addCleanup(game.cleanup)
        status = game.wait(60)
        self.assertEqual(status, 1, game.report())
        lines = game.output().splitlines()
        self.assertIn("trying again", lines[-2], game.report())
        self.assertEqual(lines[-1], NO_OPENGL, game.report())


def monitor_window_geometry(game):
    """The game's window in root coordinates (x, y, width, height)."""
    g = game.window.get_geometry()
    origin = game.window.translate_coords(game.display.screen().root, 0, 0)
    return -origin.x, -origin.y, g.width, g.height


# SDL 2 leaves moving a full-screen window onto its monitor to the window
# manager, which these displays do not run, and sees an Xvfb screen's
# monitors as one display.
ON_SDL2 = gamerun.loads_sdl2(BINARY)
NEEDS_WINDOW_MANAGER = "SDL 1.2 on SDL 2 places full screen through a window manager; Xvfb runs none"


class FullScreenTests(unittest.TestCase):
    @unittest.skipIf(ON_SDL2, NEEDS_WINDOW_MANAGER)
    def test_full_screen_lies_within_the_primary_monitor(self):
        # One 2560 x 720 screen as two monitors side by side; the right one
        # is primary, so the head at the top left corner is the wrong one.
        server = OwnXvfb("-screen", "0", "2560x720x24")
        self.addCleanup(server.stop)
        d = display.Display(server.name)
        self.addCleanup(d.close)
        root = d.screen().root
        opcode = d.display.get_extension_major(randr.extname)
        for name, x, primary in (("LEFT", 0, 0), ("RIGHT", 1280, 1)):
            SetMonitor(display=d.display, opcode=opcode, window=root, name=d.intern_atom(name), primary=primary,
                       automatic=0, x=x, y=0, width=1280, height=720, width_mm=338, height_mm=190, crtcs=[])
        d.sync()
        game = gamerun.Game(BINARY, "-ns", env={"DISPLAY": server.name})
        self.addCleanup(game.cleanup)
        os.environ["DISPLAY"], saved = server.name, os.environ.get("DISPLAY")
        try:
            self.assertTrue(game.ready(), game.report())
        finally:
            os.environ["DISPLAY"] = saved
        x, y, width, height = monitor_window_geometry(game)
        self.assertEqual((x, y, width, height), (1280, 0, 1280, 720), game.report())

    def test_f11_switches_full_screen_and_back_and_leads_on_from_the_note(self):
        game = gamerun.Game(gamerun.BINARY or BINARY, "-w", "640", "-h", "360", "-win", "-ns")
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        # Under Xvfb the renderer is Mesa's llvmpipe.
        self.assertIn("OpenGL renderer: llvmpipe", game.output())
        self.assertTrue(game.find("OpenGL is rendered in software here: the frame rate will be low."), game.report())
        self.assertEqual(monitor_window_geometry(game)[2:], (640, 360))
        game.press_key("F11")
        self.assertTrue(game.wait_for_output("Application: Full screen 1920 x 1080.", 20), game.report())
        self.assertTrue(game.wait_for_output("Application::nextState() GamePlay created.", 20), game.report())
        if ON_SDL2:
            # Full-screen size, left where the window was (see NEEDS_WINDOW_MANAGER).
            self.assertEqual(monitor_window_geometry(game)[2:], (1920, 1080), game.report())
        else:
            # The whole screen shows the game now: the corners of the fitted canvas differ from frame to frame.
            root = game.display.screen().root
            first = root.get_image(0, 0, 1920, 1080, X.ZPixmap, 0xFFFFFFFF).data
            changed = False
            deadline = time.time() + 10
            while not changed and time.time() < deadline:
                time.sleep(0.3)
                now = root.get_image(0, 0, 1920, 1080, X.ZPixmap, 0xFFFFFFFF).data
                # Rows 0-100 lie outside the 640 x 360 window that was centred on the screen.
                changed = now[:1920 * 4 * 100] != first[:1920 * 4 * 100] and any(now[:1920 * 4 * 100])
            self.assertTrue(changed, "nothing drawn above the old window's place in full screen")
        game.press_key("F11")
        self.assertTrue(game.wait_for_output("Application: Window 640 x 360.", 20), game.report())
        game.display.close()
        game.display = None
        self.assertIsNotNone(game.find_window(20), game.report())
        self.assertEqual(monitor_window_geometry(game)[2:], (640, 360))
        self.assertTrue(game.keeps_drawing(), game.report())
        game.close_window()
        self.assertEqual(game.wait(20), 0, game.report())

    @unittest.skipIf(ON_SDL2, "SDL 1.2 on SDL 2 opens a full-screen mode of any size, so the start never falls back")
    def test_f11_reaches_full_screen_after_a_full_screen_start_fell_back_to_a_window(self):
        # The 1920 x 1080 screen has no mode that large: the start opens a window instead.
        game = gamerun.Game(gamerun.BINARY or BINARY, "-w", "4000", "-h", "3000", "-ns")
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        self.assertTrue(game.find("trying again windowed at the requested size."), game.report())
        game.press_key("F11")
        self.assertTrue(game.wait_for_output("Application: Full screen 1920 x 1080.", 20), game.report())
        game.close_window()
        self.assertEqual(game.wait(20), 0, game.report())


if __name__ == "__main__":
    unittest.main(verbosity=2)
