"""The finale's portrait: an invented young person photographed against a low sun.

The head, hair, neck and shoulders are a signed distance field, ray-marched in numpy
with an orthographic camera. The light is the photographer's: the exposure is set for
the sky, so the face lies in deep, flat shade where only the line of the nose, a
catch-light and the curve of the cheek survive; the sun stands just past the neck,
draws a broken rim round the hair and shoulders and floods the lens with glare,
spikes and a veil over the figure. The outline is ragged (clumped hair, loose hairs
burning near the sun, fuzz on the knit), and the finish is a long lens wide open
(only the eyes sharp), halation, colour fringes growing towards the corners and grain
that is heaviest in the shade. It is nobody: every proportion is made up here."""

import os

import numpy as np
from PIL import Image, ImageDraw
from scipy import ndimage

import common as c

SIZE = 1024
SEED = 1507
GEO = 512  # resolution of the ray-marched geometry; finer detail is added at SIZE
SUN = np.array([0.22, 0.04, -1.0], np.float32)
SUN /= np.linalg.norm(SUN)
FILL = np.array([-0.62, -0.42, 0.66], np.float32)
FILL /= np.linalg.norm(FILL)
SUN_COLOUR = np.array([1.0, 0.74, 0.42], np.float32)
SKY_COLOUR = np.array([1.0, 0.82, 0.68], np.float32)
EXPOSURE = 0.9
# The camera is exposed for the sky: what faces it lies in deep shade.
SHADE = 0.18
# Where the sun stands behind the sitter, just past the right side of the neck, and
# the radius of its disc.
SUN_AT = (608.0, 612.0)
SUN_RADIUS = 26.0
HAIR_COLOUR = np.array([0.30, 0.19, 0.11], np.float32)
# Where the head sits and how it is turned: to the sun's side, a little down, tilted.
HEAD_AT = np.array([500.0, 378.0, 0.0], np.float32)
HEAD_SCALE = 1.08
HEAD_YAW, HEAD_PITCH, HEAD_ROLL = 28.0, -6.0, -4.0
BODY_AT = np.array([508.0, 832.0, -40.0], np.float32)
BODY_YAW, BODY_ROLL = -9.0, 2.5


def rotation(yaw, pitch, roll):
    """Local-to-world rotation (x right, y down, z towards the camera), in degrees."""
    a, b, g = np.deg2rad([yaw, pitch, roll])
    ry = np.array([[np.cos(a), 0, np.sin(a)], [0, 1, 0], [-np.sin(a), 0, np.cos(a)]])
    rx = np.array([[1, 0, 0], [0, np.cos(b), -np.sin(b)], [0, np.sin(b), np.cos(b)]])
    rz = np.array([[np.cos(g), -np.sin(g), 0], [np.sin(g), np.cos(g), 0], [0, 0, 1]])
    return (rz @ ry @ rx).astype(np.float32)


HEAD_R = rotation(HEAD_YAW, HEAD_PITCH, HEAD_ROLL)
BODY_R = rotation(BODY_YAW, 0.0, BODY_ROLL)


def to_local(p, origin, r):
    """World points (3, N) to a local frame: r transposed times (p - origin)."""
    return r.T @ (p - origin[:, None])


def ellipsoid(p, cx, cy, cz, rx, ry, rz):
    x, y, z = (p[0] - cx) / rx, (p[1] - cy) / ry, (p[2] - cz) / rz
    k0 = np.sqrt(x * x + y * y + z * z)
    k1 = np.sqrt((x / rx) ** 2 + (y / ry) ** 2 + (z / rz) ** 2)
    return k0 * (k0 - 1.0) / np.maximum(k1, 1e-6)


def tilted(p, cx, cy, cz, rx, ry, rz, angle):
    """An ellipsoid turned by angle degrees in the picture plane."""
    a = np.deg2rad(angle)
    x, y = p[0] - cx, p[1] - cy
    q = np.stack([x * np.cos(a) + y * np.sin(a), -x * np.sin(a) + y * np.cos(a), p[2] - cz])
    return ellipsoid(q, 0, 0, 0, rx, ry, rz)


def sphere(p, cx, cy, cz, r):
    return np.sqrt((p[0] - cx) ** 2 + (p[1] - cy) ** 2 + (p[2] - cz) ** 2) - r


def capsule(p, a, b, ra, rb):
    """A rounded cone from a (radius ra) to b (radius rb), approximately."""
    a = np.asarray(a, np.float32)[:, None]
    b = np.asarray(b, np.float32)[:, None]
    pa, ba = p - a, b - a
    h = np.clip((pa * ba).sum(0) / (ba * ba).sum(), 0.0, 1.0)
    return np.sqrt(((pa - ba * h) ** 2).sum(0)) - (ra + (rb - ra) * h)


def smin(a, b, k):
    h = np.clip(0.5 + 0.5 * (b - a) / k, 0.0, 1.0)
    return b + (a - b) * h - k * h * (1.0 - h)


def smax(a, b, k):
    return -smin(-a, -b, k)


class Waves:
    """Smooth 3-D noise: a sum of plane waves in fixed random directions."""

    def __init__(self, r, count, wavelength, spread=0.5):
        d = r.standard_normal((count, 3))
        d /= np.linalg.norm(d, axis=1, keepdims=True)
        lengths = wavelength * np.exp(r.uniform(-spread, spread, count))
        self.k = (d * (2 * np.pi / lengths[:, None])).astype(np.float32)
        self.phase = r.uniform(0, 2 * np.pi, count).astype(np.float32)
        self.norm = np.float32(1.0 / np.sqrt(count / 2.0))

    def __call__(self, p):
        total = np.zeros(p.shape[1], np.float32)
        for k, ph in zip(self.k, self.phase):
            total += np.sin(k[0] * p[0] + k[1] * p[1] + k[2] * p[2] + ph)
        return total * self.norm


class Figure:
    """The signed distance field of the sitter, in world units (pixels of the
    full-size picture, z towards the camera)."""

    def __init__(self, r):
        self.clumps = Waves(r, 7, 34.0)
        self.locks = Waves(r, 5, 140.0)
        self.folds = Waves(r, 5, 120.0, 0.3)

    def head(self, q):
        """Skin of the head, in head coordinates."""
        d = ellipsoid(q, 0, -40, -45, 138, 160, 175)  # cranium
        d = smin(d, ellipsoid(q, 0, 58, 20, 106, 122, 104), 45)  # face
        for s in (-1, 1):
            d = smin(d, ellipsoid(q, s * 68, 92, 0, 34, 66, 50), 45)  # jaw
            d = smin(d, ellipsoid(q, s * 64, 44, 70, 44, 34, 36), 35)  # cheek
        d = smin(d, ellipsoid(q, 3, 163, 66, 40, 31, 32), 35)  # chin
        d = smin(d, ellipsoid(q, 0, -18, 111, 95, 20, 22), 20)  # brow
        for s in (-1, 1):
            d = smax(d, -sphere(q, s * 46, 7, 127, 24), 14)  # eye socket
        for s in (-1, 1):
            d = np.minimum(d, sphere(q, s * 45, 9, 100, 22.5))  # eyeball
        d = smin(d, capsule(q, (0, -2, 122), (0, 52, 148), 12, 14), 16)  # bridge
        d = smin(d, capsule(q, (0, 46, 147), (0, 72, 155), 14, 15), 12)
        d = smin(d, sphere(q, 0, 75, 155, 15.5), 8)  # tip
        for s in (-1, 1):
            d = smin(d, sphere(q, s * 18, 84, 135, 13), 12)  # nostril wing
        d = smin(d, ellipsoid(q, 0, 118, 127, 34, 11, 15), 10)  # upper lip
        d = smin(d, ellipsoid(q, 0, 136, 123, 30, 11, 15), 8)  # lower lip
        d = smax(d, -ellipsoid(q, 0, 127, 140, 32, 2.2, 14), 3)  # mouth
        for s in (-1, 1):
            d = smin(d, ellipsoid(q, s * 134, 30, -32, 15, 42, 26), 6)  # ear
        return d

    def hair(self, q):
        """The hair as a volume with clumped locks, in head coordinates. A bob to the
        jaw, tucked behind the ear on the left, parted right of the middle."""
        d = ellipsoid(q, 8, -52, -48, 147, 169, 186)
        d = smin(d, ellipsoid(q, 124, 72, -52, 52, 150, 124), 40)  # right side, loose
        d = smin(d, ellipsoid(q, -118, 20, -100, 46, 110, 92), 40)  # left, behind the ear
        d = smin(d, ellipsoid(q, 0, 70, -100, 138, 140, 105), 40)  # back
        d = d - 1.5 * self.clumps(q) - 5.0 * self.locks(q)
        # Keep the face clear; the cut leaves a side-swept edge across the forehead.
        cut = tilted(q, -12, 104, 150, 128, 232, 178, -9)
        cut = smin(cut, ellipsoid(q, -124, 44, 30, 20, 58, 70), 20)  # in front of the ear
        cut = smin(cut, ellipsoid(q, -106, -22, 62, 28, 46, 60), 20)  # the temple
        d = smax(d, -(cut + 4.0 * self.locks(q)), 16)
        parting = np.exp(-((q[0] - 34) / 9) ** 2) * (q[1] < -120) * (q[2] > -80)
        return d + 4.0 * parting

    def neck(self, p):
        d = capsule(p, HEAD_AT + (4, 130, -30), HEAD_AT + (8, 380, -40), 72, 84)
        # The two long muscles from behind the ears to the notch above the breastbone.
        for side in (-1, 1):
            top = HEAD_AT + HEAD_R @ np.array([side * 92.0, 80.0, -38.0], np.float32) * HEAD_SCALE
            low = HEAD_AT + np.array([side * 20.0 + 6, 335.0, 22.0], np.float32)
            d = smin(d, capsule(p, top, low, 19, 15), 22)
        return d

    def body(self, p):
        """The sweater: chest and sloping shoulders with soft folds."""
        b = to_local(p, BODY_AT, BODY_R)
        d = ellipsoid(b, 0, 260, 0, 345, 380, 150)  # chest
        for side in (-1, 1):
            d = smin(d, tilted(b, side * 212, -22, -10, 128, 90, 108, side * 20), 80)  # shoulder
            d = smin(d, tilted(b, side * 120, -128, -30, 150, 44, 75, side * 30), 60)  # trapezius
        d -= 5.0 * self.folds(b)
        return d

    def parts(self, p):
        q = to_local(p, HEAD_AT, HEAD_R) / HEAD_SCALE
        skin = smin(self.head(q) * HEAD_SCALE, self.neck(p), 30)
        return skin, self.hair(q) * HEAD_SCALE, self.body(p), q

    def __call__(self, p):
        skin, hair, body, _ = self.parts(p)
        return np.minimum(np.minimum(skin, hair), body)


def march(fig, n):
    """Orthographic rays towards -z through an n x n grid; returns the hit points
    (3, n*n), a hit mask and the smallest distance each ray passed at."""
    s = SIZE / n
    yy, xx = np.mgrid[0:n, 0:n].astype(np.float32)
    x = ((xx + 0.5) * s).ravel()
    y = ((yy + 0.5) * s).ravel()
    z = np.full(x.shape, 420.0, np.float32)
    closest = np.full(x.shape, 1e9, np.float32)
    hit = np.zeros(x.shape, bool)
    active = np.arange(x.size)
    for _ in range(160):
        if active.size == 0:
            break
        p = np.stack([x[active], y[active], z[active]])
        d = fig(p)
        closest[active] = np.minimum(closest[active], d)
        done = d < 0.4
        hit[active[done]] = True
        z[active] -= np.maximum(d * 0.8, 0.4)
        keep = ~done & (z[active] > -420) & (d < 900)
        active = active[keep]
    return np.stack([x, y, z]), hit, closest


def normals(fig, p, eps=0.8):
    k = np.array([[1, -1, -1], [-1, -1, 1], [-1, 1, -1], [1, 1, 1]], np.float32)
    g = np.zeros_like(p)
    for v in k:
        g += v[:, None] * fig(p + eps * v[:, None])[None, :]
    return g / np.maximum(np.linalg.norm(g, axis=0), 1e-6)


def occlusion(fig, p, nrm):
    total = np.zeros(p.shape[1], np.float32)
    for i, h in enumerate((6.0, 14.0, 26.0, 44.0, 70.0)):
        d = fig(p + h * nrm)
        total += (h - np.minimum(d, h)) / h * (0.6 ** i)
    return np.clip(1.0 - 0.4 * total, 0.0, 1.0)


def shadow(fig, p, direction, k=6.0):
    """Soft shadow towards a far light: 1 in the open, falling towards 0 behind the
    figure, softer the further the blocker is."""
    res = np.ones(p.shape[1], np.float32)
    t = np.full(p.shape[1], 4.0, np.float32)
    for _ in range(14):
        d = fig(p + t * direction[:, None])
        res = np.minimum(res, k * d / t)
        t += np.clip(d, 4.0, 40.0)
    return np.clip(res, 0.0, 1.0)


def smoothstep(a, b, x):
    t = np.clip((x - a) / (b - a), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def shade(fig, r):
    """Shades the hit points at the geometry resolution. Returns named maps (albedo,
    soft light, rim terms, material masks, ...), the hit mask and, for each ray, the
    closest the figure came to it (the distance to the silhouette outside it)."""
    n = GEO
    p, hit, closest = march(fig, n)
    idx = np.nonzero(hit)[0]
    ph = p[:, idx]
    nrm = normals(fig, ph)
    ao = occlusion(fig, ph, nrm)
    shade_of_head = shadow(fig, ph + 1.5 * nrm, FILL)
    skin_d, hair_d, body_d, q = fig.parts(ph)
    is_hair = (hair_d <= skin_d) & (hair_d <= body_d)
    is_body = (body_d < skin_d) & ~is_hair
    is_skin = ~is_hair & ~is_body

    # Albedo. Skin: warm, redder on the cheeks, nose and ears, with blotches.
    blot = Waves(r, 6, 40.0)(q) * 0.5 + Waves(r, 6, 12.0)(q) * 0.5
    skin = np.array([0.80, 0.60, 0.50], np.float32)[:, None] * (1.0 + 0.05 * blot)
    flush = np.zeros(idx.size, np.float32)
    for s in (-1, 1):
        flush += np.exp(-(((q[0] - s * 62) / 38) ** 2 + ((q[1] - 62) / 30) ** 2))
        flush += 1.3 * np.exp(-(((q[0] - s * 134) / 22) ** 2 + ((q[1] - 30) / 48) ** 2))
    flush += 0.8 * np.exp(-((q[0] / 22) ** 2 + ((q[1] - 78) / 18) ** 2))
    skin = skin * (1 - 0.18 * flush) + np.array([0.78, 0.42, 0.38], np.float32)[:, None] * 0.18 * flush
    # Lips, brows, eyes, lashes: painted on in head coordinates.
    lips = smoothstep(1.0, 0.7, np.sqrt((q[0] / 35) ** 2 + ((q[1] - 128) / 16) ** 2)) * (q[2] > 95)
    skin = skin * (1 - 0.7 * lips) + np.array([0.56, 0.22, 0.22], np.float32)[:, None] * 0.7 * lips
    mouth = smoothstep(3.5, 0.5, np.abs(q[1] - 127 + 0.0025 * q[0] ** 2)) * smoothstep(36, 26, np.abs(q[0]))
    mouth *= q[2] > 100
    skin *= 1 - 0.55 * mouth
    gaze = HEAD_R.T @ np.array([-0.1, 0.02, 1.0], np.float32)
    gaze /= np.linalg.norm(gaze)
    eye = np.zeros(idx.size, np.float32)
    iris = np.zeros(idx.size, np.float32)
    pupil = np.zeros(idx.size, np.float32)
    lash = np.zeros(idx.size, np.float32)
    lid = np.ones(idx.size, np.float32)
    brow = np.zeros(idx.size, np.float32)
    for s in (-1, 1):
        ex, ey = q[0] - s * 45, q[1] - 9
        # An almond-shaped opening, a little higher towards the outer corner.
        top = -9.5 * (1 - (ex / 27) ** 2) - 1.5 * s * ex / 27
        bottom = 5.5 * (1 - (ex / 27) ** 2)
        inside = (np.abs(ex) < 27) & (ey > top) & (ey < bottom) & (q[2] > 100)
        eye = np.maximum(eye, inside)
        lid = np.where(inside, smoothstep(top, top + 3.5, ey), lid)
        lash = np.maximum(lash, smoothstep(1.6, 0.0, np.abs(ey - top)) * smoothstep(28, 20, np.abs(ex))
                          * (q[2] > 100))
        centre = np.array([s * 45, 9, 100]) + 22.5 * gaze
        dc = np.sqrt((q[0] - centre[0]) ** 2 + (q[1] - centre[1]) ** 2 + (q[2] - centre[2]) ** 2)
        iris = np.maximum(iris, inside * smoothstep(11.0, 9.5, dc))
        pupil = np.maximum(pupil, inside * smoothstep(4.5, 3.5, dc))
        bx = q[0] - s * 50
        by = q[1] + 31 - 0.006 * bx ** 2 + 3 * s * bx / 40
        # Thicker at the inner end, thinning towards the temple.
        taper = 0.6 + 0.4 * smoothstep(30, 0, -s * bx)
        brow = np.maximum(brow, smoothstep(6.0, 1.5, np.abs(by)) * smoothstep(38, 24, np.abs(bx)) * taper
                          * (q[2] > 80))
    # The white of the eye is never white in shade, and the upper lid shades it.
    sclera = np.array([0.62, 0.55, 0.52], np.float32)[:, None] * (0.5 + 0.5 * lid)
    iris_col = np.array([0.24, 0.17, 0.11], np.float32)[:, None]
    skin = np.where(eye > 0, sclera * (1 - iris) + iris_col * iris, skin)
    skin *= 1 - 0.85 * pupil
    skin *= 1 - 0.35 * lash
    # The folds from the nostrils to the corners of the mouth, faint.
    for s in (-1, 1):
        fx = q[0] - s * (24 + 0.35 * (q[1] - 90))
        fold = smoothstep(5.0, 0.0, np.abs(fx)) * smoothstep(84, 96, q[1]) * smoothstep(140, 118, q[1])
        skin *= 1 - 0.12 * fold * (q[2] > 90)
    skin = skin * (1 - 0.45 * brow) + HAIR_COLOUR[:, None] * 0.8 * 0.45 * brow
    hair = HAIR_COLOUR[:, None] * (0.85 + 0.2 * fig.locks(q) + 0.06 * fig.clumps(q))
    knit = np.array([0.07, 0.08, 0.10], np.float32)[:, None] * (1 + 0.05 * Waves(r, 6, 7.0)(ph))
    alb = np.where(is_hair, hair, np.where(is_body, knit, skin))

    # Light, kept apart so that it can be composed at full size. Soft light from the
    # front and from the sky above, darkened in creases; the sun behind catches the
    # surfaces that turn away from the camera, hair most of all (light passes through).
    ny, nz = nrm[1], nrm[2]
    fill = np.clip((nrm * FILL[:, None]).sum(0) * 0.9 + 0.1, 0, 1)
    sky = 0.55 - 0.25 * ny
    soft = (0.85 * fill * (0.35 + 0.65 * shade_of_head) + 0.15 * sky) * (0.25 + 0.75 * ao)
    # A faint sheen where the skin faces the reflector squarely.
    half = FILL + np.array([0, 0, 1.0], np.float32)
    half /= np.linalg.norm(half)
    sheen = np.clip((nrm * half[:, None]).sum(0), 0, 1) ** 24 * is_skin * shade_of_head * (1 - eye)
    side = np.clip(0.75 + 0.6 * (nrm * SUN[:, None]).sum(0), 0, 1)
    width = np.where(is_hair, 0.62, np.where(is_body, 0.42, 0.38))
    rim = smoothstep(width, 0.04, nz) * side
    # The cheek and jaw turned away from the camera catch the sun too.
    contour = smoothstep(0.45, 0.1, nz) * smoothstep(80, 100, np.abs(q[0])) * side
    contour *= (q[1] > 20) & (q[2] > -20)
    rim = np.where(is_hair, rim * (0.75 + 0.5 * fig.clumps(q) ** 2), rim)
    ear = np.zeros(idx.size, np.float32)
    for s in (-1, 1):
        ear += np.exp(-(((q[0] - s * 134) / 26) ** 2 + ((q[1] - 30) / 48) ** 2))
    glint = np.zeros(idx.size, np.float32)
    for s in (-1, 1):
        at = np.array([s * 45, 9, 100]) + 22.5 * (HEAD_R.T @ np.array([-0.3, -0.35, 0.88], np.float32))
        dg = np.sqrt(((q - at[:, None]) ** 2).sum(0))
        glint = np.maximum(glint, smoothstep(2.6, 1.0, dg) * eye)

    maps = {}
    for name, v in (("albedo", alb), ("soft", soft), ("rim", rim), ("contour", contour * is_skin),
                    ("sheen", sheen), ("skin", is_skin), ("hair", is_hair), ("body", is_body), ("ear", ear),
                    ("glint", glint)):
        v = np.atleast_2d(np.asarray(v, np.float32))
        full = np.zeros((v.shape[0], n * n), np.float32)
        full[:, idx] = v
        full = full.reshape(v.shape[0], n, n).transpose(1, 2, 0)
        maps[name] = full[..., 0] if v.shape[0] == 1 else full
    return maps, hit.reshape(n, n), closest.reshape(n, n)


def upsample(a, n):
    """Bicubic resize of a float array (2-D or with channels) to n x n."""
    if a.ndim == 2:
        im = Image.fromarray(a.astype(np.float32), "F")
        return np.asarray(im.resize((n, n), Image.BICUBIC), np.float32)
    return np.stack([upsample(a[..., k], n) for k in range(a.shape[2])], axis=-1)


def spread(colour, mask, radius):
    """Fills colour outward from where mask is set, so soft edges have a colour."""
    w = c.blur(mask, radius) + 1e-6
    filled = np.stack([c.blur(colour[..., k] * mask, radius) for k in range(3)], axis=-1) / w[..., None]
    return colour * mask[..., None] + filled * (1 - mask[..., None])


def loose_hairs(r, hair_mask, rim, alpha, skin):
    """Single hairs as coverage maps at full size: lit (by the sun behind), dark and
    light. Hairs over the mass follow its fall from the crown and stop at its edge;
    loose hairs leave the outline in arcs. Drawn at twice the size and reduced."""
    k = 2
    n = SIZE * k
    lit = Image.new("L", (n, n), 0)
    dark = Image.new("L", (n, n), 0)
    light = Image.new("L", (n, n), 0)
    dl, dd, dh = ImageDraw.Draw(lit), ImageDraw.Draw(dark), ImageDraw.Draw(light)
    crown = np.array([HEAD_AT[0] + 40, HEAD_AT[1] - 200])
    edge = c.blur(alpha, 3.0)
    gy, gx = np.gradient(-edge)
    ys, xs = np.nonzero(hair_mask > 0.5)
    rows = np.arange(SIZE)[:, None]
    band = (edge > 0.3) & (edge < 0.6) & (hair_mask > 0.3) & (rows < HEAD_AT[1] + 200)
    by, bx = np.nonzero(band)
    for count, loose in ((12000, False), (700, True)):
        if loose:
            pick = r.integers(0, by.size, count)
            sy, sx = by[pick].astype(np.float64), bx[pick].astype(np.float64)
            length = 12 + r.exponential(32, count)
        else:
            pick = r.integers(0, ys.size, count)
            sy, sx = ys[pick].astype(np.float64), xs[pick].astype(np.float64)
            length = r.uniform(25, 90, count)
        curl = r.normal(0, 0.06 if loose else 0.02, count)
        shade_of = r.random(count)
        for i in range(count):
            x, y = sx[i], sy[i]
            pts = [(x * k, y * k)]
            d = np.array([x - crown[0], y - crown[1]])
            d /= np.linalg.norm(d) + 1e-6
            if loose:
                out = np.array([gx[int(y), int(x)], gy[int(y), int(x)]])
                out /= np.linalg.norm(out) + 1e-6
                d = 0.45 * out + 0.55 * d + r.normal(0, 0.25, 2)
            ang = np.arctan2(d[1], d[0])
            bright = 0.0
            for _ in range(int(length[i] / 5) + 1):
                # Hair falls: it turns gently towards straight down, with a curl.
                ang += curl[i] + 0.05 * np.sin(np.pi / 2 - ang) * (0.4 if loose else 1.0)
                x += 5 * np.cos(ang)
                y += 5 * np.sin(ang)
                if not (0 <= x < SIZE - 1 and 0 <= y < SIZE - 1):
                    break
                pts.append((x * k, y * k))
                # Hairs over the mass may lie a little over the skin at the hairline.
                if (hair_mask[int(y), int(x)] < 0.5) if not loose else (skin[int(y), int(x)] > 0.2):
                    break
                bright = max(bright, rim[int(y), int(x)])
            if len(pts) < 3:
                continue
            if loose:
                # Near the sun a loose hair burns; away from it it only glints.
                near = np.exp(-np.hypot(sx[i] - SUN_AT[0], sy[i] - SUN_AT[1]) / 260.0)
                dl.line(pts, fill=int((60 + 195 * shade_of[i]) * (0.45 + 0.55 * near)),
                        width=1 if shade_of[i] < 0.85 else 2)
            elif bright > 0.7 and shade_of[i] < 0.5:
                dl.line(pts, fill=int(np.clip(255 * bright, 0, 255)), width=1)
            elif shade_of[i] < 0.5:
                dd.line(pts, fill=int(120 + 135 * shade_of[i] * 2), width=2)
            elif shade_of[i] < 0.65:
                dh.line(pts, fill=200, width=1)
    lit = np.asarray(lit.resize((SIZE, SIZE), Image.BOX), np.float32) / 255.0
    dark = np.asarray(dark.resize((SIZE, SIZE), Image.BOX), np.float32) / 255.0
    light = np.asarray(light.resize((SIZE, SIZE), Image.BOX), np.float32) / 255.0
    return lit, dark, light


def hair_noise(r, n):
    """Fine noise with a long grain along the fall of the hair, to break up the rim."""
    g = r.standard_normal((n // 16, n)).astype(np.float32)
    return np.asarray(Image.fromarray(g, "F").resize((n, n), Image.BICUBIC), np.float32)


_cache = {}


def build():
    """Returns (rgb, alpha) of the portrait at SIZE x SIZE, floats in [0, 1]."""
    if "picture" in _cache:
        return _cache["picture"]
    r = c.rng(SEED)
    fig = Figure(r)
    maps, hit, closest = shade(fig, r)
    n = SIZE
    hitf = hit.astype(np.float32)
    # Coverage from the distance each ray passed the figure at, sharp at full size.
    inside = ndimage.distance_transform_edt(hit).astype(np.float32) * (SIZE / GEO)
    dist = upsample(np.where(hit, -np.maximum(inside - 1.0, 1.0), closest), n)
    # The outline is never a clean curve: clumps in the hair, fuzz and give on the knit.
    coarse = c.blur(r.standard_normal((n, n)).astype(np.float32), 9.0) * 30.0
    fine = c.blur(r.standard_normal((n, n)).astype(np.float32), 1.2) * 2.5
    rows = np.arange(n, dtype=np.float32)[:, None]
    dist = dist + (1.2 + 4.8 * smoothstep(640.0, 520.0, rows)) * coarse + 1.2 * fine
    alpha = np.clip(0.5 - dist * 1.2, 0.0, 1.0)
    up = {}
    for name, v in maps.items():
        if v.ndim == 3:
            v = spread(v, hitf, 2.0)
        else:
            v = spread(np.repeat(v[..., None], 3, axis=2), hitf, 2.0)[..., 0]
        up[name] = np.clip(upsample(v, n), 0, None)
    yy, xx = np.mgrid[0:n, 0:n].astype(np.float32)
    # The rim is strongest nearest the sun, low and just right of the head.
    sun_r = np.hypot(xx - SUN_AT[0], yy - SUN_AT[1])
    near_sun = 0.45 + 0.75 * np.exp(-(sun_r / 330.0) ** 2)
    # Light reaches round the figure from behind: a rim that narrows away from the
    # outline, wide in the hair, narrow on skin, and also where the surface turns away.
    inner = ndimage.distance_transform_edt(alpha > 0.5).astype(np.float32)
    wide = up["hair"] * 15.0 + up["skin"] * 5.0 + up["body"] * 7.0 + 1.0
    fuzz = c.blur(r.standard_normal((n, n)).astype(np.float32), 2.0) * 4.0
    breakup = 1.0 - up["hair"] * 0.55 * np.exp(-(1.5 * c.blur(hair_noise(r, n), 0.7)) ** 2) \
        - up["body"] * 0.5 * np.clip(fuzz, 0, 1)
    # The rim comes and goes along the outline, as light finds gaps or does not.
    patches = np.clip(0.6 + 0.5 * c.blur(r.standard_normal((n, n)).astype(np.float32), 22.0) * 55.0, 0.12, 1.5)
    outline = np.exp(-inner / wide) * breakup * patches
    rim = np.maximum(outline, 0.6 * up["rim"] * np.exp(-inner / 30.0))
    rim = np.maximum(rim, 0.8 * up["contour"]) * near_sun
    # Light under the skin softens the shade.
    skin = up["skin"]
    soft = up["soft"] * (1 - skin) + c.blur(up["soft"], 2.5) * skin
    # Deep shade is flat: the modelling nearly goes, the features stay as a suggestion.
    soft = (0.4 * soft + 0.6 * c.blur(soft, 14.0)) * SHADE
    up["albedo"] = up["albedo"] * (1 - 0.6 * skin[..., None]) + \
        np.stack([c.blur(up["albedo"][..., k], 3.0) for k in range(3)], axis=-1) * 0.6 * skin[..., None]
    pores = c.blur(r.standard_normal((n, n)).astype(np.float32), 0.9) * 0.06 * skin
    col = up["albedo"] * (soft * (1 + pores))[..., None] * SKY_COLOUR * EXPOSURE
    col += (up["sheen"] * 0.03)[..., None] * SKY_COLOUR
    hair = up["hair"] * alpha
    lit, dark, light = loose_hairs(r, hair, rim, alpha, skin * alpha)
    col *= (1 - 0.5 * dark * hair)[..., None]
    col += (light * hair * soft)[..., None] * HAIR_COLOUR * 0.45
    # At the hairline fine hairs thin out over the skin.
    # Along the fall of the hair, so that the line breaks into strands.
    strands = np.clip(0.75 + 0.5 * c.blur(hair_noise(r, n), 1.0), 0.2, 1.3)
    fringe = c.blur(up["hair"], 13.0) * (1 - up["hair"]) * skin
    fringe = 0.9 * np.clip(1.6 * fringe * strands, 0, 1)[..., None]
    col = col * (1 - fringe) + HAIR_COLOUR * soft[..., None] * EXPOSURE * fringe
    col += (rim * (3.4 * up["hair"] + 2.4 * skin + 2.8 * up["body"]))[..., None] * SUN_COLOUR
    # Light passing through the skin reddens it behind the rim, and the ears most.
    scatter = c.blur(rim * skin, 5.0) * skin + up["ear"] * skin * 0.15
    col += scatter[..., None] * np.array([0.85, 0.22, 0.06], np.float32)
    col += (up["glint"] * 0.6)[..., None]
    col = col * (1 - lit[..., None]) + np.array([1.0, 0.66, 0.3], np.float32) * 1.25 * lit[..., None]
    alpha = np.maximum(alpha, lit * 0.8)

    # The sun: a disc behind the sitter, seen only where the outline leaves it open.
    # What shows of it floods the lens; the glare lies over the figure as a veil that
    # lifts its shade and eats into the outline next to it, and past the outline it is
    # light in the sky (kept in alpha, so the cut-out carries it over any ground).
    disc = smoothstep(SUN_RADIUS + 1.5, SUN_RADIUS - 1.5, sun_r)
    seen = float((disc * (1 - alpha)).sum() / disc.sum())
    theta = np.arctan2(yy - SUN_AT[1], xx - SUN_AT[0]) + 0.2
    # Six spikes from the aperture blades, each its own length.
    reach = 120.0 + 70.0 * np.cos(3.0 * theta + 1.3) ** 2 + 50.0 * np.sin(theta * 5.0 + 0.4) ** 2
    rays = np.abs(np.cos(3.0 * theta)) ** 40 * np.exp(-sun_r / reach) * smoothstep(10, 40, sun_r)
    glare = seen * (4.0 * np.exp(-(sun_r / 30.0) ** 2) + 1.6 * np.exp(-sun_r / 75.0)
                    + 1.0 / (1.0 + (sun_r / 240.0) ** 2) + 0.6 * rays)
    # Light bleeds round the edge closest to the sun and swallows it.
    wrap = c.blur(alpha, 6.0)
    col += (glare * (1.2 - 0.6 * wrap))[..., None] * SUN_COLOUR
    # Halation: the brightest parts spread a red glow in the film's lower layers.
    bright = np.clip(col.mean(axis=2) - 0.55, 0, None) * alpha
    bloom = c.blur(bright, 2.0) * 0.6 + c.blur(bright, 9.0) * 0.9 + c.blur(bright, 30.0) * 0.8
    col += bloom[..., None] * SUN_COLOUR
    col += c.blur(bright, 14.0)[..., None] * np.array([0.55, 0.12, 0.03], np.float32)
    # Veiling glare: low contrast over the whole frame, warmest round the sun.
    veil = (0.03 + 0.22 * np.exp(-(sun_r / 260.0) ** 2)) * (1 - 0.45 * up["body"])
    col = col * (1 - veil[..., None]) + veil[..., None] * np.array([0.95, 0.62, 0.36])
    # Past the outline: the glow of the sun and of the rim, as light with its own alpha.
    halo = np.clip(c.blur(bright, 4.0) * 1.4, 0, 0.3) + np.clip(glare * (1 - disc) * 0.75, 0, 0.85) \
        * smoothstep(400.0, 240.0, sun_r)
    halo = np.maximum(halo, disc)
    w = np.clip(halo - alpha, 0, 1)
    sunlit = SUN_COLOUR * 1.2 + np.clip(glare - 0.5, 0, None)[..., None]
    col = (col * alpha[..., None] + sunlit * w[..., None]) / np.maximum(alpha + w, 1e-6)[..., None]
    alpha = np.clip(alpha + w, 0, 1)

    # Tone: a soft shoulder to the highlights, as film.
    col = (1.0 - np.exp(-np.maximum(col, 0) * 1.4)) / (1.0 - np.exp(-1.4 * 1.2))
    col = np.clip(col, 0, 1)

    # A long lens wide open: only the eyes are sharp, the shoulders go soft fast.
    focus = np.sqrt(((xx - HEAD_AT[0] - 60) / 240) ** 2 + ((yy - HEAD_AT[1] - 20) / 220) ** 2)
    far = smoothstep(0.6, 1.6, focus)
    pm = np.dstack([col * alpha[..., None], alpha])
    for radius, lo, hi in ((1.8, 0.0, 0.5), (3.6, 0.5, 1.0)):
        blurred = np.stack([c.blur(pm[..., k], radius) for k in range(4)], axis=-1)
        t = smoothstep(lo, hi, far)[..., None] if lo > 0 else np.clip(far * 2, 0, 1)[..., None]
        pm = pm * (1 - t) + blurred * t
    pm = np.stack([c.blur(pm[..., k], 0.7) for k in range(4)], axis=-1)
    # Chromatic fringes, growing towards the corners: red a little larger, blue smaller.
    edge_r = np.hypot(xx - n / 2, yy - n / 2) / (n / 2)
    for ch, grow in ((0, 0.006), (2, -0.006)):
        k = 1.0 + grow * (0.3 + edge_r)
        sx = (xx - n / 2) / k + n / 2
        sy = (yy - n / 2) / k + n / 2
        pm[..., ch] = ndimage.map_coordinates(pm[..., ch], [sy, sx], order=1, mode="nearest")
    alpha = np.clip(pm[..., 3], 0, 1)
    col = np.clip(pm[..., :3] / np.maximum(alpha, 1e-4)[..., None], 0, 1)

    # Grain: an exposure pushed for the sky leaves the shade thin and grainy.
    luma = col @ np.array([0.299, 0.587, 0.114], np.float32)
    amount = 0.018 + 0.05 * (1 - luma) ** 2
    g = 1.1 * c.blur(r.standard_normal((n, n)).astype(np.float32), 0.6) \
        + 0.9 * c.blur(r.standard_normal((n, n)).astype(np.float32), 1.4)
    col = col + (g * amount)[..., None] * np.array([1.0, 0.95, 1.1], np.float32)
    col = np.clip(col, 0, 1)
    _cache["picture"] = (col, alpha)
    return col, alpha


def silhouette(n):
    """Alpha of the portrait at n x n, as an 8-bit picture (used by the icon)."""
    _, a = build()
    return Image.fromarray(c.to_u8(a * 255), "L").resize((n, n), Image.LANCZOS)


def main():
    col, alpha = build()
    a8 = c.to_u8(alpha * 255)
    rgb = c.to_u8(col * 255) * (a8[..., None] > 0)
    img = np.dstack([rgb, a8])
    c.save_png(Image.fromarray(img, "RGBA"), os.path.join(c.SRC_IMAGES, "sun.png"))


if __name__ == "__main__":
    main()
