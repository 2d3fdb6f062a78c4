"""Plays Lumenfall through from the note screen to the finale as a person
would, on the X display and JACK server of the environment (DISPLAY,
JACK_DEFAULT_SERVER): waits for the window, presses a key, types "hack",
"scandal" and "paedophile" with xdotool at a steady pace until the finale has
run, and presses Escape. Along the way it takes screenshots of the window at
named moments and records the game's JACK output ports.

Used by the end-to-end test (which checks what was seen and heard) and by
tools/showcase (which turns the same run into a contact sheet and a recording).
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import wave

import numpy as np
from Xlib import X

import gamerun
import xwindow

WIDTH, HEIGHT = 1280, 720
WORDS = ("hack", "scandal", "paedophile")
# The game's log lines that mark the steps of a play-through.
GAMEPLAY_CREATED = "Application::nextState() GamePlay created."
PROGRESS = re.compile(r"GamePlay: frame (\d+) at (\d+) ms, levels ([\d.]+) ([\d.]+) ([\d.]+), finale ([\d.]+)")
COMPLETE = re.compile(r'GamePlay: "(\w+)" complete on frame (\d+)')
FINALE_STARTED = re.compile(r"GamePlay: finale started on frame (\d+)")
FINALE_ENDED = re.compile(r"GamePlay: finale ended on frame (\d+)")


class PlayError(Exception):
    """The play-through could not go on; the message says at which step."""


def progress_lines(game):
    """Every progress line of the game so far: (arrival time, frame, game ms,
    levels, finale)."""
    out = []
    with game.cond:
        for t, text in game.lines:
            m = PROGRESS.search(text)
            if m:
                out.append((t, int(m.group(1)), int(m.group(2)), [float(m.group(k)) for k in (3, 4, 5)],
                            float(m.group(6))))
    return out


class Recorder:
    """Records two output ports of the game in memory through a JACK client
    in a process of its own (this module run with --record), so that the
    driver's own Python work (screenshots) never holds up the JACK callback.
    Times are kept in JACK frames: under load the dummy server can fall
    behind the wall clock, so a step's place in the recording is the server's
    frame time at that step, not its wall-clock time."""

    def __init__(self, ports, raw_path):
        import jack  # Debian's python3-jack-client

        self.raw_path = raw_path
        self.proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--record", raw_path, *ports],
                                     stdout=subprocess.PIPE, text=True)
        # The recorder prints its first recorded frame once it records.
        line = self.proc.stdout.readline()
        if not line.startswith("first-frame "):
            raise PlayError("the JACK recorder did not start")
        self.first_frame = int(line.split()[1])
        self.clock = jack.Client("lumenfall-play-clock", no_start_server=True)
        self.samplerate = self.clock.samplerate

    def frame_now(self):
        return self.clock.frame_time

    def stop(self):
        self.clock.close()
        self.proc.send_signal(signal.SIGINT)
        try:
            self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()

    def samples(self):
        try:
            return np.fromfile(self.raw_path, dtype=np.float32).reshape(-1, 2)
        except OSError:
            return np.zeros((0, 2), dtype=np.float32)


def record(raw_path, ports):
    """The recorder process: connects to the ports, prints the first frame it
    records, and writes the samples as raw float32 pairs on SIGINT."""
    import jack

    client = jack.Client("lumenfall-play-recorder", no_start_server=True)
    inputs = [client.inports.register("in_%d" % (k + 1)) for k in range(2)]
    blocks = []
    started = threading.Event()
    first = []

    @client.set_process_callback
    def process(frames):
        if not first:
            first.append(client.last_frame_time)
            started.set()
        blocks.append((client.last_frame_time, np.stack([port.get_array().copy() for port in inputs], axis=1)))

    stop = threading.Event()
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    client.activate()
    for source, target in zip(ports, inputs):
        client.connect(source, target)
    started.wait(30)
    print("first-frame %d" % (first[0] if first else 0), flush=True)
    while not stop.wait(0.2):
        pass
    client.deactivate()
    client.close()
    # Each block goes where its frame time says: a cycle the recorder missed
    # stays silent instead of pulling everything after it earlier.
    length = max(((frame - first[0]) % 2**32 + len(block) for frame, block in blocks), default=0)
    out = np.zeros((length, 2), dtype=np.float32)
    for frame, block in blocks:
        at = (frame - first[0]) % 2**32
        out[at:at + len(block)] = block
    out.tofile(raw_path)


def jack_output_ports(client_prefix="PortAudio"):
    """The game's JACK output ports (PortAudio's JACK host API names its
    client PortAudio), or an empty list."""
    result = subprocess.run(["jack_lsp"], capture_output=True, text=True, timeout=20)
    return sorted(p for p in result.stdout.split() if p.startswith(client_prefix) and ":out_" in p)


def write_wav(samples, rate, path):
    pcm = (np.clip(samples, -1.0, 1.0) * 32767.0).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(samples.shape[1])
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(pcm.tobytes())


def read_wav(path):
    """(samples as float32 array of frames x channels in -1..1, sample rate)."""
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        data = w.readframes(w.getnframes())
    if width != 2:
        raise PlayError("expected a 16-bit recording, got %d bytes a sample" % width)
    samples = np.frombuffer(data, dtype="<i2").astype(np.float32) / 32768.0
    return samples.reshape(-1, channels), rate


class Run:
    """What a play-through saw and heard, with the times of its steps."""

    def __init__(self):
        self.shots = {}  # name -> (monotonic time, H x W x 3 uint8 RGB array)
        self.shot_order = []
        self.marks = {}  # step name -> monotonic time
        self.frames = {}  # step name -> play frame number from the log
        self.output = ""
        self.status = None
        self.exit_seconds = None
        self.recording = None  # path of the recording (WAV)
        self.samples = None  # the recording, frames x 2 float32
        self.rate = 44100
        self.sample_marks = {}  # step name -> its frame in the recording
        self.fps = None
        self.fps_frames = 0
        self.letters_per_second = None
        self.letters_typed = 0
        self.seconds = None

    def save_shots(self, folder):
        """Writes every screenshot as NN-name.png into folder; returns the paths."""
        paths = []
        for k, name in enumerate(self.shot_order):
            path = os.path.join(folder, "%02d-%s.png" % (k, name))
            write_png(self.shots[name][1], path)
            paths.append(path)
        return paths

    def audio_window(self, step, start, end):
        """Samples (frames x channels) recorded from start to end seconds
        after the named step."""
        at = self.sample_marks[step]
        a = max(0, at + int(start * self.rate))
        b = max(a, at + int(end * self.rate))
        return self.samples[a:b], self.rate


def write_png(rgb, path):
    subprocess.run(["convert", "-size", "%dx%d" % (rgb.shape[1], rgb.shape[0]), "-depth", "8", "rgb:-", path],
                   input=rgb.tobytes(), check=True, timeout=60)


def grab(window):
    """The window's pixels as an H x W x 3 RGB array, read straight from the
    X server (no grab of the server, unlike ImageMagick's import)."""
    geometry = window.get_geometry()
    image = window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFFFF)
    pixels = np.frombuffer(image.data, dtype=np.uint8).reshape(geometry.height, geometry.width, 4)
    return np.ascontiguousarray(pixels[:, :, 2::-1])  # B, G, R, X in memory on little-endian servers


class PlayThrough:
    """One run of the game from start to Escape. log(text) reports progress."""

    def __init__(self, binary, home, recording_path, log=print, env=None, deadline=540.0, words=(),
                 linger=6.0, size=(WIDTH, HEIGHT), record=True):
        """words: further command-line words for the game; linger: seconds
        the final recordings sound before Escape (from 1.5 s after the
        finale's end); size: the window's, smaller for a run that is only
        heard (the software renderer's cost grows with it); record: whether
        the game's output is recorded (its ports are found either way)."""
        self.binary = binary
        self.size = size
        self.words = tuple(words)
        self.linger = linger
        self.home = home
        self.recording_path = recording_path
        self.log = log
        self.env = dict(env if env is not None else os.environ)
        self.deadline = deadline
        self.record = record
        self.run = Run()
        self.game = None
        self.recorder = None
        self.display = None
        self.window = None
        # Output lines before this index belong to an earlier play cycle (a
        # game in exhibition mode plays more than one).
        self.since = 0

    # --- steps ---------------------------------------------------------------

    def shot(self, name):
        self.run.shots[name] = (time.monotonic(), grab(self.window))
        if name not in self.run.shot_order:
            self.run.shot_order.append(name)
        self.log("screenshot %s" % name)

    def mark(self, name, when=None):
        """Notes a step's time; the time of a log line is when it arrived."""
        now = time.monotonic()
        self.run.marks[name] = when if when is not None else now
        if self.recorder:
            late = now - self.run.marks[name]
            self.run.sample_marks[name] = self.recorder.frame_now() - int(late * self.run.rate)

    def type_word(self, word, delay_ms):
        subprocess.run(["xdotool", "type", "--delay", str(delay_ms), word], check=True, timeout=60)
        self.run.letters_typed += len(word)

    def time_left(self):
        return self.started + self.deadline - time.monotonic()

    def wait_line(self, pattern, what, timeout, start=None):
        start = self.since if start is None else start
        found = self.game.wait_for(pattern, min(timeout, max(self.time_left(), 1.0)), start)
        if not found:
            raise PlayError("timed out waiting for %s" % what)
        return found

    def start(self):
        self.started = time.monotonic()
        width, height = self.size
        self.game = gamerun.Game(self.binary, "-w", str(width), "-h", str(height), "-win", "-aa", "JACK",
                                 *self.words, home=self.home, env=self.env, merge_errors=True)
        self.display, self.window = xwindow.find_window("Lumenfall", size=self.size, timeout=60)
        if self.window is None:
            raise PlayError("no %d x %d window named Lumenfall appeared" % self.size)
        self.mark("window")
        # No window manager gives the window the keyboard: give it the input
        # focus (an earlier window's exit may have left the focus on None)
        # and put the pointer in it.
        self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        self.display.sync()
        geometry = self.window.get_geometry()
        root = self.window.translate_coords(self.display.screen().root, 0, 0)
        subprocess.run(["xdotool", "mousemove", str(-root.x + geometry.width // 2),
                        str(-root.y + geometry.height // 2)], check=True, timeout=20)
        self.wait_line("Application: Audio started.", "the audio device to start", 30)
        ports = []
        for _ in range(100):
            ports = jack_output_ports()
            if len(ports) >= 2:
                break
            time.sleep(0.1)
        if len(ports) < 2:
            raise PlayError("the game's JACK output ports did not appear")
        if not self.record:
            return
        self.raw_recording = tempfile.NamedTemporaryFile(prefix="lumenfall-play-", suffix=".raw", delete=False).name
        self.recorder = Recorder(ports[:2], self.raw_recording)
        self.run.rate = self.recorder.samplerate
        self.mark("recording")

    def note_screen(self):
        # The window is black until the first frame is drawn.
        for _ in range(100):
            if grab(self.window).mean() > 5:
                break
            time.sleep(0.05)
        # Two screenshots a few frames apart: the noise pass changes its
        # picture every sixth frame.
        self.shot("note")
        first = self.run.shots["note"][1]
        for _ in range(10):
            time.sleep(0.25)
            self.shot("note-later")
            if not np.array_equal(first, self.run.shots["note-later"][1]):
                break
        if self.game.find(GAMEPLAY_CREATED, self.since):
            raise PlayError("the note screen ended before its screenshots were taken")

    def into_play(self):
        subprocess.run(["xdotool", "key", "x"], check=True, timeout=20)
        _, t, _ = self.wait_line(GAMEPLAY_CREATED, 'the switch to "GamePlay"', 30)
        self.mark("gameplay", t)
        # 100 frames untouched: every picture and recording has started.
        found = self.wait_line(PROGRESS, "the 100th play frame", 120)
        self.mark("frame100", found[1])
        self.shot("early-play")
        # Two more a little later: the title's glitch and the pictures behind
        # it change from frame to frame.
        for name in ("early-play-2", "early-play-3"):
            time.sleep(2.0)
            self.shot(name)
        frames = int(found[2].group(1))
        fps = frames / max(found[1] - t, 1e-3)
        # One letter a frame keeps a word's rate at its highest; a person
        # types at most about twelve letters a second.
        self.run.letters_per_second = min(12.0, max(4.0, fps * 1.2))
        self.log("about %.1f frames per second at first: typing %.1f letters a second"
                 % (fps, self.run.letters_per_second))

    def type_until(self, word, stop_pattern, what, half_shot=None, level_at_stop=1.0):
        delay = int(1000 / self.run.letters_per_second)
        start_line = len(self.game.lines)
        half_taken = half_shot is None
        index = WORDS.index(word)
        progress = progress_lines(self.game)
        self.typing_from_frame = progress[-1][1] if progress else 0
        while not self.game.find(stop_pattern, start_line):
            if self.time_left() <= 0:
                raise PlayError("ran out of time typing %r before %s" % (word, what))
            if self.game.proc.poll() is not None:
                raise PlayError("the game ended while %r was typed" % word)
            self.type_word(word, delay)
            progress = progress_lines(self.game)
            if (progress and progress[-1][1] > self.typing_from_frame + 300 and progress[-1][3][index] == 0.0):
                raise PlayError("300 frames of typing %r left its level at 0: the keys do not reach the game" % word)
            progress = progress_lines(self.game)
            if word + "-0.4" not in self.run.marks:
                # The first line at 0.4: from there the level sum may near
                # the strings' 2.5, so what comes before is the voices alone.
                reached = [line for line in progress
                           if line[3][index] >= 0.4 and line[0] > self.run.marks[word]]
                if reached:
                    self.mark(word + "-0.4", reached[0][0])
            if not half_taken:
                if progress and progress[-1][3][index] >= 0.5 and progress[-1][0] > self.run.marks[word]:
                    self.shot(half_shot)
                    half_taken = True
        found = self.game.find(stop_pattern, start_line)
        if word + "-0.4" not in self.run.marks:
            self.mark(word + "-0.4", self.estimate_04(word, found[1], level_at_stop))
        return found

    def estimate_04(self, word, stop_time, level_at_stop):
        """When no progress line (one each 100 frames) showed the word's level
        at 0.4 before the stop line came: the time on the straight line from
        the last progress line before the stop to the stop line, with its known
        level. A letter adds to the level's rate, so the level rises ever
        faster and reaches 0.4 no earlier than that."""
        index = WORDS.index(word)
        start = self.run.marks[word]
        t0, level0 = start, 0.0
        for line in progress_lines(self.game):
            if line[0] < stop_time and line[3][index] < 0.4:
                t0, level0 = max(line[0], start), line[3][index]
        return t0 + (0.4 - level0) / max(level_at_stop - level0, 1e-3) * (stop_time - t0)

    def play(self):
        for word, shot in (("hack", "hack-half"), ("scandal", "scandal-half")):
            self.mark(word)
            self.log('typing "%s"' % word)
            _, t, m = self.type_until(word, re.compile(r'"%s" complete' % word), "its completion", shot)
            self.mark(word + "-complete", t)
            self.run.frames[word + "-complete"] = int(COMPLETE.search(m.string).group(2))
            self.shot(word + "-complete")
        self.mark("paedophile")
        self.log('typing "paedophile"')
        # The finale starts at a level sum of 2.7, the other two at 1.
        _, t, m = self.type_until("paedophile", FINALE_STARTED, "the finale", "paedophile-half", 0.7)
        self.mark("finale-started", t)
        self.run.frames["finale-started"] = int(m.group(1))
        self.shot("finale-start")
        # The finale's 200 frames: two screenshots on the way, one after.
        started_frame = self.run.frames["finale-started"]
        found = self.wait_line(PROGRESS, "a progress line in the finale", 120)
        while found and int(found[2].group(1)) <= started_frame:
            found = self.wait_line(PROGRESS, "a progress line in the finale", 120, found[0] + 1)
        self.shot("finale-middle")
        _, t, m = self.wait_line(FINALE_ENDED, "the end of the finale", 200)
        self.mark("finale-ended", t)
        self.run.frames["finale-ended"] = int(m.group(1))
        time.sleep(1.5)
        self.shot("finale-end")
        # Let the final recordings sound for a while before quitting.
        time.sleep(self.linger)
        self.mark("finale-after")

    def quit(self, action="key"):
        """Escape pressed (or with "keydown", held), then the game's exit
        status and the seconds it took from the press."""
        subprocess.run(["xdotool", action, "Escape"], check=True, timeout=20)
        pressed = time.monotonic()
        try:
            self.run.status = self.game.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.run.status = None
        self.run.exit_seconds = time.monotonic() - pressed
        self.mark("exit")

    # --- the whole run ---------------------------------------------------------

    def execute(self):
        """Runs every step; on an error the game is killed and the error
        raised after the recording is closed. Returns the Run."""
        try:
            self.start()
            self.note_screen()
            self.into_play()
            self.play()
            self.quit()
        finally:
            if self.game:
                self.game.cleanup()
                self.run.output = self.game.output()
            if self.recorder:
                self.recorder.stop()
                first = self.recorder.first_frame or 0
                # Frame times wrap at 2^32; a step noted before the first
                # recorded block sits at the recording's start.
                for name, frame in self.run.sample_marks.items():
                    offset = (frame - first) % 2**32
                    self.run.sample_marks[name] = offset if offset < 2**31 else 0
                self.run.samples = self.recorder.samples()
                os.unlink(self.raw_recording)
                if self.recording_path:
                    write_wav(self.run.samples, self.run.rate, self.recording_path)
                    self.run.recording = self.recording_path
            if self.display:
                self.display.close()
            self.run.seconds = time.monotonic() - self.started
            self._frame_rate()
        return self.run

    def _frame_rate(self):
        """Frames per second from the game's own clock, over the longest
        stretch of progress lines."""
        if not self.game:
            return
        progress = progress_lines(self.game)
        if len(progress) >= 2:
            first, last = progress[0], progress[-1]
            self.run.fps_frames = last[1] - first[1]
            self.run.fps = self.run.fps_frames * 1000.0 / max(last[2] - first[2], 1)


if __name__ == "__main__" and len(sys.argv) >= 5 and sys.argv[1] == "--record":
    record(sys.argv[2], sys.argv[3:5])
