"""hummbox under Xvfb: keys via XTEST, the window read back by glyph, SDL's disk audio (f32 mono)."""

import array, os, secrets, shutil, socket, struct, subprocess, tempfile, time  # noqa: E401

from PIL import Image
from Xlib import X, XK, display, error
from Xlib.ext import xtest
from Xlib.protocol import event

SIZE, RATE, WHITE, GREY = (740, 756), 48000, (255, 255, 255), (128, 128, 128)


CHARACTERS = {" ": "space", ":": "colon", ";": "semicolon", "=": "equal", "[": "bracketleft",
              "]": "bracketright", "{": "braceleft", "}": "braceright", "#": "numbersign",
              "<": "less", ">": "greater", "&": "ampersand", "|": "bar", "!": "exclam",
              "(": "parenleft", ")": "parenright", "$": "dollar", "-": "minus", "+": "plus",
              ".": "period", "/": "slash", "_": "underscore", "*": "asterisk", "~": "asciitilde"}


class Failure(Exception): """A check did not hold."""  # noqa: E701


def expect(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(probe, timeout, what):
    """Calls probe, which returns (ok, detail), until ok; returns that detail."""
    deadline = time.monotonic() + timeout
    while not (result := probe())[0]:
        expect(time.monotonic() < deadline, f"{what}: not seen in {timeout} s (last: {result[1]})")
        time.sleep(0.03)
    return result[1]


class Shot:
    """A screenshot of the window read as 8 x 8 cells of the font's glyphs."""

    def __init__(self, img, glyphs):
        self.img, self.px, self.glyphs = img, img.load(), glyphs

    def cell(self, x, y):  # the character at (x, y) and the set of its lit colours
        pixels = [self.px[x + i, y + j] for j in range(8) for i in range(8)]
        mask = tuple(max(c) >= 8 for c in pixels)
        lit = {c for c, on in zip(pixels, mask) if on}
        return (self.glyphs.get(mask, "\ufffd") if lit else " "), lit

    def text(self, x, y, length, colours=False):
        cells = [self.cell(x + 8 * i, y) for i in range(length)]
        return set().union(*(c[1] for c in cells)) if colours else "".join(c[0] for c in cells)

    def shows(self, x, y, text, colour=None):
        seen, lit = self.text(x, y, len(text)), self.text(x, y, len(text), True)
        return seen == text and (colour is None or lit <= {colour}), f"{seen!r} {lit} at {x},{y}"

    def selection(self):
        """The names listed from y 16 on; the index of the one in white, or None."""
        names, colours = [], []
        while name := self.text(0, 16 + 8 * len(names), 60).rstrip():
            colours.append(self.text(0, 16 + 8 * len(names), len(name), True))
            names.append(name)
        white = [i for i, lit in enumerate(colours) if lit == {WHITE}]
        ok = len(white) == 1 and all(lit in ({WHITE}, {GREY}) for lit in colours)
        return names, white[0] if ok else None

    def registers(self):
        """The register panel at (490, 60) as {"A": "00", ..., "CC": "....I."}, or None."""
        lines = [self.text(490, 60 + 8 * i, n) for i, n in enumerate((6, 6, 8, 8, 8, 10))]
        ok = [line[:4] for line in lines] == [" A: ", " B: ", " X: ", "PC: ", "SP: ", "CC: "]
        return {line[:4].strip(" :"): line[4:] for line in lines} if ok else None


def frequency(values):
    """From the upward crossings of the mean, first to last; None with fewer than three."""
    mean = sum(values) / max(1, len(values))
    ups = [i - 1 + (mean - a) / (b - a) for i, (a, b) in enumerate(zip(values, values[1:]), 1)
           if a < mean <= b]
    return (len(ups) - 1) * RATE / (ups[-1] - ups[0]) if len(ups) >= 3 else None


def sounding_seconds(values):
    """Seconds from the first to the last non-zero sample; 0 for silence."""
    lit = [i for i, v in enumerate(values) if v]
    return (lit[-1] - lit[0] + 1) / RATE if lit else 0.0


class Desktop:
    """An X server, a work directory with run_dir's font and ROMs, and one hummbox at a time."""

    def __init__(self, binary, run_dir, out, roms=("demo.snd", "tone.snd"), screen="1024x800",
                 **env):
        self.binary, self.out, self.env = os.path.abspath(binary), out, env
        self.proc, self.last, self.shots = None, None, 0
        img = Image.open(os.path.join(run_dir, "font.bmp")).convert("L")  # 32 glyphs a row
        px, self.glyphs = img.load(), {}
        for g in range(img.width // 8 * (img.height // 8)):
            mask = tuple(px[g % 32 * 8 + i, g // 32 * 8 + j] > 127 for j in range(8) for i in range(8))
            self.glyphs.setdefault(mask, chr(g + ord("!"))) if any(mask) else None
        self.home = tempfile.mkdtemp(prefix="hummbox-desktop-")  # private: it holds the cookie
        self.workdir, self.authority = f"{self.home}/work", f"{self.home}/Xauthority"
        os.mkdir(self.workdir)
        for name in ("font.bmp",) + tuple(roms):
            shutil.copy(os.path.join(run_dir, name), self.workdir)
        self.serve(screen)

    def serve(self, screen):
        """Starts an Xvfb that admits only clients holding a fresh cookie, and connects to it.
        A server can report a display and then quit (two starting at once can pick the same),
        so a connection counts only if the server process on its other end is ours."""
        cookie = secrets.token_hex(16)
        open(self.authority, "wb").close()
        self.xauth(":0", cookie)  # Xvfb takes the cookie of any entry, read at start-up
        os.environ["XAUTHORITY"] = self.authority  # where python-xlib looks for it
        for _ in range(5):
            with open(f"{self.out}/xvfb.log", "ab") as log:
                self.xvfb = subprocess.Popen(
                    ["Xvfb", "-displayfd", "1", "-auth", self.authority, "-screen", "0",
                     f"{screen}x24", "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=log)
            if number := self.xvfb.stdout.readline().strip().decode():
                self.display_name = f":{number}"
                self.xauth(self.display_name, cookie)
                try:
                    self.x = display.Display(self.display_name)
                    peer = self.x.display.socket.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, 12)
                    if struct.unpack("3i", peer)[0] == self.xvfb.pid and self.xvfb.poll() is None:
                        return
                    self.x.close()
                except error.DisplayError:
                    pass  # it ended, or the display is another server's
            print(f"desktop: Xvfb {self.xvfb.pid} (display '{number}') ended or is not the one "
                  f"answering; starting another (see {self.out}/xvfb.log)", flush=True)
            self.xvfb.terminate()
            self.xvfb.wait()
        raise Failure(f"no Xvfb of our own in 5 tries (see {self.out}/xvfb.log)")

    def xauth(self, name, cookie):
        subprocess.run(["xauth", "-q", "-f", self.authority, "add", name, ".", cookie], check=True)

    def serving(self):
        expect(self.xvfb.poll() is None, f"Xvfb ended with status {self.xvfb.returncode} "
                                         f"(see {self.out}/xvfb.log)")

    def launch(self, name, show=True, args=(), **env):
        """Starts hummbox with args, its output in out/name.log, its audio in out/name-audio.raw."""
        self.audio, self.log = f"{self.out}/{name}-audio.raw", f"{self.out}/{name}.log"
        keep = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XAUTHORITY",
                "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "AUDIODEV", "SDL_AUDIODRIVER")}
        shown = {"DISPLAY": self.display_name, "XAUTHORITY": self.authority} if show else {}
        # No SDL signal handlers: a SIGTERM from outside ends hummbox with -15, not a quit's 0.
        # Its own settings: nothing remembered from the user's runs, nothing written to them.
        env = keep | shown | {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.audio,
                              "SDL_NO_SIGNAL_HANDLERS": "1",
                              "XDG_CONFIG_HOME": f"{self.home}/config"} | self.env | env
        with open(self.log, "wb") as log:
            self.proc = subprocess.Popen([self.binary, *args], cwd=self.workdir, env=env, stdout=log,
                                         stderr=log, stdin=subprocess.DEVNULL)
        if show:
            self.attach()

    def attach(self):
        """Focuses hummbox's mapped window (SDL may replace its first window at once)."""
        self.window = wait_until(self.find_window, 20, "the hummbox window")
        self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        self.x.sync()

    def find_window(self):
        """The mapped window whose _NET_WM_PID (SDL sets it) is hummbox's."""
        expect(self.proc.poll() is None, f"hummbox ended with status {self.proc.returncode}")
        self.serving()
        pid = self.x.intern_atom("_NET_WM_PID")
        for w in self.x.screen().root.query_tree().children:
            try:
                owner = w.get_full_property(pid, X.AnyPropertyType)
                if owner and list(owner.value) == [self.proc.pid] and \
                        w.get_attributes().map_state == X.IsViewable:
                    return True, w
            except error.XError:
                pass  # gone meanwhile
        return False, f"no mapped window of process {self.proc.pid}"

    def output(self):
        return open(self.log, errors="replace").read()

    def key(self, name):
        """A press and release of the key with this X keysym name (if any), as if typed."""
        if name is None:
            return
        self.serving()
        expect(code := self.x.keysym_to_keycode(XK.string_to_keysym(name)), f"no key {name}")
        for kind in (X.KeyPress, X.KeyRelease):
            xtest.fake_input(self.x, kind, code)
        self.x.sync()

    def type(self, text):
        """Types text a character at a time, with Shift where the keymap wants it."""
        self.serving()
        shift = self.x.keysym_to_keycode(XK.string_to_keysym("Shift_L"))
        for ch in text:
            sym = XK.string_to_keysym(CHARACTERS.get(ch, ch))
            expect(code := self.x.keysym_to_keycode(sym), f"no key for {ch!r}")
            keys = [code] if self.x.keycode_to_keysym(code, 0) == sym else [shift, code]
            for kind, k in [(X.KeyPress, k) for k in keys] + [(X.KeyRelease, k) for k in keys[::-1]]:
                xtest.fake_input(self.x, kind, k)
        self.x.sync()

    def close_request(self):
        """WM_DELETE_WINDOW, sent to the window's client as a window manager would."""
        atom = self.x.intern_atom
        self.window.send_event(event.ClientMessage(window=self.window, client_type=atom(
            "WM_PROTOCOLS"), data=(32, [atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
        self.x.sync()

    def see(self, key, name, check, timeout=15):
        """Types key, then waits for a Shot that passes check; returns it, saved as a PNG."""
        self.key(key)

        def probe():
            self.serving()
            try:
                reply = self.window.get_image(0, 0, *SIZE, X.ZPixmap, 0xFFFFFFFF)
            except error.XError:  # gone, or replaced
                self.attach()
                return False, "no screenshot"
            self.last = Image.frombytes("RGB", SIZE, reply.data, "raw", "BGRX")
            ok, detail = check(shot := Shot(self.last, self.glyphs))
            return ok, (shot if ok else detail)
        shot = wait_until(probe, timeout, name)
        self.shots += 1
        shot.img.save(f"{self.out}/{self.shots:02d}-{name}.png")
        return shot

    def count(self):
        return os.path.getsize(self.audio) // 4 if os.path.exists(self.audio) else 0

    def samples(self, start, end):
        with open(self.audio, "rb") as f:
            f.seek(start * 4)
            return array.array("f", f.read(max(0, min(end, self.count()) - start) * 4))

    def first_sound(self, start):
        return next((start + i for i, v in enumerate(self.samples(start, 1 << 40)) if v), None)

    def wait_count(self, count, what):
        wait_until(lambda: (self.count() >= count, self.count()), 15, what)

    def sound_after(self, key, what, seconds=0.0):
        """Types key; returns the seconds of audio from the first sound after it."""
        mark = self.count()
        self.key(key)
        first = wait_until(lambda: ((i := self.first_sound(mark)) is not None, i), 15,
                           f"{what}: the sound starting")
        self.wait_count(first + int(seconds * RATE), what)
        return self.samples(first, first + int(seconds * RATE))

    def quit_with(self, action, what, status=0, limit=2.0):
        """action must end hummbox with status within limit seconds of its own time, counted in
        the audio it writes meanwhile (a busy machine stretches the clock's seconds, not these);
        returns them, or None without audio. The clock bounds only a hang."""
        mark = self.count()
        action()
        try:
            code = self.proc.wait(15)
        except subprocess.TimeoutExpired:
            code = "none (still running)"
        took = (self.count() - mark) / RATE if os.path.exists(self.audio) else None
        expect(code == status and (took or 0) <= limit, f"{what}: status {code} after {took} s "
                                                        f"of audio, not {status} within {limit} s")
        return took

    def close(self):
        if self.last is not None:
            self.last.save(f"{self.out}/last-seen.png")
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
        self.x.close()
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.home, ignore_errors=True)
