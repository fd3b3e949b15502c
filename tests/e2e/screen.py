"""Reads text back from a screenshot of the hummbox window, glyph by glyph, with the font
image the program draws from.

Every character sits in an 8 x 8 cell; a cell's lit pixels (the font's white pixels times
the colour modulation) must form exactly one of the font's glyphs, and their colour is the
colour that the text was drawn in.
"""

import struct

from desktop import WINDOW_WIDTH

UNKNOWN = "\ufffd"


class Font:
    """The glyph shapes of font.bmp: 32 glyphs a row, from "!" (code 33) on."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        if data[:2] != b"BM":
            raise ValueError(f"{path} is not a BMP image")
        offset = struct.unpack_from("<I", data, 10)[0]
        width, height = struct.unpack_from("<ii", data, 18)
        bits = struct.unpack_from("<H", data, 28)[0]
        if bits not in (24, 32):
            raise ValueError(f"{path}: {bits}-bit BMP images are not read here")
        stride = (width * bits + 31) // 32 * 4
        rows = abs(height)

        def lit(x, y):
            row = rows - 1 - y if height > 0 else y
            p = offset + row * stride + x * bits // 8
            return max(data[p:p + 3]) >= 128

        self.glyphs = {}
        for g in range((width // 8) * (rows // 8)):
            gx, gy = 8 * (g % 32), 8 * (g // 32)
            mask = tuple(lit(gx + i, gy + j) for j in range(8) for i in range(8))
            if any(mask):
                self.glyphs.setdefault(mask, chr(g + 33))


class Shot:
    """One screenshot of the window: 740 x 756 RGB pixels."""

    def __init__(self, rgb, font):
        self.rgb = rgb
        self.font = font

    def pixel(self, x, y):
        p = (y * WINDOW_WIDTH + x) * 3
        return tuple(self.rgb[p:p + 3])

    def cell(self, x, y):
        """The character in the 8 x 8 cell at (x, y) and the set of its lit colours."""
        mask = []
        colours = set()
        for j in range(8):
            for i in range(8):
                c = self.pixel(x + i, y + j)
                on = max(c) >= 8
                mask.append(on)
                if on:
                    colours.add(c)
        if not any(mask):
            return " ", colours
        return self.font.glyphs.get(tuple(mask), UNKNOWN), colours

    def text(self, x, y, length):
        return "".join(self.cell(x + 8 * i, y)[0] for i in range(length))

    def colours(self, x, y, length):
        found = set()
        for i in range(length):
            found |= self.cell(x + 8 * i, y)[1]
        return found

    def shows(self, x, y, text, colour):
        """(True, None) when text stands at (x, y) in exactly that colour; else what is there."""
        seen = self.text(x, y, len(text))
        colours = self.colours(x, y, len(text))
        ok = seen == text and (colour is None or colours <= {colour})
        return ok, f"{seen!r} in {sorted(colours)} at ({x}, {y})"

    def blank_rows(self, y0, y1):
        return all(max(self.pixel(x, y)) < 8 for y in range(y0, y1 + 1)
                   for x in range(WINDOW_WIDTH))

    # The debugger screen's register panel, at x 490 from y 60.
    def registers(self):
        lines = [self.text(490, 60 + 8 * i, n) for i, n in enumerate((6, 6, 8, 8, 8, 10))]
        names = (" A: ", " B: ", " X: ", "PC: ", "SP: ", "CC: ")
        if any(line[:4] != name for line, name in zip(lines, names)):
            return None
        return {name.strip(" :"): line[4:] for name, line in zip(names, lines)}
