"""The portable archive's launcher (packaging/portable/lumenfall) adds a
folder of lib/fallback/ to LD_LIBRARY_PATH only when the system has no
library of the folder's name, so that the system's libjack and libpulse win
when there are any. Run against a copy of the launcher whose game prints the
path it was given."""
import os
import shutil
import subprocess
import tempfile
import unittest

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "portable", "lumenfall")
# A library every glibc system has, and names no system has.
PRESENT = "libc.so.6"
MISSING = ("liblumenfall-missing-a.so.0", "liblumenfall-missing-b.so.0")


class LauncherTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="lumenfall-launcher-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        shutil.copy(LAUNCHER, os.path.join(self.folder, "lumenfall"))
        game = os.path.join(self.folder, "lumenfall.x86_64")
        with open(game, "w") as f:
            f.write('#!/bin/sh\nprintf "%s\\n" "$LD_LIBRARY_PATH" "$@"\n')
        os.chmod(game, 0o755)
        for name in (PRESENT,) + MISSING:
            os.makedirs(os.path.join(self.folder, "lib", "fallback", name))

    def run_launcher(self, library_path=None):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        if library_path is not None:
            env["LD_LIBRARY_PATH"] = library_path
        # Started through a symbolic link, as from a menu or ~/bin.
        link = os.path.join(self.folder, "link")
        os.symlink(os.path.join(self.folder, "lumenfall"), link)
        out = subprocess.run([link, "-win", "-w 640"], env=env, capture_output=True, text=True, check=True).stdout
        path, *words = out.splitlines()
        self.assertEqual(words, ["-win", "-w 640"])
        return path.split(":")

    def fallback(self, name):
        return os.path.join(os.path.realpath(self.folder), "lib", "fallback", name)

    def test_only_the_folders_of_missing_libraries_are_added_each_once(self):
        self.assertEqual(self.run_launcher(), [self.fallback(name) for name in MISSING])

    def test_a_library_on_the_callers_path_counts_as_the_systems(self):
        # pw-jack puts PipeWire's libjack on LD_LIBRARY_PATH.
        own = os.path.join(self.folder, "pipewire-jack")
        os.makedirs(own)
        open(os.path.join(own, MISSING[0]), "w").close()
        self.assertEqual(self.run_launcher(own), [own, self.fallback(MISSING[1])])


if __name__ == "__main__":
    unittest.main(verbosity=2)
