"""The finale's portrait: an invented head and shoulders modelled as a height field of
blended ellipsoids, lit like a studio photograph, screened with halftone dots and cut
out on transparent ground. It is nobody: every proportion is made up here."""

import os

import numpy as np
from PIL import Image

import common as c

NEG = -4000.0


class Field:
    """A height field (depth towards the viewer) with per-pixel albedo."""

    def __init__(self, n):
        self.n = n
        self.s = n / 1024.0
        yy, xx = np.mgrid[0:n, 0:n].astype(np.float32)
        self.x = xx / self.s  # coordinates in 1024-pixel units at any resolution
        self.y = yy / self.s
        self.z = np.full((n, n), NEG, np.float32)

    def ellipsoid(self, cx, cy, rx, ry, rz, cz=0.0):
        q = 1.0 - ((self.x - cx) / rx) ** 2 - ((self.y - cy) / ry) ** 2
        z = np.where(q > 0, cz + rz * np.sqrt(np.maximum(q, 0)), NEG)
        return z.astype(np.float32), q

    @staticmethod
    def smax(a, b, k):
        h = np.clip(0.5 + 0.5 * (a - b) / k, 0.0, 1.0)
        return b + (a - b) * h + k * h * (1.0 - h)

    def add(self, z, k=12.0):
        self.z = self.smax(self.z, z, k)

    def bump(self, cx, cy, rx, ry, height):
        """Raise (or, with a negative height, sink) the surface with a smooth bell."""
        d = ((self.x - cx) / rx) ** 2 + ((self.y - cy) / ry) ** 2
        b = height * np.exp(-d * 2.0)
        self.z = np.where(self.z > NEG / 2, self.z + b, self.z)

    def region(self, cx, cy, rx, ry, edge=1.5):
        """Soft elliptical mask, 1 inside."""
        d = np.sqrt(((self.x - cx) / rx) ** 2 + ((self.y - cy) / ry) ** 2)
        return np.clip((1.0 - d) * rx * self.s / edge + 0.5, 0, 1).astype(np.float32)


def build(n, seed=401):
    """Returns (gray in [0, 1], alpha in [0, 1]) of the portrait at n x n pixels."""
    r = c.rng(seed)
    f = Field(n)
    # Shoulders and chest, cut by the bottom edge.
    f.add(f.ellipsoid(512, 990, 470, 270, 230, -80)[0], 20)
    # Sloping muscles from the neck to the shoulders.
    for sx in (-1, 1):
        f.add(f.ellipsoid(512 + sx * 150, 800, 200, 95, 110, -10)[0], 40)
    # Neck.
    f.add(f.ellipsoid(512, 680, 104, 150, 100, 0)[0], 30)
    # Cranium and jaw.
    f.add(f.ellipsoid(512, 385, 178, 222, 185, 0)[0], 10)
    f.add(f.ellipsoid(512, 505, 140, 142, 160, 10)[0], 40)
    # Ears, set back behind the cheeks.
    for sx in (-1, 1):
        f.add(f.ellipsoid(512 + sx * 172, 435, 30, 58, 50, 60)[0], 8)
    # Face relief.
    f.bump(512, 335, 150, 32, 14)  # brow ridge
    for sx in (-1, 1):
        f.bump(512 + sx * 70, 402, 46, 26, -34)  # eye sockets
        f.bump(512 + sx * 98, 470, 46, 38, 10)  # cheekbones
    f.bump(512, 418, 22, 70, 36)  # bridge and nose
    f.bump(512, 478, 34, 26, 22)  # nose tip
    for sx in (-1, 1):
        f.bump(512 + sx * 26, 490, 16, 12, 8)  # nostril wings
    f.bump(512, 548, 52, 12, 9)  # upper lip
    f.bump(512, 572, 44, 14, 11)  # lower lip
    f.bump(512, 592, 40, 10, -6)  # below the lip
    f.bump(512, 620, 58, 30, 10)  # chin
    for sx in (-1, 1):
        f.bump(512 + sx * 70, 400, 22, 14, 14)  # eyeballs
    # Hair: a cap over the cranium with a tousled edge.
    hair_z, hq = f.ellipsoid(512, 368, 196, 236, 205, -8)
    hairline = 300 + 0.0016 * (f.x - 512) ** 2 + c.smooth_noise(r, n, n, 24 * f.s + 1) * 10
    side = np.abs(f.x - 512) > 150
    hair_mask = ((f.y < hairline) | (side & (f.y < 470))) & (hq > 0)
    edge_noise = c.smooth_noise(r, n, n, 10 * f.s + 1) * 0.05
    hair_mask &= (hq + edge_noise) > 0.02
    strands = np.asarray(Image.fromarray(c.smooth_noise(r, n // 8 + 1, n, 2 * f.s + 1, 2), "F")
                         .resize((n, n), Image.BICUBIC), np.float32)
    hair_relief = hair_z + strands * 3.0
    f.z = np.where(hair_mask, np.maximum(f.z, hair_relief), f.z)
    inside = f.z > NEG / 2

    # Albedo.
    alb = np.full((n, n), 0.74, np.float32)  # skin
    alb += c.smooth_noise(r, n, n, 30 * f.s + 1, 2) * 0.03
    # Clothing: dark jacket with a light shirt in a V under the neck.
    neck_w = 100 + np.clip(f.y - 740, 0, None) * 0.8
    body = (f.y > 700) & ((np.abs(f.x - 512) > neck_w) | (f.y > 772))
    vneck = np.abs(f.x - 512) < (f.y - 715) * 0.32
    shirt = body & vneck
    jacket = body & ~vneck
    lapel = jacket & (np.abs(np.abs(f.x - 512) - (f.y - 715) * 0.32) < 9)
    alb = np.where(jacket, 0.2, alb)
    alb = np.where(shirt, 0.88, alb)
    alb = np.where(lapel, 0.1, alb)
    collar = shirt & (f.y < 800)
    alb = np.where(collar, 0.95, alb)
    hair_alb = 0.12 + 0.06 * strands
    alb = np.where(hair_mask, hair_alb, alb)
    for sx in (-1, 1):
        ex = 512 + sx * 70
        eye = f.region(ex, 402, 30, 13)
        alb = alb * (1 - eye) + 0.82 * eye
        iris = f.region(ex, 402, 13, 13)
        alb = alb * (1 - iris) + 0.22 * iris
        pupil = f.region(ex, 402, 6, 6)
        alb = alb * (1 - pupil) + 0.04 * pupil
        lid = f.region(ex, 391, 34, 5)
        alb = alb * (1 - lid * 0.6) + 0.25 * lid * 0.6
        brow = f.region(ex + sx * 6, 352 - 0.002 * (f.x - ex) ** 2 * 0, 48, 9)
        brow *= np.clip(1 - np.abs(f.y - (352 + 0.004 * (f.x - ex - sx * 20) ** 2)) / 9, 0, 1)
        alb = alb * (1 - brow * 0.8) + 0.14 * brow * 0.8
        nostril = f.region(512 + sx * 18, 496, 9, 5)
        alb = alb * (1 - nostril) + 0.15 * nostril
    lips = np.maximum(f.region(512, 550, 54, 11), f.region(512, 570, 46, 13))
    alb = alb * (1 - lips * 0.5) + 0.45 * lips * 0.5
    mouth = f.region(512, 559, 50, 2.5)
    alb = alb * (1 - mouth) + 0.12 * mouth

    # Lighting: key light from the upper left, soft fill from the right, rim from behind.
    z = np.where(inside, f.z, NEG)
    zc = np.where(inside, f.z, c.blur(np.where(inside, f.z, 0), 4))
    gy, gx = np.gradient(zc * f.s)
    nz = np.ones_like(gx)
    norm = np.sqrt(gx * gx + gy * gy + nz * nz)
    nx, ny, nz = -gx / norm, -gy / norm, nz / norm
    key = np.array([-0.55, -0.55, 0.63])
    key /= np.linalg.norm(key)
    fill = np.array([0.7, -0.1, 0.7])
    fill /= np.linalg.norm(fill)
    dk = np.clip(nx * key[0] + ny * key[1] + nz * key[2], 0, 1)
    df = np.clip(nx * fill[0] + ny * fill[1] + nz * fill[2], 0, 1)
    half = key + np.array([0, 0, 1.0])
    half /= np.linalg.norm(half)
    specular = np.clip(nx * half[0] + ny * half[1] + nz * half[2], 0, 1) ** 40
    rim = np.clip(1 - nz, 0, 1) ** 3
    # Ambient occlusion from how far the surface lies below its surroundings.
    zz = np.where(inside, f.z, -200)
    occl = np.clip(1.0 - (c.blur(zz, 18 * f.s) - zz) / 60.0, 0.35, 1.0)
    # The head's shadow falls on the neck.
    neck_shadow = np.clip((f.y - 610) / 40, 0, 1) * np.clip((720 - f.y) / 60, 0, 1)
    neck_shadow *= (np.abs(f.x - 512) < 120)
    light = (0.16 + 0.85 * dk + 0.28 * df) * occl * (1 - 0.45 * neck_shadow)
    skin = ~(hair_mask | body)
    gray = alb * light + 0.18 * specular * skin + 0.12 * rim
    for sx in (-1, 1):
        catch = f.region(512 + sx * 70 - 5, 396, 3.5, 3.5)
        gray = np.maximum(gray, catch * 0.95)
    gray = np.clip(gray, 0, 1) ** 0.85

    # Photographic grain, then newspaper screening mixed with the continuous tone.
    gray = np.clip(gray + c.smooth_noise(r, n, n, 2.0 * f.s + 1) * 0.03, 0, 1)
    ink = c.halftone(gray, cell=max(3.0, 7.0 * f.s), angle=45.0, soft=0.9)
    tone = 0.55 * gray + 0.45 * (1 - ink)

    alpha = inside.astype(np.float32)
    alpha = np.clip(c.blur(alpha, 1.2 * f.s + 0.3) * 1.15, 0, 1)
    return tone, alpha


def silhouette(n):
    """Alpha of the portrait at n x n, as an 8-bit picture (used by the icon)."""
    _, a = build(n)
    return Image.fromarray(c.to_u8(a * 255), "L")


def main():
    tone, alpha = build(1024)
    # 32 tone steps (the halftone screen hides them) and black where fully clear keep
    # the compiled-in PNG to about half a megabyte.
    tone = np.round(tone * 32) / 32
    rgb = np.stack([tone * 255, tone * 247, tone * 232], axis=-1) * (alpha[..., None] > 0)
    img = np.dstack([c.to_u8(rgb), c.to_u8(alpha * 255)])
    c.save_png(Image.fromarray(img, "RGBA"), os.path.join(c.SRC_IMAGES, "sun.png"))


if __name__ == "__main__":
    main()
