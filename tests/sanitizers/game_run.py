"""A short real run of the game built with a sanitizer, under the harness's
Xvfb and JACK: the note screen, a key press into the play state, a few
seconds of typing while the recordings stream and the audio callback runs,
then SIGTERM. The run passes when the game reached the play state with its
audio running, quit with status 0 (the sanitizers turn any report into a
non-zero status) and printed no sanitizer report or failed assertion."""
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import xwindow  # noqa: E402

BINARY = os.environ["LUMENFALL_BINARY"]
PLAY_SECONDS = float(os.environ.get("LUMENFALL_PLAY_SECONDS", "8"))
REPORT_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "WARNING: ThreadSanitizer",
                "ThreadSanitizer:", "runtime error:", "failed assertion")


def read(out):
    out.seek(0)
    return out.read().decode("utf-8", "replace")


def wait_for_line(out, proc, text, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if text in read(out):
            return True
        if proc.poll() is not None:
            return False
        time.sleep(0.2)
    return False


def fail(message, out):
    print("FAIL:", message)
    print(read(out))
    sys.exit(1)


def main():
    out = tempfile.TemporaryFile()
    proc = subprocess.Popen([BINARY, "-w", "640", "-h", "360", "-win", "-aa", "JACK"], stdout=out,
                            stderr=subprocess.STDOUT)
    try:
        _, window = xwindow.find_window("Lumenfall", size=(640, 360), timeout=60)
        if window is None:
            fail("no game window appeared", out)
        if not wait_for_line(out, proc, "Application: Audio started.", 30):
            fail("the audio device did not start", out)
        wid = str(window.id)
        # Any key leads on from the note screen.
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], check=False, timeout=10)
        subprocess.run(["xdotool", "key", "--window", wid, "space"], check=False, timeout=10)
        if not wait_for_line(out, proc, "Application::nextState() GamePlay created.", 60):
            fail("the play state was not reached", out)
        end = time.time() + PLAY_SECONDS
        while time.time() < end and proc.poll() is None:
            subprocess.run(["xdotool", "type", "--window", wid, "--delay", "120", "hackscandal"], check=False,
                           timeout=30)
        if proc.poll() is not None:
            fail("the game ended during play (status %d)" % proc.returncode, out)
        proc.send_signal(signal.SIGTERM)
        status = proc.wait(timeout=120)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    output = read(out)
    marks = [mark for mark in REPORT_MARKS if mark in output]
    if status != 0 or marks:
        fail("exit status %d, reports: %s" % (status, ", ".join(marks) or "none"), out)
    print("played %.0f s in the play state; exit status 0, no sanitizer report" % PLAY_SECONDS)


if __name__ == "__main__":
    main()
