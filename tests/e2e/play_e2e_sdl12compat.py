"""The same play-through with the game loaded against sdl12-compat (SDL 1.2's
interface on top of SDL 2) instead of classic SDL 1.2: Debian's
libsdl1.2-compat package is fetched with apt-get, unpacked with dpkg -x into
the build folder and put first on LD_LIBRARY_PATH. Skipped (status 77) when
the package cannot be fetched, e.g. without a network."""
import glob
import os
import subprocess
import sys

SKIP = 77
here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import gamerun  # noqa: E402


# From Debian 13 on, sdl12-compat is the system's only SDL 1.2, which play_e2e
# already plays against (Debian 13's libsdl1.2debian is built from it).
system_sdl = gamerun.sdl_library(os.environ["LUMENFALL_BINARY"])
owner = subprocess.run(["dpkg", "-S", os.path.realpath(system_sdl)], capture_output=True, text=True).stdout
source = subprocess.run(["dpkg-query", "-W", "-f", "${source:Package}", owner.split(":")[0]],
                        capture_output=True, text=True).stdout if owner else ""
if source == "sdl12-compat":
    print("skipped: the game already loads sdl12-compat from the system (%s), as play_e2e plays it" % system_sdl)
    sys.exit(SKIP)
cache = os.path.join(os.environ["LUMENFALL_BUILD_DIR"], "sdl12-compat")
os.makedirs(cache, exist_ok=True)
debs = glob.glob(os.path.join(cache, "libsdl1.2-compat_*.deb"))
if not debs:
    fetched = subprocess.run(["apt-get", "download", "libsdl1.2-compat"], cwd=cache, capture_output=True, text=True)
    debs = glob.glob(os.path.join(cache, "libsdl1.2-compat_*.deb"))
    if not debs:
        print("skipped: apt-get download libsdl1.2-compat failed:\n" + fetched.stdout + fetched.stderr)
        sys.exit(SKIP)
unpacked = os.path.join(cache, "root")
subprocess.run(["dpkg", "-x", debs[0], unpacked], check=True)
libs = glob.glob(os.path.join(unpacked, "usr", "lib", "*", "sdl12-compat", "libSDL-1.2.so.0"))
if not libs:
    sys.exit("no libSDL-1.2.so.0 in " + debs[0])
library_dir = os.path.dirname(libs[0])

# The dynamic loader must pick the unpacked library for the game.
env = dict(os.environ, LD_LIBRARY_PATH=library_dir)
loaded = gamerun.sdl_library(os.environ["LUMENFALL_BINARY"], env)
if not loaded.startswith(library_dir):
    sys.exit("the game does not load sdl12-compat from %s: %r" % (library_dir, loaded))
print("playing with " + loaded, flush=True)

env = dict(os.environ, LUMENFALL_SDL_LIBRARY_DIR=library_dir)
sys.exit(subprocess.run([sys.executable, os.path.join(here, "play_e2e.py")], env=env).returncode)
