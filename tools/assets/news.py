"""The news pictures of the data folder: invented tabloid front pages and news
photographs (press packs, cameras, microphones, doorsteps, courts, buildings),
drawn from shapes, shading, grain and halftone screens."""

import math
import os

import numpy as np
from PIL import Image, ImageDraw, ImageOps

import common as c
import newsroom as nr

SIZE = 512
NARROW = "LiberationSansNarrow-Bold.ttf"
CONDENSED = "DejaVuSansCondensed-Bold.ttf"
SERIF = "DejaVuSerif-Bold.ttf"
SANS = "DejaVuSans.ttf"
HEAD_FONTS = [NARROW, CONDENSED, "FreeSansBold.ttf", "LiberationSans-Bold.ttf"]


# ---------------------------------------------------------------- scene pieces

def gradient(w, h, top, bottom):
    t = np.linspace(0, 1, h, dtype=np.float32)[:, None]
    return np.repeat(top + (bottom - top) * t, w, axis=1)


def person(d, r, x, y, s, shade, camera=False, flash=None):
    """Head and shoulders seen from behind or front at scale s, top of head at y."""
    hw, hh = 22 * s, 28 * s
    d.ellipse([x - hw, y, x + hw, y + 2 * hh], fill=shade)
    d.rounded_rectangle([x - 60 * s, y + 2 * hh - 6 * s, x + 60 * s, y + 2 * hh + 120 * s],
                        radius=int(28 * s), fill=shade)
    if camera:
        side = 1 if r.uniform() < 0.5 else -1
        cx, cy = x + side * 18 * s, y - 10 * s - r.uniform(0, 40) * s
        d.line([x + side * 40 * s, y + 2 * hh + 10 * s, cx, cy + 20 * s], fill=shade, width=max(2, int(14 * s)))
        d.rectangle([cx - 26 * s, cy - 16 * s, cx + 26 * s, cy + 18 * s], fill=max(0, shade - 25))
        d.ellipse([cx - 13 * s, cy - 12 * s, cx + 13 * s, cy + 14 * s], fill=min(255, shade + 35))
        d.rectangle([cx - 16 * s, cy - 34 * s, cx + 10 * s, cy - 16 * s], fill=max(0, shade - 10))
        if flash is not None:
            flash.append((cx - 3 * s, cy - 25 * s, 60 * s))


def glow(arr, x, y, radius, strength=1.0):
    h, w = arr.shape
    yy, xx = np.ogrid[0:h, 0:w]
    g = np.exp(-((xx - x) ** 2 + (yy - y) ** 2) / (radius * radius))
    return np.maximum(arr, np.minimum(255, arr + 255 * strength * g))


def scene_crowd(r, w, h):
    night = r.uniform() < 0.5
    base = gradient(w, h, 30 if night else 170, 60 if night else 120)
    img = Image.fromarray(c.to_u8(base), "L")
    d = ImageDraw.Draw(img)
    if not night:  # a building front behind the crowd
        for k in range(int(r.integers(3, 7))):
            bx = r.uniform(0, w)
            d.rectangle([bx, h * r.uniform(0.05, 0.3), bx + r.uniform(60, 200), h], fill=int(r.uniform(120, 190)))
    flashes = []
    rows = 5
    for row in range(rows):
        s = (0.45 + row * 0.32) * w / 512
        y = h * (0.32 + row * 0.12)
        shade = int((110 if not night else 70) - row * (20 if not night else 12))
        x = -r.uniform(0, 40)
        while x < w + 60:
            person(d, r, x, y + r.uniform(-12, 12) * s, s, max(5, shade + int(r.uniform(-15, 15))),
                   camera=r.uniform() < 0.45, flash=flashes if r.uniform() < 0.35 else None)
            x += r.uniform(70, 110) * s
    arr = np.asarray(img, np.float32)
    for fx, fy, fr in flashes[:6]:
        arr = glow(arr, fx, fy, fr, 1.0)
    return arr


def scene_mics(r, w, h):
    arr = gradient(w, h, r.uniform(20, 60), r.uniform(60, 110))
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    fx, fy = w * r.uniform(0.42, 0.58), h * r.uniform(0.28, 0.36)
    # The speaker behind the microphones, softly lit.
    person(d, r, fx, fy - h * 0.2, 2.6 * w / 512, int(r.uniform(110, 160)))
    d.rectangle([fx - w * 0.4, fy + h * 0.14, fx + w * 0.4, h], fill=int(r.uniform(25, 55)))
    d.polygon([(fx - w * 0.08, fy + h * 0.14), (fx + w * 0.08, fy + h * 0.14), (fx, fy + h * 0.4)],
              fill=int(r.uniform(180, 230)))
    n = int(r.integers(5, 9))
    for k in range(n):
        tx = fx + (k - (n - 1) / 2) * w * 0.07 + r.uniform(-8, 8)
        ty = fy + h * 0.2 + r.uniform(-0.04, 0.06) * h
        bx = w * (k + 0.5) / n + r.uniform(-30, 30)
        d.line([bx, h + 10, tx, ty], fill=int(r.uniform(10, 40)), width=int(w * 0.022))
        ang = math.atan2(ty - h, tx - bx)
        length = math.hypot(tx - bx, ty - h)
        fl = int(r.uniform(140, 240))
        fw = w * 0.04
        mx, my = bx + math.cos(ang) * length * 0.85, h + math.sin(ang) * length * 0.85
        d.rectangle([mx - fw, my - fw * 0.9, mx + fw, my + fw * 0.9], fill=fl)
        d.rectangle([mx - fw, my - fw * 0.2, mx + fw, my + fw * 0.2], fill=255 - fl)
        hr = w * 0.042
        foam = int(r.uniform(15, 80))
        d.ellipse([tx - hr, ty - hr * 1.3, tx + hr, ty + hr * 1.3], fill=foam)
        d.ellipse([tx - hr * 0.6, ty - hr * 1.0, tx - hr * 0.1, ty - hr * 0.4], fill=min(255, foam + 45))
    arr = np.asarray(img, np.float32)
    arr += c.smooth_noise(r, h, w, 3) * 10  # foam and fabric texture
    return arr


def scene_camera(r, w, h):
    arr = gradient(w, h, r.uniform(10, 40), r.uniform(30, 60))
    for _ in range(12):  # out-of-focus lights
        arr = glow(arr, r.uniform(0, w), r.uniform(0, h), r.uniform(10, 40) * w / 512, r.uniform(0.2, 0.5))
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    cx, cy = w * r.uniform(0.4, 0.6), h * r.uniform(0.45, 0.6)
    bw, bh = w * 0.36, h * 0.22
    d.rounded_rectangle([cx - bw, cy - bh, cx + bw, cy + bh], radius=int(w * 0.04), fill=40)
    d.rounded_rectangle([cx - bw * 0.45, cy - bh * 1.55, cx + bw * 0.2, cy - bh * 0.9], radius=int(w * 0.02), fill=50)
    d.rectangle([cx + bw * 0.55, cy - bh * 1.9, cx + bw * 0.95, cy - bh * 1.05], fill=200)  # flash head
    d.rectangle([cx + bw * 0.55, cy - bh * 1.05, cx + bw * 0.95, cy - bh * 0.95], fill=30)
    for k, (rad, shade) in enumerate([(0.3, 25), (0.26, 70), (0.21, 15), (0.16, 45), (0.1, 8)]):
        rr = w * rad
        d.ellipse([cx - rr, cy - rr, cx + rr, cy + rr], fill=shade)
    d.ellipse([cx - w * 0.07, cy - w * 0.09, cx - w * 0.02, cy - w * 0.04], fill=220)  # reflection
    arr = np.asarray(img, np.float32)
    if r.uniform() < 0.6:
        arr = glow(arr, cx + bw * 0.75, cy - bh * 1.5, w * 0.2, 1.0)
    return arr


def scene_doorstep(r, w, h):
    arr = np.full((h, w), 120, np.float32)
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    bh = max(6, int(h / 40))
    for row in range(0, h, bh):  # brickwork
        off = (row // bh) % 2 * bh
        for x in range(-off, w, bh * 2):
            d.rectangle([x + 1, row + 1, x + bh * 2 - 1, row + bh - 1], fill=int(r.uniform(85, 125)))
    dx, dw = w * r.uniform(0.3, 0.45), w * 0.3
    top = h * 0.18
    d.rectangle([dx - 12, top - 50, dx + dw + 12, h * 0.82], fill=225)  # frame
    d.ellipse([dx, top - 46, dx + dw, top + 40], fill=60)  # fanlight
    d.rectangle([dx, top, dx + dw, h * 0.8], fill=int(r.choice([20, 35, 60, 150])))
    door = int(np.asarray(img)[int(h * 0.5), int(dx + dw / 2)])
    for py in (0.25, 0.45, 0.62):
        for px in (0.12, 0.55):
            d.rectangle([dx + dw * px, h * py, dx + dw * (px + 0.33), h * (py + 0.14)],
                        outline=max(0, door - 25) if door > 80 else door + 30, width=3)
    d.ellipse([dx + dw * 0.45, h * 0.44, dx + dw * 0.55, h * 0.47], fill=210)  # knocker
    num = str(int(r.integers(2, 99)))
    d.text((dx + dw / 2 - 10, top + 8), num, font=c.font(SERIF, max(10, int(w / 28))), fill=230)
    for k in range(3):  # steps
        y0 = h * (0.82 + k * 0.06)
        d.rectangle([dx - 40 - k * 25, y0, dx + dw + 40 + k * 25, y0 + h * 0.06], fill=190 - k * 20)
    for x in np.arange(0, dx - 50, w / 40):  # railings
        d.line([x, h * 0.55, x, h], fill=15, width=3)
        d.polygon([(x - 5, h * 0.56), (x + 5, h * 0.56), (x, h * 0.53)], fill=15)
    arr = np.asarray(img, np.float32)
    if r.uniform() < 0.6:  # the press waiting with their backs to us
        img2 = Image.fromarray(c.to_u8(arr), "L")
        d2 = ImageDraw.Draw(img2)
        fl = []
        for k in range(int(r.integers(2, 5))):
            person(d2, r, r.uniform(0, w), h * 0.62, 1.6 * w / 512, int(r.uniform(10, 40)), camera=True, flash=fl)
        arr = np.asarray(img2, np.float32)
        for fx, fy, fr in fl[:2]:
            arr = glow(arr, fx, fy, fr, 0.9)
    return arr


def scene_court(r, w, h):
    arr = gradient(w, h, r.uniform(150, 210), r.uniform(200, 235))
    arr += c.smooth_noise(r, h, w, 60, 3) * 12
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    left, right = w * 0.08, w * 0.92
    top = h * r.uniform(0.12, 0.22)
    d.polygon([(left - 10, top + h * 0.12), (w / 2, top - h * 0.05), (right + 10, top + h * 0.12)], fill=175)
    d.rectangle([left - 10, top + h * 0.12, right + 10, top + h * 0.18], fill=150)
    d.text((w * 0.3, top + h * 0.128), "COURT OF JUSTICE", font=c.font(SERIF, max(8, int(w / 30))), fill=60)
    ncol = int(r.integers(5, 9))
    colw = (right - left) / ncol
    for k in range(ncol):
        x0 = left + k * colw + colw * 0.25
        x1 = x0 + colw * 0.5
        for j in range(int(x1 - x0)):
            t = j / max(1, x1 - x0)
            d.line([x0 + j, top + h * 0.18, x0 + j, h * 0.72], fill=int(120 + 110 * math.sin(t * math.pi) ** 0.6))
        d.rectangle([left + k * colw + colw * 0.1, h * 0.7, left + (k + 1) * colw - colw * 0.1, h * 0.74], fill=160)
    d.rectangle([left - 10, top + h * 0.18, right + 10, top + h * 0.2], fill=110)
    for k in range(5):
        d.rectangle([0, h * (0.74 + k * 0.05), w, h * (0.79 + k * 0.05)], fill=200 - k * 12)
        d.line([0, h * (0.74 + k * 0.05), w, h * (0.74 + k * 0.05)], fill=120)
    fl = []
    for k in range(int(r.integers(4, 12))):
        person(d, r, r.uniform(0, w), h * r.uniform(0.68, 0.8), 0.5 * w / 512, int(r.uniform(20, 70)),
               camera=r.uniform() < 0.5, flash=fl)
    arr = np.asarray(img, np.float32)
    for fx, fy, fr in fl[:3]:
        arr = glow(arr, fx, fy, fr * 0.6, 0.8)
    return arr


def scene_tower(r, w, h):
    night = r.uniform() < 0.6
    arr = gradient(w, h, 15 if night else 200, 50 if night else 160)
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    for k in range(int(r.integers(2, 4))):
        x0 = r.uniform(-0.1, 0.7) * w
        bw = r.uniform(0.25, 0.45) * w
        top = r.uniform(0.05, 0.35) * h
        d.rectangle([x0, top, x0 + bw, h], fill=30 if night else 110 + k * 20)
        cols, rowsn = int(r.integers(6, 12)), int(r.integers(10, 22))
        for i in range(cols):
            for j in range(rowsn):
                wx = x0 + (i + 0.2) * bw / cols
                wy = top + (j + 0.3) * (h - top) / rowsn
                lit = r.uniform() < (0.45 if night else 0.0)
                shade = int(r.uniform(170, 250)) if lit else (45 if night else int(r.uniform(60, 150)))
                d.rectangle([wx, wy, wx + bw / cols * 0.6, wy + (h - top) / rowsn * 0.5], fill=shade)
    if r.uniform() < 0.5:  # a sign above the entrance
        d.rectangle([w * 0.3, h * 0.8, w * 0.7, h * 0.86], fill=230 if night else 40)
        paper = nr.PAPERS[r.integers(len(nr.PAPERS))]
        f = c.font(NARROW, max(8, int(w / 26)))
        tw = d.textlength(paper, font=f)
        d.text((w / 2 - tw / 2, h * 0.805), paper, font=f, fill=20 if night else 230)
    return np.asarray(img, np.float32)


def scene_phone(r, w, h):
    arr = gradient(w, h, r.uniform(60, 120), r.uniform(20, 60))
    arr += c.smooth_noise(r, h, w, 40, 2) * 15
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    cx, cy = w * r.uniform(0.4, 0.6), h * 0.5
    pw, ph = w * 0.22, h * 0.4
    d.rounded_rectangle([cx - pw, cy - ph, cx + pw, cy + ph], radius=int(w * 0.05), fill=25)
    d.rectangle([cx - pw * 0.8, cy - ph * 0.8, cx + pw * 0.8, cy - ph * 0.15], fill=210)
    f = c.font(CONDENSED, max(8, int(w / 24)))
    d.text((cx - pw * 0.7, cy - ph * 0.7), "1 NEW", font=f, fill=30)
    d.text((cx - pw * 0.7, cy - ph * 0.5), "MESSAGE", font=f, fill=30)
    for i in range(3):
        for j in range(4):
            kx, ky = cx - pw * 0.6 + i * pw * 0.6, cy + j * ph * 0.2
            d.rounded_rectangle([kx - pw * 0.2, ky - ph * 0.06, kx + pw * 0.2, ky + ph * 0.06], radius=4, fill=90)
    return np.asarray(img, np.float32)


def scene_shadow(r, w, h):
    """An unnamed figure in silhouette behind a frosted pane, as in a story about a source."""
    arr = gradient(w, h, r.uniform(140, 200), r.uniform(90, 150))
    img = Image.fromarray(c.to_u8(arr), "L")
    d = ImageDraw.Draw(img)
    person(d, r, w * r.uniform(0.4, 0.6), h * 0.2, 3.0 * w / 512, int(r.uniform(10, 40)))
    arr = c.blur(np.asarray(img, np.float32), 3 * w / 512)
    if r.uniform() < 0.5:
        q = Image.fromarray(c.to_u8(arr), "L")
        ImageDraw.Draw(q).text((w * 0.42, h * 0.3), "?", font=c.font(SERIF, int(h * 0.35)), fill=235)
        arr = np.asarray(q, np.float32)
    return arr


SCENES = [scene_crowd, scene_mics, scene_camera, scene_doorstep, scene_court, scene_tower,
          scene_phone, scene_shadow]


def render_scene(r, kind, w, h):
    """Draw a scene at twice the size and scale it down for smooth edges."""
    arr = SCENES[kind](r, w * 2, h * 2)
    img = Image.fromarray(c.to_u8(arr), "L").resize((w, h), Image.LANCZOS)
    return np.asarray(img, np.float32)


def finish_photo(r, arr, style):
    """Photographic treatment: halftone screen, grain, or a tinted print."""
    h, w = arr.shape
    g = np.clip(arr / 255.0, 0, 1)
    if style == "halftone":
        ink = c.halftone(g * 0.9 + 0.08, cell=r.uniform(3.5, 5.5), angle=r.choice([45.0, 15.0, 75.0]), soft=0.8)
        v = 245 - ink * 225
        return np.stack([v, v, v * 0.97], axis=-1)
    g = np.clip(g + r.standard_normal((h, w)) * r.uniform(0.03, 0.08), 0, 1)
    # Vignette.
    yy, xx = np.mgrid[0:h, 0:w]
    vig = 1 - 0.35 * (((xx - w / 2) / w) ** 2 + ((yy - h / 2) / h) ** 2) * 2
    g = g * vig
    if style == "tint":
        tint = [np.array([1.0, 0.85, 0.65]), np.array([0.7, 0.85, 1.0]), np.array([1.0, 0.7, 0.7]),
                np.array([0.8, 1.0, 0.8])][r.integers(4)]
        return g[..., None] * 255 * tint[None, None, :]
    return np.repeat(g[..., None] * 255, 3, axis=-1)


# ---------------------------------------------------------------- pages

def fit_font(d, text, name, max_w, max_h):
    size = max_h
    while size > 10:
        f = c.font(name, size)
        l, t, rr, b = d.textbbox((0, 0), text, font=f)
        if rr - l <= max_w and b - t <= max_h:
            return f
        size -= 2
    return c.font(name, 10)


def draw_lines(d, r, box, shade):
    """Columns of body text, greeked as rows of short grey bars."""
    x0, y0, x1, y1 = box
    cols = int(r.integers(2, 4))
    cw = (x1 - x0) / cols
    for k in range(cols):
        y = y0
        while y < y1 - 6:
            ln = cw * (0.6 if r.uniform() < 0.12 else r.uniform(0.85, 0.95))
            d.rectangle([x0 + k * cw + 4, y, x0 + k * cw + ln, y + 3], fill=shade)
            y += 7


def masthead(d, r, box, colour):
    x0, y0, x1, y1 = box
    d.rectangle(box, fill=colour)
    name = nr.PAPERS[r.integers(len(nr.PAPERS))]
    f = fit_font(d, name, SERIF if r.uniform() < 0.4 else NARROW, x1 - x0 - 20, int(y1 - y0 - 10))
    l, t, rr, b = d.textbbox((0, 0), name, font=f)
    d.text(((x0 + x1 - (rr - l)) / 2 - l, (y0 + y1 - (b - t)) / 2 - t), name, font=f, fill=(255, 255, 255))


def headline(d, text, box, fill, fontname, stroke=0, stroke_fill=None):
    """The headline over as many lines as fit best, each line stretched to the box width."""
    x0, y0, x1, y1 = box
    words = text.split()
    best = None
    for nlines in range(1, min(4, len(words)) + 1):
        per = math.ceil(len(words) / nlines)
        lines = [" ".join(words[i:i + per]) for i in range(0, len(words), per)]
        lh = (y1 - y0) / len(lines)
        fonts = [fit_font(d, ln, fontname, x1 - x0, int(lh * 0.92)) for ln in lines]
        smallest = min(f.size for f in fonts)
        if best is None or smallest > best[0]:
            best = (smallest, lines, lh)
    _, lines, lh = best
    for k, ln in enumerate(lines):
        f = fit_font(d, ln, fontname, x1 - x0, int(lh * 0.92))
        l, t, rr, b = d.textbbox((0, 0), ln, font=f)
        d.text(((x0 + x1 - (rr - l)) / 2 - l, y0 + k * lh + (lh - (b - t)) / 2 - t), ln, font=f,
               fill=fill, stroke_width=stroke, stroke_fill=stroke_fill)


def burst(d, cx, cy, rad, text, colour, r):
    pts = []
    for k in range(24):
        a = k * math.pi / 12
        rr = rad if k % 2 == 0 else rad * 0.72
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    d.polygon(pts, fill=colour)
    f = fit_font(d, text, NARROW, rad * 1.2, int(rad * 0.5))
    l, t, rr, b = d.textbbox((0, 0), text, font=f)
    d.text((cx - (rr - l) / 2 - l, cy - (b - t) / 2 - t), text, font=f, fill=(0, 0, 0))


RED = [(200, 20, 25), (220, 30, 40), (30, 30, 30), (180, 0, 60), (20, 60, 160)]


def front_page(r, index):
    layout = index % 4
    img = Image.new("RGB", (SIZE, SIZE), (244, 242, 236))
    d = ImageDraw.Draw(img)
    head = nr.HEADLINES[(index * 7) % len(nr.HEADLINES)]
    sub = nr.SUBHEADS[r.integers(len(nr.SUBHEADS))]
    mast = RED[r.integers(len(RED))]
    kind = int(r.integers(len(SCENES)))
    hfont = HEAD_FONTS[r.integers(len(HEAD_FONTS))]
    style = "halftone" if r.uniform() < 0.6 else ("tint" if r.uniform() < 0.5 else "grain")
    if layout == 0:  # masthead, headline, photo, columns
        masthead(d, r, (0, 0, SIZE, 80), mast)
        headline(d, head, (14, 88, SIZE - 14, 230), (10, 10, 10), hfont)
        photo = finish_photo(r, render_scene(r, kind, 300, 230), style)
        img.paste(Image.fromarray(c.to_u8(photo), "RGB"), (14, 240))
        d.text((14, 476), sub[:48], font=c.font(SANS, 13), fill=(40, 40, 40))
        draw_lines(d, r, (324, 246, SIZE - 10, 500), (150, 150, 150))
    elif layout == 1:  # photo fills the page, headline across it
        photo = finish_photo(r, render_scene(r, kind, SIZE, SIZE), style)
        img.paste(Image.fromarray(c.to_u8(photo), "RGB"), (0, 0))
        d = ImageDraw.Draw(img)
        masthead(d, r, (0, 0, SIZE, 70), mast)
        y0 = int(r.uniform(260, 320))
        headline(d, head, (16, y0, SIZE - 16, y0 + 170), (255, 255, 255), hfont, 3, (0, 0, 0))
    elif layout == 2:  # black page, huge white headline, inset photo, burst
        d.rectangle([0, 0, SIZE, SIZE], fill=(12, 12, 12))
        masthead(d, r, (0, 0, SIZE, 64), mast)
        headline(d, head, (16, 72, SIZE - 16, 300), (255, 255, 255), hfont)
        photo = finish_photo(r, render_scene(r, kind, 240, 180), style)
        img.paste(Image.fromarray(c.to_u8(photo), "RGB"), (16, 312))
        draw_lines(d, r, (270, 318, SIZE - 12, 500), (120, 120, 120))
        burst(d, 236 - r.uniform(0, 20), 318 + r.uniform(0, 20), 50, "EXCLUSIVE", (255, 220, 0), r)
    else:  # photo left, stacked headline right
        masthead(d, r, (0, 0, SIZE, 72), mast)
        photo = finish_photo(r, render_scene(r, kind, 250, 430), style)
        img.paste(Image.fromarray(c.to_u8(photo), "RGB"), (0, 82))
        headline(d, head, (262, 90, SIZE - 10, 380), (10, 10, 10), hfont)
        d.rectangle([262, 392, SIZE - 10, 396], fill=mast)
        draw_lines(d, r, (258, 404, SIZE - 6, 506), (150, 150, 150))
    if r.uniform() < 0.4:
        d.text((SIZE - 80, SIZE - 22), "No. %d" % r.integers(1000, 99999), font=c.font(SANS, 11), fill=(110, 110, 110))
    return img


def news_photo(r, index):
    kind = index % len(SCENES)
    style = ["halftone", "grain", "tint"][(index // len(SCENES)) % 3]
    photo = finish_photo(r, render_scene(r, kind, SIZE, SIZE), style)
    img = Image.fromarray(c.to_u8(photo), "RGB")
    if r.uniform() < 0.45:  # a caption strip
        d = ImageDraw.Draw(img)
        d.rectangle([0, SIZE - 40, SIZE, SIZE], fill=(0, 0, 0))
        text = nr.fill(nr.SPOKEN_LINES[r.integers(len(nr.SPOKEN_LINES))], r)
        f = fit_font(d, text, CONDENSED, SIZE - 20, 18)
        d.text((10, SIZE - 32), text, font=f, fill=(240, 240, 240))
    return img


def make(index):
    r = c.rng(9000 + index)
    if index % 2 == 0:
        return front_page(r, index // 2)
    return news_photo(r, index // 2)


COUNT = 48


def main():
    out = os.path.join(c.DATA, "images")
    c.ensure_dir(out)
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    for i in range(COUNT):
        c.save_jpg(make(i), os.path.join(out, "news%02d.jpg" % i), quality=82)


if __name__ == "__main__":
    main()
