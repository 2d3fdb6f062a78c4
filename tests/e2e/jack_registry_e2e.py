"""JACK's registry of servers holds eight, and a server that is killed keeps
its entry: the harness must free such entries, or every later test that
needs JACK fails with "Too many servers already active". Real servers,
killed as a test ended by force leaves them."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

HARNESS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness")


def harness(script, *args, env=None):
    return subprocess.run([os.path.join(HARNESS, script)] + list(args), env=env, capture_output=True, text=True,
                          timeout=120)


def stale_names():
    result = harness("jack-stale")
    assert result.returncode == 0, result.stderr
    return result.stdout.split()


class RegistryTest(unittest.TestCase):
    def start(self, name, releasing=False):
        state = tempfile.mkdtemp(prefix="lumenfall-jack-")
        self.addCleanup(shutil.rmtree, state, True)
        env = dict(os.environ)
        if releasing:
            # Starts it as it is, freeing nothing first.
            env["LUMENFALL_JACK_RELEASING"] = "1"
        args = [state, "44100"] + ([name] if name else [])
        result = harness("jack-start", *args, env=env)
        self.addCleanup(harness, "jack-stop", state)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(state, "jack.pid")) as f:
            return int(f.read())

    def kill(self, pid):
        os.kill(pid, 9)
        deadline = time.monotonic() + 30
        while os.path.exists("/proc/%d" % pid) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse(os.path.exists("/proc/%d" % pid), "the killed server was not reaped")

    def test_a_full_registry_of_killed_servers_is_freed_by_the_next_start(self):
        names = ["lumenfall-killed-%d-%d" % (os.getpid(), i) for i in range(8)]
        for name in names:
            self.kill(self.start(name, releasing=True))
        self.assertTrue(set(names) <= set(stale_names()))
        self.start(None)
        self.assertFalse(set(names) & set(stale_names()))
        leftovers = [f for f in os.listdir("/dev/shm") if any(name in f for name in names)]
        self.assertEqual(leftovers, [])

    def test_a_running_server_is_not_listed(self):
        pid = self.start("lumenfall-running-%d" % os.getpid(), releasing=True)
        self.assertNotIn("lumenfall-running-%d" % os.getpid(), stale_names())
        self.assertTrue(os.path.exists("/proc/%d" % pid))


if __name__ == "__main__":
    unittest.main()
