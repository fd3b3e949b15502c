"""Draws hummbox's desktop icon: a DAC's stepped wave dying away, in the scope's green on the
debugger's black. Usage: mkicon.py SIZE OUT.png (the same bytes on every run)."""

import sys

from PIL import Image, ImageDraw


def draw(size):
    scale = 4  # drawn large, then shrunk: smooth edges
    n = size * scale
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    pen = ImageDraw.Draw(img)
    pen.rounded_rectangle((0, 0, n - 1, n - 1), radius=n // 6, fill=(12, 14, 12, 255),
                          outline=(255, 100, 100, 255), width=max(scale, n // 32))
    left, right, middle, height = n // 8, n - n // 8, n // 2, n * 3 // 10
    steps, points, level = 12, [], 1.0
    for i in range(steps):  # a square wave whose steps halve in height, two a period
        x0, x1 = left + (right - left) * i // steps, left + (right - left) * (i + 1) // steps
        y = middle - (height if i % 2 == 0 else -height) * level
        points += [(x0, y), (x1, y)]
        level *= 0.8
    pen.line(points, fill=(63, 175, 63, 255), width=max(scale, n // 20), joint="curve")
    return img.resize((size, size), Image.LANCZOS)


if __name__ == "__main__":
    draw(int(sys.argv[1])).save(sys.argv[2], optimize=True)
