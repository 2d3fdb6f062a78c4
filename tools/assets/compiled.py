"""Pictures compiled into the program: note screen, noise, title lines, background,
scan lines, line stroke and the 43 glyph images."""

import os
import sys

import numpy as np
from PIL import Image, ImageDraw

import common as c
import portrait

BOLD = "DejaVuSans-Bold.ttf"
BOOK = "DejaVuSans.ttf"


def noteback():
    r = c.rng(101)
    h = w = 1024
    x = np.linspace(0.0, 1.0, w, dtype=np.float32)[None, :]
    # Slightly lighter towards the left edge (the outer screen edge once mirrored).
    base = 26.0 + 20.0 * (1.0 - x) ** 2.2
    mottle = c.smooth_noise(r, h, w, 96, octaves=4) * 7.0
    streak = c.smooth_noise(r, h, w // 8, 6, octaves=2)
    streak = np.asarray(Image.fromarray(streak, "F").resize((w, h), Image.BICUBIC)) * 3.0
    # No per-pixel grain here (the post-processing pass adds it), which keeps the
    # compiled-in PNG small; a slight cool tint in blue.
    v = base + mottle + streak
    img = np.stack([v, v, v + 2.0], axis=-1)
    c.save_png(Image.fromarray(c.to_u8(img), "RGB"), os.path.join(c.SRC_IMAGES, "noteback.png"))


def note():
    f = c.font(BOOK, 54)
    img = c.white_text_rgba(1024, 256, ["This piece is best played",
                                        "with the sound turned up loud."], f, line_gap=1.45)
    c.save_png(img, os.path.join(c.SRC_IMAGES, "note.png"))


def title():
    f = c.font(BOLD, 50)
    c.save_png(c.white_text_rgba(1024, 64, ["Lumenfall"], f), os.path.join(c.SRC_IMAGES, "title.png"))


def rituals():
    f = c.font(BOLD, 46)
    img = c.white_text_rgba(1024, 128, ["The rituals will cleanse your soul."], f)
    c.save_png(img, os.path.join(c.SRC_IMAGES, "rituals.png"))


def noise_images():
    """Four grain textures centred on mid grey; the post-processing shader reads
    them as signed offsets (value - 0.5)."""
    n = 512
    kinds = []
    r = c.rng(201)
    # 1: fine film grain.
    kinds.append(128 + r.standard_normal((n, n)) * 30)
    # 2: blotchy grain, soft clumps under fine grain.
    r = c.rng(202)
    kinds.append(128 + c.smooth_noise(r, n, n, 3, octaves=2) * 38 + r.standard_normal((n, n)) * 14)
    # 3: scratched film: grain, vertical scratches and dust specks.
    r = c.rng(203)
    v = 128 + r.standard_normal((n, n)) * 20
    for _ in range(14):
        x0 = r.uniform(0, n)
        wob = c.smooth_noise(r, n, 1, 40)[:, 0] * 4
        xs = np.clip((x0 + wob).astype(int), 0, n - 1)
        sign = 1 if r.uniform() < 0.6 else -1
        v[np.arange(n), xs] += sign * r.uniform(40, 90)
    for _ in range(60):
        cy, cx = r.integers(0, n, 2)
        rad = r.uniform(0.8, 3.0)
        yy, xx = np.ogrid[-4:5, -4:5]
        spot = np.exp(-(yy * yy + xx * xx) / (rad * rad)) * r.choice([-90, 90])
        ys, xs = (cy + yy) % n, (cx + xx) % n
        v[ys, xs] += spot
    kinds.append(v)
    # 4: video noise: horizontal bands of varying brightness with fine grain.
    r = c.rng(204)
    rows = np.repeat(r.standard_normal(n // 2), 2)[:, None] * 18
    bands = c.smooth_noise(r, n, 1, 24)[:, :1] * 22
    kinds.append(128 + rows + bands + r.standard_normal((n, n)) * 22)
    for i, v in enumerate(kinds):
        img = Image.fromarray(c.to_u8(v), "L").convert("RGB")
        c.save_jpg(img, os.path.join(c.SRC_NOISE, "noise%d.jpg" % (i + 1)), quality=90)


def lumenfallback():
    """Red sky; a yellow glow along the middle, strongest at the right edge, where the
    two mirrored halves meet at the screen centre."""
    r = c.rng(301)
    n = 1024
    y = np.linspace(-1.0, 1.0, n, dtype=np.float32)[:, None]
    x = np.linspace(0.0, 1.0, n, dtype=np.float32)[None, :]
    clouds = c.smooth_noise(r, n, n, 160, octaves=5)
    # Stretch the clouds horizontally into streaks.
    streaks = np.asarray(Image.fromarray(c.smooth_noise(r, n, n // 4, 60, octaves=3), "F")
                         .resize((n, n), Image.BICUBIC))
    sky = 0.55 + 0.25 * (1.0 - np.abs(y)) + 0.10 * clouds + 0.08 * streaks
    width = 0.10 + 0.16 * x ** 1.5
    band = np.exp(-(y / width) ** 2) * (0.25 + 0.75 * x ** 2.5)
    band *= 1.0 + 0.15 * streaks
    core = np.exp(-(y / (width * 0.35)) ** 2) * x ** 4
    red = 150 + 105 * sky + 80 * band
    green = 10 + 30 * sky * (1 - np.abs(y)) + 200 * band + 40 * core
    blue = 12 + 14 * sky + 40 * band * x + 140 * core
    img = np.stack([red, green, blue], axis=-1)
    c.save_jpg(Image.fromarray(c.to_u8(img), "RGB"), os.path.join(c.SRC_IMAGES, "lumenfallback.jpg"), 85)


def lumenfalllines():
    """One-pixel column: black with a periodic alpha of 1 to 14, faint scan lines."""
    y = np.arange(1024, dtype=np.float64)
    line = (0.5 + 0.5 * np.cos(2 * np.pi * y / 4.0)) ** 2
    slow = 0.5 + 0.5 * np.sin(2 * np.pi * y / 128.0)
    alpha = np.round(1 + 9 * line + 4 * line * slow).astype(np.uint8)
    px = np.zeros((1024, 1, 4), np.uint8)
    px[:, 0, 3] = alpha
    c.save_png(Image.fromarray(px, "RGBA"), os.path.join(c.SRC_IMAGES, "lumenfalllines.png"))


def linestroke():
    """8 x 8 white stroke whose columns fade out at both edges."""
    alpha = np.array([2, 33, 192, 255, 255, 192, 33, 2], np.uint8)
    px = np.full((8, 8, 4), 255, np.uint8)
    px[:, :, 3] = alpha[None, :]
    c.save_png(Image.fromarray(px, "RGBA"), os.path.join(c.SRC_DRAWING, "linestroke.png"))


GLYPHS = [(ch, ch.lower()) for ch in "ABCDEFGHIJKLMNOPQRSTUVWXYZ"] + \
         [(d, d) for d in "0123456789"] + \
         [(".", "period"), (",", "comma"), ("+", "plus"), ("-", "minus"),
          ("!", "exclaim"), ("?", "question"), (":", "colon")]


def glyphs():
    """43 glyph cells of 64 x 64, white with the lettering in alpha. All glyphs share
    one baseline so that a line of glyph text sits level."""
    f = c.font(BOLD, 50)
    asc, _ = f.getmetrics()
    probe = ImageDraw.Draw(Image.new("L", (1, 1)))
    top = probe.textbbox((0, 0), "A", font=f)[1]
    cap = probe.textbbox((0, 0), "A", font=f)[3] - top
    baseline_y = (64 - cap) // 2 - top  # capitals centred vertically
    for ch, name in GLYPHS:
        mask = Image.new("L", (64, 64), 0)
        d = ImageDraw.Draw(mask)
        w = d.textlength(ch, font=f)
        d.text(((64 - w) / 2, baseline_y), ch, font=f, fill=255)
        img = Image.new("RGBA", (64, 64), (255, 255, 255, 0))
        img.putalpha(mask)
        c.save_png(img, os.path.join(c.SRC_FONTS, "font%s.png" % name))


def icon():
    """Application icon: a glowing horizon band over a red field with a halftone
    head silhouette, readable from 48 pixels up."""
    n = 256
    y = np.linspace(-1, 1, n, dtype=np.float32)[:, None]
    x = np.linspace(-1, 1, n, dtype=np.float32)[None, :]
    band = np.exp(-(y / 0.16) ** 2) * np.exp(-(x / 0.9) ** 2)
    red = 120 + 110 * (1 - np.abs(y)) + 25 * band
    green = 8 + 215 * band
    blue = 18 + 90 * band ** 3
    rgb = np.stack([red, green, blue], axis=-1)
    sil = np.asarray(portrait.silhouette(n), np.float32) / 255.0
    ink = c.halftone(1.0 - sil * 0.85, cell=5.0, angle=45.0)
    rgb = rgb * (1 - ink[..., None] * 0.9)
    # Rounded square with a soft edge.
    d = np.maximum(np.abs(x), np.abs(y))
    rr = np.sqrt(np.maximum(np.abs(x) - 0.78, 0) ** 2 + np.maximum(np.abs(y) - 0.78, 0) ** 2)
    alpha = np.clip((0.18 - rr) * 200, 0, 1) * (d < 1.0)
    img = Image.fromarray(np.dstack([c.to_u8(rgb), c.to_u8(alpha * 255)]), "RGBA")
    out = os.path.join(c.DATA, "icons")
    c.save_png(img, os.path.join(out, "lumenfall.png"))
    # Sized copies for the hicolor icon theme (256 is the full picture again).
    c.save_png(img, os.path.join(out, "lumenfall-256.png"))
    for s in (16, 32, 48, 128):
        c.save_png(img.resize((s, s), Image.LANCZOS), os.path.join(out, "lumenfall-%d.png" % s))


def main():
    parts = {
        "noteback": noteback, "note": note, "title": title, "rituals": rituals,
        "noise": noise_images, "back": lumenfallback, "lines": lumenfalllines,
        "stroke": linestroke, "glyphs": glyphs, "sun": portrait.main, "icon": icon,
    }
    chosen = sys.argv[1:] or list(parts)
    for name in chosen:
        parts[name]()


if __name__ == "__main__":
    main()
