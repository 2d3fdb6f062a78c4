"""Contact sheet of every generated picture and mask, for judging the art at a glance.
Pictures with alpha are shown over a dark red checker so that white lettering and
soft edges stay visible."""

import os
import sys

from PIL import Image, ImageDraw

import common as c

THUMB = 160
LABEL = 14


def backdrop(w, h):
    bg = Image.new("RGBA", (w, h), (70, 20, 24, 255))
    d = ImageDraw.Draw(bg)
    for y in range(0, h, 16):
        for x in range(0, w, 16):
            if (x // 16 + y // 16) % 2:
                d.rectangle([x, y, x + 15, y + 15], fill=(95, 35, 40, 255))
    return bg


def tile(path):
    im = Image.open(path)
    im.load()
    im = im.convert("RGBA")
    w, h = im.size
    s = min(THUMB / w, THUMB / h)
    tw, th = max(1, int(w * s)), max(1, int(h * s))
    if w == 1:  # the scan-line column: repeat it sideways so it can be seen
        im = im.resize((THUMB, h))
        tw = THUMB
        # Strengthen the faint alpha so the period shows.
        a = im.getchannel("A").point(lambda v: min(255, v * 16))
        im = Image.merge("RGBA", (Image.new("L", im.size, 255),) * 3 + (a,))
    im = im.resize((tw, th), Image.LANCZOS if w > 8 else Image.NEAREST)
    cell = backdrop(THUMB, THUMB)
    cell.alpha_composite(im, ((THUMB - tw) // 2, (THUMB - th) // 2))
    return cell


def collect():
    groups = []
    for folder in [c.SRC_IMAGES, c.SRC_NOISE, os.path.join(c.ROOT, "src", "drawing"), c.SRC_FONTS,
                   os.path.join(c.DATA, "images"), os.path.join(c.DATA, "feathers"),
                   os.path.join(c.DATA, "icons")]:
        if os.path.isdir(folder):
            names = sorted(n for n in os.listdir(folder) if n.endswith((".png", ".jpg")))
            groups.extend(os.path.join(folder, n) for n in names)
    return groups


def main():
    paths = collect()
    cols = 12
    rows = (len(paths) + cols - 1) // cols
    sheet = Image.new("RGB", (cols * (THUMB + 4), rows * (THUMB + LABEL + 4)), (20, 20, 20))
    d = ImageDraw.Draw(sheet)
    f = c.font("DejaVuSans.ttf", 10)
    for k, p in enumerate(paths):
        x, y = (k % cols) * (THUMB + 4), (k // cols) * (THUMB + LABEL + 4)
        sheet.paste(tile(p).convert("RGB"), (x + 2, y + 2))
        d.text((x + 3, y + THUMB + 3), os.path.basename(p)[:26], font=f, fill=(200, 200, 200))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(c.BUILD_ASSETS, "contact-sheet.png")
    c.ensure_dir(os.path.dirname(out))
    sheet.save(out)
    print("  " + os.path.relpath(out, c.ROOT))


if __name__ == "__main__":
    main()
