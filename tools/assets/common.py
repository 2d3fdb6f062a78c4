"""Shared helpers for the asset generator: paths, fonts, seeded noise,
halftone screening and deterministic file writing."""

import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy import ndimage

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SRC_IMAGES = os.path.join(ROOT, "src", "states", "images")
SRC_NOISE = os.path.join(ROOT, "src", "effects", "images")
SRC_FONTS = os.path.join(ROOT, "src", "app", "fonts")
SRC_DRAWING = os.path.join(ROOT, "src", "drawing")
DATA = os.path.join(ROOT, "data")
BUILD_ASSETS = os.path.join(ROOT, "build-assets")

FONT_DIRS = [
    "/usr/share/fonts/truetype/dejavu",
    "/usr/share/fonts/truetype/liberation",
    "/usr/share/fonts/truetype/freefont",
]


def font_path(name):
    """Full path of a TrueType file from the Debian font packages."""
    for d in FONT_DIRS:
        p = os.path.join(d, name)
        if os.path.exists(p):
            return p
    raise SystemExit("missing font %s: install fonts-dejavu-core fonts-dejavu-extra "
                     "fonts-liberation fonts-freefont-ttf" % name)


_font_cache = {}


def font(name, size):
    key = (name, size)
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(font_path(name), size)
    return _font_cache[key]


def rng(seed):
    return np.random.default_rng(seed)


def ensure_dir(path):
    os.makedirs(path, exist_ok=True)


def save_png(img, path):
    """PNG with fixed settings and no time or text chunks, so reruns give the same bytes."""
    ensure_dir(os.path.dirname(path))
    img.save(path, format="PNG", optimize=True)


def save_jpg(img, path, quality=88):
    ensure_dir(os.path.dirname(path))
    img.convert("RGB").save(path, format="JPEG", quality=quality, optimize=True,
                            subsampling=0 if quality >= 90 else 2)


def smooth_noise(r, h, w, scale, octaves=1, persistence=0.5):
    """Value noise: random grids upsampled bicubically and summed over octaves.
    Returns floats roughly in [-1, 1]."""
    total = np.zeros((h, w), np.float32)
    amp, norm = 1.0, 0.0
    s = scale
    for _ in range(octaves):
        gh, gw = max(2, int(h / s) + 2), max(2, int(w / s) + 2)
        grid = r.standard_normal((gh, gw)).astype(np.float32)
        im = Image.fromarray(grid, mode="F").resize((int(gw * s), int(gh * s)), Image.BICUBIC)
        total += amp * np.asarray(im, np.float32)[:h, :w]
        norm += amp
        amp *= persistence
        s = max(1.0, s / 2)
    return total / norm


def blur(arr, radius):
    """Gaussian blur of a float array (radius is the standard deviation in pixels)."""
    return ndimage.gaussian_filter(arr.astype(np.float32), radius, mode="nearest")


def halftone(gray, cell=6.0, angle=45.0, soft=0.8):
    """Newspaper screening: gray in [0, 1] (1 = white paper) becomes round ink dots on a
    rotated grid; returns ink coverage in [0, 1] (1 = ink), anti-aliased."""
    h, w = gray.shape
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
    a = np.deg2rad(angle)
    u = (xx * np.cos(a) + yy * np.sin(a)) / cell
    v = (-xx * np.sin(a) + yy * np.cos(a)) / cell
    du = u - np.floor(u) - 0.5
    dv = v - np.floor(v) - 0.5
    dist = np.sqrt(du * du + dv * dv) * cell
    darkness = np.clip(1.0 - gray, 0.0, 1.0)
    # A dot of area fraction 'darkness' in a square cell has radius cell*sqrt(d/pi).
    radius = cell * np.sqrt(darkness / np.pi)
    return np.clip((radius - dist) / soft + 0.5, 0.0, 1.0)


def text_size(draw, text, fnt):
    l, t, r, b = draw.textbbox((0, 0), text, font=fnt)
    return r - l, b - t, l, t


def white_text_rgba(width, height, lines, fnt, line_gap=1.25, stroke=0):
    """White lettering on transparent ground, each line centred, the block centred."""
    mask = Image.new("L", (width, height), 0)
    d = ImageDraw.Draw(mask)
    asc, desc = fnt.getmetrics()
    lh = int((asc + desc) * line_gap)
    total = lh * (len(lines) - 1) + asc + desc
    y = (height - total) // 2
    for line in lines:
        tw = d.textlength(line, font=fnt)
        d.text(((width - tw) / 2, y), line, font=fnt, fill=255, stroke_width=stroke, stroke_fill=255)
        y += lh
    img = Image.new("RGBA", (width, height), (255, 255, 255, 0))
    img.putalpha(mask)
    return img


def to_u8(arr):
    return np.clip(np.round(arr), 0, 255).astype(np.uint8)
