"""Reads text back from a screenshot of the hummbox window, glyph by glyph, with the font
image the program draws from; and a Desktop to run hummbox in and take those screenshots.

Every character sits in an 8 x 8 cell; a cell's lit pixels (the font's white pixels times
the colour modulation) must form exactly one of the font's glyphs, and their colour is the
colour that the text was drawn in.
"""

import os
import shutil
import struct
import tempfile

from desktop import WINDOW_HEIGHT, WINDOW_WIDTH, Failure, Program, Xvfb, wait_until, write_png


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
    """One screenshot of the window: 740 x 756 RGB pixels, and what it shows."""

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
        return self.font.glyphs.get(tuple(mask), "\ufffd"), colours

    def text(self, x, y, length):
        return "".join(self.cell(x + 8 * i, y)[0] for i in range(length))

    def colours(self, x, y, length):
        return set().union(*(self.cell(x + 8 * i, y)[1] for i in range(length)))

    def shows(self, x, y, text, colour=None):
        """(True, detail) when text stands at (x, y), all in colour unless that is None;
        detail says what is there."""
        cells = [self.cell(x + 8 * i, y) for i in range(len(text))]
        seen = "".join(glyph for glyph, _ in cells)
        colours = set().union(*(lit for _, lit in cells))
        ok = seen == text and (colour is None or colours <= {colour})
        return ok, f"{seen!r} in {sorted(colours)} at ({x}, {y})"

    def blank_rows(self, y0, y1):
        return all(max(self.pixel(x, y)) < 8 for y in range(y0, y1 + 1)
                   for x in range(WINDOW_WIDTH))

    def selection(self):
        """The names on the ROM selection screen in screen order, and the index of the one
        highlighted (white); None unless exactly one is and the others are grey."""
        names, highlighted = [], []
        for y in range(16, WINDOW_HEIGHT - 8, 8):
            name = self.text(0, y, 60).rstrip()
            if not name:
                break
            colours = self.colours(0, y, len(name))
            if colours == {(255, 255, 255)}:
                highlighted.append(len(names))
            elif colours != {(128, 128, 128)}:
                return names, None
            names.append(name)
        return names, highlighted[0] if len(highlighted) == 1 else None

    # The debugger screen's register panel, at x 490 from y 60.
    def registers(self):
        lines = [self.text(490, 60 + 8 * i, n) for i, n in enumerate((6, 6, 8, 8, 8, 10))]
        names = (" A: ", " B: ", " X: ", "PC: ", "SP: ", "CC: ")
        if any(line[:4] != name for line, name in zip(lines, names)):
            return None
        return {name.strip(" :"): line[4:] for name, line in zip(names, lines)}


class Desktop:
    """A private X server and a work directory with run_dir's font and ROMs, where one
    hummbox at a time runs: started, sent keys and watched through screenshots."""

    def __init__(self, binary, run_dir, log_dir=None):
        """log_dir (default: the work directory) receives the X server's and hummbox's output."""
        self.binary, self.program = os.path.abspath(binary), None
        self.font = Font(os.path.join(run_dir, "font.bmp"))
        self.workdir = tempfile.mkdtemp(prefix="hummbox-desktop-")
        for name in ("font.bmp", "demo.snd", "tone.snd"):
            shutil.copy(os.path.join(run_dir, name), self.workdir)
        self.log_dir = log_dir or self.workdir
        self.xvfb = Xvfb(os.path.join(self.log_dir, "xvfb.log"))

    def launch(self, name, display=True, audio_path=None, **extra):
        """Starts hummbox (output in log_dir/name.stdout and .stderr) with the caller's
        environment less its display and SDL choices; then this X server's display unless
        display is false, SDL's disk audio driver writing to audio_path if given, and extra.
        With a display, waits for the window."""
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "AUDIODEV") and not k.startswith("SDL_")}
        if display:
            env["DISPLAY"] = self.xvfb.display
        if audio_path is not None:
            env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio_path)
        env.update(extra)
        self.program = Program(self.binary, self.workdir, env, os.path.join(self.log_dir, name))
        if display:
            self.program.find_window()

    def see(self, key, what, check, timeout=15, png=None):
        """Sends key (None: none), then waits until a screenshot passes check (Shot -> (ok,
        detail)) and returns it, also written to png if given; a Failure names the last
        detail seen, or hummbox's end."""
        if key is not None:
            self.program.key(key)

        def probe():
            rgb = self.program.screenshot()
            if rgb is None:
                if self.program.proc.poll() is not None:
                    raise Failure(f"hummbox ended with status {self.program.proc.returncode}")
                return False, "no screenshot"
            shot = Shot(rgb, self.font)
            ok, detail = check(shot)
            return ok, (shot if ok else detail)
        shot = wait_until(probe, timeout, what)
        if png is not None:
            write_png(png, shot.rgb)
        return shot

    def close(self):
        if self.program is not None:
            self.program.stop()
        self.xvfb.stop()
        shutil.rmtree(self.workdir, ignore_errors=True)
