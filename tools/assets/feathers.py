"""Feather masks: white shapes with soft edges on black. The mask value is stored in
the colour channels and repeated in alpha; the shaders read the red channel."""

import os

import numpy as np
from PIL import Image

import common as c

N = 512


def coords():
    y, x = np.mgrid[0:N, 0:N].astype(np.float32)
    return (x + 0.5) / N * 2 - 1, (y + 0.5) / N * 2 - 1


def smoothstep(e0, e1, v):
    t = np.clip((v - e0) / (e1 - e0), 0, 1)
    return t * t * (3 - 2 * t)


def soft_box(r, k):
    x, y = coords()
    p = 2 + 6 * k
    d = (np.abs(x) ** p + np.abs(y) ** p) ** (1 / p)
    return 1 - smoothstep(0.55, 0.98, d)


def soft_ellipse(r, k):
    x, y = coords()
    d = np.sqrt((x / (0.9 - 0.2 * k)) ** 2 + (y / (0.7 + 0.25 * k)) ** 2)
    return 1 - smoothstep(0.5, 1.0, d)


def cloud(r, k):
    x, y = coords()
    n = c.smooth_noise(r, N, N, 64 + 32 * k, octaves=4)
    d = np.sqrt(x * x + y * y)
    return smoothstep(0.0, 0.5, (1 - d) * 0.9 + n * 0.35)


def bands(r, k):
    x, y = coords()
    rows = np.sin((y * (2 + 2 * k) + 0.3) * np.pi) * 0.5 + 0.5
    edge = 1 - smoothstep(0.6, 0.98, np.abs(x))
    return smoothstep(0.15, 0.85, rows) * edge * (1 - smoothstep(0.7, 1.0, np.abs(y)))


def torn(r, k):
    x, y = coords()
    n = c.smooth_noise(r, N, N, 20 + 20 * k, octaves=3) * 0.12
    d = np.maximum(np.abs(x), np.abs(y)) + n
    return 1 - smoothstep(0.6, 0.85, d)


def blobs(r, k):
    x, y = coords()
    v = np.zeros_like(x)
    for _ in range(5 + 3 * k):
        cx, cy, rad = r.uniform(-0.6, 0.6), r.uniform(-0.6, 0.6), r.uniform(0.2, 0.45)
        v += np.exp(-((x - cx) ** 2 + (y - cy) ** 2) / (rad * rad))
    return smoothstep(0.4, 1.3, v) * (1 - smoothstep(0.7, 1.0, np.maximum(np.abs(x), np.abs(y))))


MAKERS = [(soft_box, 0), (soft_box, 1), (soft_ellipse, 0), (soft_ellipse, 1), (cloud, 0),
          (cloud, 1), (bands, 0), (bands, 1), (torn, 0), (torn, 1), (blobs, 0), (blobs, 1)]


def main():
    out = os.path.join(c.DATA, "feathers")
    c.ensure_dir(out)
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    x, y = coords()
    # Every mask fades to black before the picture's border, so no strip shows a hard edge.
    window = 1 - smoothstep(0.86, 0.98, np.maximum(np.abs(x), np.abs(y)))
    for i, (fn, k) in enumerate(MAKERS):
        m = c.to_u8(np.clip(fn(c.rng(700 + i), k), 0, 1) * window * 255)
        img = Image.fromarray(np.dstack([m, m, m, m]), "RGBA")
        c.save_png(img, os.path.join(out, "feather%02d.png" % i))


if __name__ == "__main__":
    main()
