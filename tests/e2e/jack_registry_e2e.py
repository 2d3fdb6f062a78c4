"""JACK's registry of servers holds eight, and a server that is killed keeps
its entry: the harness must free such entries, or every later test that
needs JACK fails with "Too many servers already active". Real servers,
killed as a test ended by force leaves them. Another test run on the same
machine may free them first, or hold servers of its own, so the test never
counts on free places in the registry."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

HARNESS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness")
REGISTRY = "/dev/shm/jack-shm-registry"


def harness(script, *args, env=None):
    return subprocess.run([os.path.join(HARNESS, script)] + list(args), env=env, capture_output=True, text=True,
                          timeout=120)


def registered(name):
    """Whether JACK's registry holds the server, running or not."""
    with open(REGISTRY, "rb") as f:
        return ("jack-%d:%s:" % (os.getuid(), name)).encode() in f.read()


class RegistryTest(unittest.TestCase):
    def start(self, name, releasing=False):
        state = tempfile.mkdtemp(prefix="lumenfall-jack-")
        self.addCleanup(shutil.rmtree, state, True)
        env = dict(os.environ)
        if releasing:
            # Starts it as it is, freeing nothing first.
            env["LUMENFALL_JACK_RELEASING"] = "1"
        result = harness("jack-start", state, "44100", *([name] if name else []), env=env)
        self.addCleanup(harness, "jack-stop", state)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(state, "jack.pid")) as f:
            return int(f.read())

    def test_the_next_start_frees_the_entries_of_killed_servers_and_only_those(self):
        killed = ["lumenfall-killed-%d-%d" % (os.getpid(), i) for i in range(3)]
        for name in killed:
            pid = self.start(name, releasing=True)
            os.kill(pid, 9)
            deadline = time.monotonic() + 30
            while os.path.exists("/proc/%d" % pid) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertFalse(os.path.exists("/proc/%d" % pid), "the killed server was not reaped")
        running = "lumenfall-running-%d" % os.getpid()
        self.start(running, releasing=True)
        self.assertTrue(any(registered(name) for name in killed), "no killed server kept its entry")

        self.start(None)
        # A freeing server of another run may hold one of the names a moment.
        deadline = time.monotonic() + 20
        while any(registered(name) for name in killed) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual([name for name in killed if registered(name)], [])
        self.assertTrue(registered(running))
        leftovers = [f for f in os.listdir("/dev/shm") if any(name in f for name in killed)]
        self.assertEqual(leftovers, [])


if __name__ == "__main__":
    unittest.main()
