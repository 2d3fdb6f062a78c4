"""Bad and unusual pictures in "images" and "feathers" under the real game:
it keeps running and drawing, names every picture it skipped, and never draws
a picture it got no handle for (that would stop it at the drawer's check)."""
import os
import random
import shutil
import struct
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
import gamerun  # noqa: E402

FIXTURES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "fixtures")


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, colour_type, bit_depth, row, plte=None):
    """A PNG whose every row holds the bytes `row`."""
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    raw = (b"\x00" + row) * height
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    if plte is not None:
        data += chunk(b"PLTE", plte)
    return data + chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b"")


def bmp(width, height):
    """A 24-bit Windows bitmap: a format the game does not ship."""
    row = (b"\x40\x80\xc0" * width).ljust((width * 3 + 3) // 4 * 4, b"\x00")
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def write_pictures(folder):
    """Fills folder with bad and unusual pictures; returns (names the game
    must skip, names it must load)."""
    rng = random.Random(4)
    with open(os.path.join(gamerun.REPO_DATA, "images", "news00.jpg"), "rb") as f:
        real_jpeg = f.read()
    with open(os.path.join(FIXTURES, "red-4x4.gif"), "rb") as f:
        gif = f.read()
    rgb = png(64, 64, 2, 8, bytes(range(192)))
    skipped = {
        "zero.png": b"",
        "random.png": bytes(rng.getrandbits(8) for _ in range(5000)),
        "random.jpg": bytes(rng.getrandbits(8) for _ in range(5000)),
        "cut.png": rgb[:len(rgb) // 2],
        "notes.txt": b"Pictures of the night's news.\n",
        # Decodable formats the game does not ship, under a shipped name.
        "gif-inside.png": gif,
        "bitmap-inside.jpg": bmp(8, 8),
    }
    loaded = {
        "deep16.png": png(64, 64, 2, 16, bytes(range(256)) + bytes(range(128))),
        "palette.png": png(64, 64, 3, 8, bytes(i % 4 for i in range(64)), plte=bytes(range(12))),
        "huge.png": png(4096, 4096, 2, 8, bytes(range(256)) * 48),
        # libjpeg fills in what a cut JPEG lacks: it still loads.
        "cut.jpg": real_jpeg[:len(real_jpeg) // 2],
    }
    for name, content in {**skipped, **loaded}.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
    os.mkdir(os.path.join(folder, "sub-folder"))
    return set(skipped) | {"sub-folder"}, set(loaded)


class PictureTests(unittest.TestCase):
    def run_game(self, folder, skipped, loaded):
        """Plays on the folder's data until every picture was tried, then
        checks what was skipped and that the game draws and quits cleanly."""
        game = gamerun.Game(folder.binary, "-w", "320", "-h", "180", "-win", "-ns")
        self.addCleanup(game.cleanup)
        self.assertTrue(game.ready(), game.report())
        game.press_key("a")
        self.assertTrue(game.wait_for_output("GamePlay created", 20), game.report())
        lines = {("ImageManager: Skipped " + os.path.join(folder.folder("images"), name)) for name in skipped}
        lines |= {("GlitchImage: Skipped feather " + os.path.join(folder.folder("feathers"), name))
                  for name in skipped}
        self.assertTrue(game.wait_for_output(sorted(lines), 60), game.report())
        output = game.output()
        for line in lines:
            self.assertIn(line, output, game.report())
        for name in loaded:
            self.assertNotIn(os.path.join(folder.folder("images"), name) + ":", output)
            self.assertNotIn(os.path.join(folder.folder("feathers"), name) + ":", output)
        # One line for each picture skipped, not one per frame.
        skip_lines = [line for line in output.splitlines() if "Skipped" in line]
        self.assertEqual(len(skip_lines), 2 * len(skipped), "\n".join(skip_lines))
        self.assertTrue(game.keeps_drawing(), "the window stopped changing\n" + game.report())
        game.close_window()
        self.assertEqual(game.wait(timeout=15), 0, game.report())
        self.assertNotIn("failed assertion", game.errors())
        return output

    def test_bad_and_unusual_pictures_among_good_ones(self):
        folder = gamerun.GameFolder(replace=["images", "feathers"])
        self.addCleanup(folder.cleanup)
        for sub in ("images", "feathers"):
            skipped, loaded = write_pictures(folder.folder(sub))
            real = sorted(os.listdir(os.path.join(gamerun.REPO_DATA, sub)))[:3]
            for name in real:
                shutil.copy(os.path.join(gamerun.REPO_DATA, sub, name), folder.folder(sub))
        output = self.run_game(folder, skipped, loaded)
        self.assertIn("ImageLoader: Warning: image (" + os.path.join(folder.folder("images"), "huge.png") +
                      ") dimensions greater than 1024 (4096x4096)", output)

    def test_no_readable_picture_at_all_draws_no_picture_and_runs_on(self):
        folder = gamerun.GameFolder(replace=["images", "feathers"])
        self.addCleanup(folder.cleanup)
        for sub in ("images", "feathers"):
            skipped, loaded = write_pictures(folder.folder(sub))
            for name in loaded:
                os.unlink(os.path.join(folder.folder(sub), name))
        self.run_game(folder, skipped, set())


if __name__ == "__main__":
    unittest.main(verbosity=2)
