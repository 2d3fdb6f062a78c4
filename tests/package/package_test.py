"""The Debian package as a player gets it: tools/package builds it inside the
build tree, then its files, its control fields, its desktop metadata and
lintian's verdict are checked, and the game is started from the unpacked
package under the harness's Xvfb."""
import gzip
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import gamerun  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ["LUMENFALL_BUILD_DIR"]
APP_ID = "org.lumenfall.lumenfall"
ICON_SIZES = (16, 32, 48, 128, 256)


def run(*command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kwargs)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Lumenfall VERSION ([0-9.]+)", f.read()).group(1)


def data_files():
    """Every file the game reads at run time, from the source tree's data folder."""
    files = set()
    data = os.path.join(ROOT, "data")
    for folder, _, names in os.walk(data):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), data)
            if name != ".keep" and not relative.startswith("icons/"):
                files.add(relative)
    return files


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        built = run(os.path.join(ROOT, "tools", "package"), os.path.join(BUILD, "package-tree"))
        if built.returncode != 0:
            raise AssertionError("tools/package failed:\n" + built.stdout)
        cls.deb = built.stdout.strip().splitlines()[-1]
        cls.root = tempfile.mkdtemp(prefix="lumenfall-unpacked-")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_file_name_and_control_fields(self):
        version = project_version()
        self.assertEqual(os.path.basename(self.deb), "lumenfall_%s_amd64.deb" % version)
        fields = run("dpkg-deb", "-f", self.deb, "Package", "Version", "Architecture", "Section").stdout
        self.assertEqual(fields.split(),
                         ["Package:", "lumenfall", "Version:", version, "Architecture:", "amd64", "Section:", "games"])

    def test_depends_names_the_runtime_library_of_every_needed_object(self):
        depends = run("dpkg-deb", "-f", self.deb, "Depends").stdout
        names = {re.match(r"\s*([a-z0-9.+-]+)", alternative).group(1)
                 for dependency in depends.split(",") for alternative in dependency.split("|")}
        # Run-time libraries only: no development package, compiler or test tool.
        self.assertTrue(names, depends)
        for name in names:
            self.assertTrue(name.startswith("lib") and not name.endswith("-dev"), depends)
        # Independently of dpkg-shlibdeps: the package that holds each library
        # the executable names must be among the dependencies.
        binary = os.path.join(self.root, "usr/games/lumenfall")
        needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", run("readelf", "-d", binary).stdout)
        self.assertIn("libSDL-1.2.so.0", needed)
        for library in needed:
            found = run("dpkg", "-S", "*/" + library).stdout
            owners = {line.split(":")[0] for line in found.splitlines() if ":" in line}
            self.assertTrue(owners & names, "%s (from %s) is not in Depends: %s" % (library, owners, depends))

    def test_files_are_the_game_in_the_debian_games_layout(self):
        listing = run("dpkg-deb", "-c", self.deb).stdout.splitlines()
        files = {}
        for line in listing:
            mode, owner, _, _, _, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            if mode.startswith("d"):
                self.assertEqual(mode, "drwxr-xr-x", line)
            else:
                files[path[1:]] = mode
        expected = {"/usr/games/lumenfall": "-rwxr-xr-x"}
        for name in data_files():
            expected["/usr/share/games/lumenfall/" + name] = "-rw-r--r--"
        for name in ["applications/lumenfall.desktop", "metainfo/%s.metainfo.xml" % APP_ID,
                     "icons/hicolor/scalable/apps/lumenfall.svg", "man/man6/lumenfall.6.gz",
                     "doc/lumenfall/copyright", "doc/lumenfall/changelog.gz",
                     "doc/lumenfall/examples/lumenfall-exhibit.desktop",
                     "doc/lumenfall/examples/lumenfall-exhibit.service"] + [
                     "icons/hicolor/%dx%d/apps/lumenfall.png" % (s, s) for s in ICON_SIZES]:
            expected["/usr/share/" + name] = "-rw-r--r--"
        self.assertEqual(files, expected)

    def test_desktop_metadata_is_valid_and_complete(self):
        share = os.path.join(self.root, "usr/share")
        desktop = os.path.join(share, "applications", "lumenfall.desktop")
        checked = run("desktop-file-validate", desktop)
        self.assertEqual((checked.returncode, checked.stdout), (0, ""))
        metainfo = os.path.join(share, "metainfo", APP_ID + ".metainfo.xml")
        checked = run("appstreamcli", "validate", "--no-net", "--pedantic", metainfo)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        self.assertNotIn("W:", checked.stdout)
        with open(desktop) as f:
            entry = f.read()
        # A full path, so that the menu entry works without /usr/games on PATH.
        self.assertIn("\nExec=/usr/games/lumenfall\n", entry)
        self.assertIn("\nIcon=lumenfall\n", entry)
        for size in ICON_SIZES:
            with open(os.path.join(share, "icons/hicolor/%dx%d/apps/lumenfall.png" % (size, size)), "rb") as f:
                header = f.read(24)
            self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(struct.unpack(">II", header[16:24]), (size, size))
        svg = os.path.join(share, "icons/hicolor/scalable/apps/lumenfall.svg")
        with tempfile.NamedTemporaryFile(suffix=".png") as png:
            rendered = run("rsvg-convert", "-w", "48", "-h", "48", "-o", png.name, svg)
            self.assertEqual(rendered.returncode, 0, rendered.stdout)
        # The release named everywhere is the package's.
        version = project_version()
        with open(metainfo) as f:
            self.assertRegex(f.read(), r'<release version="%s"' % re.escape(version))
        with gzip.open(os.path.join(share, "doc/lumenfall/changelog.gz"), "rt") as f:
            self.assertEqual(f.readline().split()[:2], ["lumenfall", "(%s)" % version])
        with gzip.open(os.path.join(share, "man/man6/lumenfall.6.gz"), "rt") as f:
            self.assertRegex(f.read(), r'\.TH LUMENFALL 6 "[0-9-]+" "Lumenfall %s"' % re.escape(version))

    def test_lintian_finds_no_error(self):
        checked = run("lintian", "--fail-on", "error", self.deb)
        self.assertEqual(checked.returncode, 0, checked.stdout)
        self.assertNotIn("\nE: ", "\n" + checked.stdout)

    def start(self, binary):
        game = gamerun.Game(binary, "-w", "320", "-h", "180", "-win", "-ns", merge_errors=True)
        self.addCleanup(game.cleanup)
        return game

    def test_the_unpacked_game_finds_its_own_data_and_names_the_install_folder(self):
        binary = os.path.join(self.root, "usr/games/lumenfall")
        game = self.start(binary)
        self.assertTrue(game.wait_for_output("Application::Application() end", 60), game.report())
        game.proc.send_signal(signal.SIGTERM)
        self.assertEqual(game.wait(timeout=20), 0, game.report())
        places = re.findall(r"^Debug: .*  \((.*)  line:\d+\)$", game.output(), re.M)
        self.assertTrue(places)
        for place in places:
            self.assertRegex(place, r"^src/", "a Debug line names a build machine path")

        if os.path.isdir("/usr/share/games/lumenfall"):
            self.skipTest("the package is installed here; its data folder would be found")
        data = os.path.join(self.root, "usr/share/games/lumenfall")
        os.rename(data, data + ".away")
        self.addCleanup(os.rename, data + ".away", data)
        game = self.start(binary)
        self.assertEqual(game.wait(timeout=30), 1, game.report())
        games = os.path.join(self.root, "usr/games")
        self.assertIn("Could not find the game's data folder; looked in: %s/data %s/../share/lumenfall "
                      "%s/../share/games/lumenfall /usr/share/games/lumenfall" % (games, games, games),
                      game.output())


if __name__ == "__main__":
    unittest.main(verbosity=2)
