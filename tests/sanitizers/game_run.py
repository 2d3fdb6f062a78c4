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
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import gamerun  # noqa: E402

BINARY = os.environ["LUMENFALL_BINARY"]
PLAY_SECONDS = float(os.environ.get("LUMENFALL_PLAY_SECONDS", "8"))
REPORT_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "WARNING: ThreadSanitizer",
                "ThreadSanitizer:", "runtime error:", "failed assertion")


def fail(message, game):
    print("FAIL:", message)
    print(game.output())
    sys.exit(1)


def main():
    game = gamerun.Game(BINARY, "-w", "640", "-h", "360", "-win", "-aa", "JACK", merge_errors=True)
    proc = game.proc
    try:
        if game.find_window(timeout=60) is None:
            fail("no game window appeared", game)
        if not game.wait_for_output("Application: Audio started.", 30):
            fail("the audio device did not start", game)
        wid = str(game.window.id)
        # Any key leads on from the note screen.
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], check=False, timeout=10)
        subprocess.run(["xdotool", "key", "--window", wid, "space"], check=False, timeout=10)
        if not game.wait_for_output("Application::nextState() GamePlay created.", 60):
            fail("the play state was not reached", game)
        end = time.time() + PLAY_SECONDS
        while time.time() < end and proc.poll() is None:
            subprocess.run(["xdotool", "type", "--window", wid, "--delay", "120", "hackscandal"], check=False,
                           timeout=30)
        if proc.poll() is not None:
            fail("the game ended during play (status %d)" % proc.returncode, game)
        proc.send_signal(signal.SIGTERM)
        status = game.wait(timeout=120)
    finally:
        game.cleanup()
    output = game.output()
    marks = [mark for mark in REPORT_MARKS if mark in output]
    if status != 0 or marks:
        fail("exit status %s, reports: %s" % (status, ", ".join(marks) or "none"), game)
    print("played %.0f s in the play state; exit status 0, no sanitizer report" % PLAY_SECONDS)


if __name__ == "__main__":
    main()
