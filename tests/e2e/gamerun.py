"""Runs the real game and watches it, for every test that runs it: its
output, read line by line as it comes; its window (found by process id, so
several games can run side by side on one display), key presses and the close
request sent to that window, its picture and the CPU time of its threads.
Also gives the game a folder of its own, so a test can give it its own data
folder, and starts JACK servers of a test's own through the harness's scripts."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from Xlib import X, XK, display, protocol

import xwindow

BINARY = os.environ.get("LUMENFALL_BINARY", "")
REPO_DATA = os.environ.get("LUMENFALL_TEST_DATA_DIR", "")
HARNESS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "harness")
DATA_FOLDERS = ("images", "feathers", "shaders", "sounds", "otherSounds")
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
STARTED = "Debug: Application::Application() end"


class GameFolder:
    """A copy of the executable with a "data" folder beside it. Every data
    subfolder links to the repository's unless the test replaces it."""

    def __init__(self, replace=(), remove=()):
        self.root = tempfile.mkdtemp(prefix="lumenfall-bad-")
        self.binary = os.path.join(self.root, "lumenfall")
        shutil.copy2(BINARY, self.binary)
        self.data = os.path.join(self.root, "data")
        os.mkdir(self.data)
        for name in DATA_FOLDERS:
            if name in remove:
                continue
            if name in replace:
                os.mkdir(os.path.join(self.data, name))
            else:
                os.symlink(os.path.join(REPO_DATA, name), os.path.join(self.data, name))

    def folder(self, name):
        return os.path.join(self.data, name)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Game:
    """One run of the game. Standard output and standard error are read as
    they come, each line kept with the monotonic time at which it arrived;
    with merge_errors, standard error goes into standard output. The game
    gets home as its HOME, or a fresh folder removed at cleanup; env adds to
    or replaces variables of this process's environment."""

    def __init__(self, binary, *words, home=None, env=None, merge_errors=False):
        self.own_home = home is None
        self.home = home or tempfile.mkdtemp(prefix="lumenfall-home-")
        environment = dict(os.environ)
        environment.update(env or {})
        environment.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        self.started = time.time()
        self.proc = subprocess.Popen([binary, *words], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT if merge_errors else subprocess.PIPE, env=environment)
        self.pid = self.proc.pid
        self.lines = []  # (time.monotonic(), text) of standard output
        self.error_lines = []
        self.cond = threading.Condition()
        self.readers = [threading.Thread(target=self._read, args=(self.proc.stdout, self.lines), daemon=True)]
        if not merge_errors:
            self.readers.append(threading.Thread(target=self._read, args=(self.proc.stderr, self.error_lines),
                                                 daemon=True))
        for reader in self.readers:
            reader.start()
        self.display = None
        self.window = None

    def _read(self, stream, lines):
        for raw in stream:
            with self.cond:
                lines.append((time.monotonic(), raw.decode("utf-8", "replace").rstrip("\n")))
                self.cond.notify_all()
        with self.cond:
            self.cond.notify_all()

    def _text(self, lines):
        with self.cond:
            return "".join(text + "\n" for _, text in lines)

    def output(self):
        return self._text(self.lines)

    def errors(self):
        return self._text(self.error_lines)

    def report(self):
        """Both streams, for assertion messages (the end of each)."""
        return "\n--- stdout (end) ---\n" + self.output()[-6000:] + "\n--- stderr (end) ---\n" + self.errors()[-3000:]

    def find(self, pattern, start=0):
        """(index, arrival time, match) of the first output line from index
        start that holds the text or matches the compiled pattern, or None."""
        with self.cond:
            for i in range(start, len(self.lines)):
                t, text = self.lines[i]
                m = pattern.search(text) if isinstance(pattern, re.Pattern) else (pattern in text and text)
                if m:
                    return i, t, m
        return None

    def finished(self):
        """True once the game has ended and all its output is read."""
        return self.proc.poll() is not None and not any(reader.is_alive() for reader in self.readers)

    def wait_for(self, pattern, timeout, start=0):
        """As find, waiting up to timeout seconds for the line; None on
        timeout or when the game ends without printing it."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                found = self.find(pattern, start)
                if found:
                    return found
                left = deadline - time.monotonic()
                if left <= 0 or self.finished():
                    return None
                self.cond.wait(min(left, 0.2))

    def wait_for_output(self, texts, timeout):
        """True once the text, or every text of a list, appears in a line of
        standard output; False on timeout or when the game ends without."""
        deadline = time.monotonic() + timeout
        for text in [texts] if isinstance(texts, str) else texts:
            if self.wait_for(text, max(deadline - time.monotonic(), 0.0)) is None:
                return False
        return True

    def find_window(self, timeout=30.0):
        """The game's mapped top-level window, found by _NET_WM_PID."""
        d = display.Display()
        pid_atom = d.intern_atom("_NET_WM_PID")
        deadline = time.time() + timeout
        while time.time() < deadline and self.proc.poll() is None:
            for w in d.screen().root.query_tree().children:
                try:
                    prop = w.get_full_property(pid_atom, X.AnyPropertyType)
                    if prop and prop.value[0] == self.pid and w.get_attributes().map_state == X.IsViewable:
                        self.display, self.window = d, w
                        return w
                except Exception:
                    pass
            time.sleep(0.05)
        d.close()
        return None

    def ready(self, timeout=60.0):
        """Waits for the window and the end of start-up: a close request sent
        while SDL is still setting up the OpenGL window can be lost (see the
        window tests), so the tests close a game once it has started."""
        if self.find_window(timeout) is None:
            return False
        return self.wait_for_output(STARTED, timeout)

    def window_size(self):
        return xwindow.window_size(self.window)

    def press_key(self, name="a"):
        """A key press and release sent to the window, as the X server sends
        them to the focused window."""
        d, w = self.display, self.window
        code = d.keysym_to_keycode(XK.string_to_keysym(name))
        for kind in (protocol.event.KeyPress, protocol.event.KeyRelease):
            event = kind(time=X.CurrentTime, root=d.screen().root, window=w, same_screen=1, child=X.NONE,
                         root_x=0, root_y=0, event_x=0, event_y=0, state=0, detail=code)
            w.send_event(event, event_mask=X.KeyPressMask | X.KeyReleaseMask)
        d.flush()

    def type_text(self, text):
        for letter in text:
            self.press_key(letter)

    def close_window(self):
        xwindow.send_close(self.display, self.window)

    def picture(self):
        """The window's pixels as bytes (the frame last shown). The window is
        raised first: the picture of a window another one covers (that of
        another game the same test runs) is not the game's own."""
        self.window.configure(stack_mode=X.Above)
        self.display.sync()
        g = self.window.get_geometry()
        return self.window.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF).data

    def keeps_drawing(self, seconds=4.0):
        """True when the window shows a non-black picture that changes within
        the given time (the game draws animated frames)."""
        first = self.picture()
        deadline = time.time() + seconds
        while time.time() < deadline:
            time.sleep(0.3)
            now = self.picture()
            if now != first and any(now):
                return True
        return False

    def thread_cpu(self):
        """CPU seconds used so far by each thread, keyed by (thread id, name)."""
        result = {}
        task = "/proc/%d/task" % self.pid
        for tid in os.listdir(task):
            try:
                with open(os.path.join(task, tid, "stat")) as f:
                    stat = f.read()
            except OSError:
                continue
            name = stat[stat.index("(") + 1:stat.rindex(")")]
            fields = stat[stat.rindex(")") + 2:].split()
            result[(int(tid), name)] = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
        return result

    def wait(self, timeout):
        """The exit status; None when the game was still running after
        timeout seconds (it is then killed)."""
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None
        self._join()
        return status

    def _join(self):
        for reader in self.readers:
            reader.join(timeout=5)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self._join()

    def cleanup(self):
        self.kill()
        if self.display:
            self.display.close()
            self.display = None
        for stream in (self.proc.stdout, self.proc.stderr):
            if stream:
                stream.close()
        if self.own_home:
            shutil.rmtree(self.home, ignore_errors=True)


def sdl_library(binary=None, env=None):
    """The path of the SDL 1.2 library the game loads (as ldd resolves it
    with env), or an empty string."""
    ldd = subprocess.run(["ldd", binary or BINARY], capture_output=True, text=True, env=env).stdout
    line = next((x for x in ldd.splitlines() if "libSDL-1.2.so.0" in x), "")
    return line.split("=>")[-1].split("(")[0].strip()


def loads_sdl2(binary=None):
    """Whether the game loads SDL 1.2 on top of SDL 2 (sdl12-compat, the only
    SDL 1.2 from Debian 13 on) rather than classic SDL 1.2."""
    try:
        with open(sdl_library(binary), "rb") as library:
            return b"SDL12COMPAT_" in library.read()
    except OSError:
        return False


def run_parallel(cases):
    """Runs the callables side by side; returns their exceptions (None for
    each one that passed), in order."""
    results = [None] * len(cases)

    def run(i):
        try:
            cases[i]()
        except BaseException as error:  # reported by the caller
            results[i] = error

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(cases))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


class JackServer:
    """A JACK dummy server of the test's own, started by the harness's
    jack-start under a unique name; stop() stops it cleanly, also after
    kill()."""

    def __init__(self, rate=44100):
        self.state = tempfile.mkdtemp(prefix="lumenfall-jack-")
        subprocess.run([os.path.join(HARNESS, "jack-start"), self.state, str(rate)], check=True,
                       stdout=subprocess.DEVNULL, timeout=120)
        with open(os.path.join(self.state, "jack-name")) as f:
            self.name = f.read().strip()
        with open(os.path.join(self.state, "jack.pid")) as f:
            self.pid = int(f.read())

    def kill(self):
        """Kills the server at once, as a crash would, and waits until it is gone."""
        os.kill(self.pid, signal.SIGKILL)
        while os.path.exists("/proc/%d" % self.pid):
            time.sleep(0.05)

    def stop(self):
        subprocess.run([os.path.join(HARNESS, "jack-stop"), self.state], timeout=120)
        shutil.rmtree(self.state, ignore_errors=True)
