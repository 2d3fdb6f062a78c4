"""Runs the real game from a folder of its own, so a test can give it its own
data folder, and watches it: its output, its window (found by process id, so
several games can run side by side on one display), key presses and the close
request sent to that window, its picture and the CPU time of its threads."""
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from Xlib import X, XK, display, protocol

import xwindow

BINARY = os.environ["LUMENFALL_BINARY"]
REPO_DATA = os.environ["LUMENFALL_TEST_DATA_DIR"]
DATA_FOLDERS = ("images", "feathers", "shaders", "sounds", "otherSounds")
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


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
    """One run of the game with standard output and standard error kept
    apart, each in a file that can be read while the game runs."""

    def __init__(self, binary, *words, home=None, env=None):
        self.home = home or tempfile.mkdtemp(prefix="lumenfall-home-")
        environment = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        environment.update(env or {})
        self.stdout = tempfile.NamedTemporaryFile(prefix="lumenfall-out-", delete=False)
        self.stderr = tempfile.NamedTemporaryFile(prefix="lumenfall-err-", delete=False)
        self.started = time.time()
        self.proc = subprocess.Popen([binary, *words], stdout=self.stdout, stderr=self.stderr, env=environment)
        self.pid = self.proc.pid
        self.display = None
        self.window = None

    def output(self):
        with open(self.stdout.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def errors(self):
        with open(self.stderr.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def report(self):
        """Both streams, for assertion messages (the end of each)."""
        return "\n--- stdout (end) ---\n" + self.output()[-6000:] + "\n--- stderr (end) ---\n" + self.errors()[-3000:]

    def wait_for_output(self, text, timeout):
        """True once text appears on standard output; False on timeout or
        when the game ends without printing it."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if text in self.output():
                return True
            if self.proc.poll() is not None:
                return text in self.output()
            time.sleep(0.1)
        return False

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
        return self.wait_for_output("Debug: Application::Application() end", timeout)

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
        raised first: the picture of a window another one covers (that of a
        game run by another test) is not the game's own."""
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
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def cleanup(self):
        self.kill()
        if self.display:
            self.display.close()
            self.display = None
        for f in (self.stdout, self.stderr):
            f.close()
            os.unlink(f.name)
        shutil.rmtree(self.home, ignore_errors=True)


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


def start_jack(name):
    """A JACK server of its own (dummy back-end) under a unique name; returns
    its process once clients can connect."""
    proc = subprocess.Popen(["jackd", "-n", name, "--no-realtime", "-d", "dummy", "-r", "44100", "-p", "512"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    env = dict(os.environ, JACK_DEFAULT_SERVER=name)
    subprocess.run(["jack_wait", "-w", "-t", "10"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=20)
    return proc


def stop_jack(proc):
    """Stops a server started by start_jack the clean way (it leaves its
    entry in JACK's shared registry free for the next server)."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def release_killed_jack(name):
    """JACK keeps a registry of servers in shared memory with room for only a
    few; a server that was killed keeps its entry until a server of the same
    name starts. Start one and stop it cleanly so the entry is freed."""
    stop_jack(start_jack(name))
    # The game's client never closed its connection to the killed server,
    # so its semaphore files stay behind; they carry the server's name.
    for entry in os.listdir("/dev/shm"):
        if entry.startswith("jack_sem.") and ("_%s_" % name) in entry:
            os.unlink(os.path.join("/dev/shm", entry))
