#!/usr/bin/env python3
"""hummbox as a person meets it: the real program in a private X server, driven only by
keys sent to its window, checked by reading the window back and by the audio that SDL's
disk driver writes to a file.

    walkthrough.py --hummbox build/run/hummbox --run-dir build/run --out build/e2e

The screenshots (PNG) and the captured audio (raw float and a 16-bit WAV) of every step
stay in --out, which is emptied first. The desktop-driving library is tools/desktop.
"""

import argparse
import faulthandler
import os
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "desktop"))

from audio import RATE, Capture, frequency, sounding_seconds  # noqa: E402
from desktop import Failure, missing_tools, wait_until, write_png  # noqa: E402
from screen import Desktop  # noqa: E402

ROMS = ["demo.snd", "tone.snd"]
WHITE = (255, 255, 255)
TITLE = (255, 100, 100)
ADDRESS = (63, 175, 63)
CURSOR = (255, 255, 170)
CURSOR_OTHER = (204, 153, 153)
PIA_Y = 160


class Session(Desktop):
    """The desktop, the audio of its program, and the files left in out to look at."""

    def __init__(self, args):
        self.out, self.sanitized = os.path.abspath(args.out), args.sanitized
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        super().__init__(args.hummbox, args.run_dir, self.out)
        self.audio, self.shots = None, 0

    def launch(self, name, display=True, **extra):
        """Starts hummbox, with the disk audio driver unless extra names another."""
        self.audio = Capture(os.path.join(self.out, f"{name}-audio.raw"))
        if self.sanitized:
            # Keep Mesa's uninstrumented GL threads out of a sanitizer build's run (no GL
            # renderer, no GL window surface), and leave leak checking to the in-process
            # tests: D-Bus and the GL drivers that SDL loads keep memory to the end on purpose.
            asan = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "detect_leaks=0"]))
            extra = dict(SDL_RENDER_DRIVER="software", SDL_FRAMEBUFFER_ACCELERATION="0",
                         ASAN_OPTIONS=asan, **extra)
        audio = None if "SDL_AUDIODRIVER" in extra else self.audio.path
        super().launch(name, display, audio, **extra)

    def press(self, key, name, check, timeout=15):
        """Desktop.see, keeping the screenshot seen as NN-name.png."""
        self.shots += 1
        png = os.path.join(self.out, f"{self.shots:02d}-{name}.png")
        return self.see(key, name, check, timeout, png)

    def play(self, key, what, seconds=0.0):
        """Sends key; returns the seconds of audio from the first sound that follows."""
        return self.audio.sound_after(lambda: self.program.key(key), what, seconds)

    def silent_from(self, start, what, seconds=0.3):
        """The audio from sample start on, at least seconds of it, must be all zeros."""
        self.audio.wait_count(start + int(seconds * RATE), what)
        if (first := self.audio.first_sound(start)) is not None:
            raise Failure(f"{what}: sound at sample {first} of {self.audio.path}")

    def hear_pitch(self, key, hz, what):
        """Sends key (None: none); waits until the latest 0.2 s of audio is at hz within 1 %;
        the 0.2 s after that (clear of any change of speed) must be within 0.3 %."""
        if key is not None:
            self.program.key(key)
        window = int(0.2 * RATE)

        def probe():
            end = self.audio.count()
            f = frequency(self.audio.samples(end - window, end))
            return f is not None and abs(f - hz) < hz * 0.01, end
        end = wait_until(probe, 15, f"{what}: {hz:.1f} Hz")
        self.audio.wait_count(end + window, what)
        f = frequency(self.audio.samples(end, end + window))
        if f is None or abs(f - hz) > hz * 0.003:
            raise Failure(f"{what}: {f} Hz, not {hz:.1f} Hz")
        return f

    def quit_with(self, action, what, status=0, limit=2.0):
        """action must end hummbox with status within limit seconds; returns the time taken."""
        started = time.monotonic()
        action()
        code = self.program.wait_exit(limit + 1)
        took = time.monotonic() - started
        self.program.stop()
        if code != status or took > limit:
            raise Failure(f"{what}: status {code} after {took:.2f} s "
                          f"(expected {status} within {limit} s)")
        return took

    def finish(self):
        """Leaves the last screenshot taken and a WAV of each capture; stops everything."""
        if self.program is not None and self.program.last_rgb is not None:
            write_png(os.path.join(self.out, "last-seen.png"), self.program.last_rgb)
        self.close()
        for raw in Path(self.out).glob("*-audio.raw"):
            Capture(str(raw)).save_wav(str(raw.with_suffix(".wav")))


def step(message):
    print(f"  ok  {message}", flush=True)


# ---- What the screens show: each check takes a Shot and returns (ok, detail) --------------

def all_of(*checks):
    """Passes when every check does; otherwise the detail of the first that does not."""
    def check(shot):
        results = (each(shot) for each in checks)
        return next((result for result in results if not result[0]), (True, None))
    return check


def shows(x, y, text, colour=None):
    return lambda shot: shot.shows(x, y, text, colour)


def registers(test=lambda found: True):
    """The register panel can be read ({"A": "00", ..., "PC": "F800", ...}) and passes test."""
    return lambda shot: ((found := shot.registers()) is not None and test(found), found)


def pc_is(pc):
    return registers(lambda found: found["PC"] == f"{pc:04X}")


def selection_screen(expected, highlighted=None):
    """The heading, an empty line, then the names expected (any order), one highlighted."""
    def listing(shot):
        names, index = shot.selection()
        ok = sorted(names) == sorted(expected) and index is not None
        return ok and highlighted in (None, index), f"list {names}, highlight {index}"
    return all_of(shows(0, 0, "Select ROM file:", WHITE),
                  lambda shot: (shot.blank_rows(8, 15), "rows 8 to 15 not empty"), listing)


def debugger_screen(image, pc):
    """Titles, the register panel with PC, the listing from pc, the PROM panel's first line."""
    titles = ((0, 6, "MC6802 Memory"), (0, 150, "MC6821 Peripheral Interface Adapter"),
              (0, 174, "Harris 7641 PROM (2048 bytes)"), (330, 128, "Memory Edit"),
              (490, 32, " " * 24 + "MC6802"), (0, 710, "Emulation"),
              (0, 742, "Esc    - Quit      L - Load .snd ROM from file"))
    return all_of(*(shows(x, y, text, TITLE) for x, y, text in titles), pc_is(pc),
                  shows(490, 84, f"PC: {pc:04X}", WHITE), shows(590, 56, f"{pc:04X}", ADDRESS),
                  shows(0, 184, "F800", ADDRESS), shows(60, 184, image[:32].hex().upper()))


def cursor_at(x, y=PIA_Y):
    """The edit cursor's selected digit at x and, beside it, the other digit of its byte."""
    def check(shot):
        selected = shot.cell(x, y)[1]
        other = shot.cell(x + 8 if (x - 60) % 16 == 0 else x - 8, y)[1]
        return selected == {CURSOR} and other == {CURSOR_OTHER}, f"{selected} / {other}"
    return check


def move_to(s, shot, target):
    """Moves the highlight to target with Up or Down, one entry a press, each press checked;
    when the first entry is both highlighted and target, Down then Up."""
    order, index = shot.selection()
    goal = order.index(target)
    way = 1 if goal >= index else -1
    for entry in [1, 0] if index == goal == 0 else range(index + way, goal + way, way):
        key = "Down" if entry > index else "Up"
        index = entry
        s.press(key, key.lower(), selection_screen(order, index))


def walkthrough(s):
    demo, tone = (Path(s.workdir, name).read_bytes() for name in ROMS)
    demo_reset, tone_reset = (int.from_bytes(image[-2:], "big") for image in (demo, tone))

    s.launch("main")
    shot = s.press(None, "selection", selection_screen(ROMS, 0))
    step(f"starts on the selection screen: heading and {shot.selection()[0]}, first highlighted")
    s.silent_from(0, "audio on the selection screen")
    step("audio is silent on the selection screen")

    move_to(s, shot, "demo.snd")
    before = s.press("Return", "debugger",
                     all_of(debugger_screen(demo, demo_reset), cursor_at(60, 16))).registers()
    step(f"Down/Up, Return load demo.snd: titles, PC {demo_reset:04X}, listing, PROM, edit cursor")

    length = sounding_seconds(s.play("p", "the start-up chime", 0.7))
    if not 0.38 <= length <= 0.44:
        raise Failure(f"the start-up chime lasts {length:.3f} s, not about 0.41 s")
    after = s.press(None, "running", registers(
        lambda found: found != before and found["PC"] != f"{demo_reset:04X}")).registers()
    step(f"P runs: the chime plays ({length:.3f} s), registers {before} -> {after}")

    # One digit a key: into the PIA panel, along to byte 0x0402, then 0 and 1 typed into it.
    for n, key in enumerate(("Tab", "Right", "Right", "Right", "Right", "0", "1")):
        typed = "01"[:max(0, n - 4)]
        s.press(key, f"{key}-{n}", all_of(shows(92, PIA_Y, typed), cursor_at(60 + 8 * n)))
    step("Tab, Right x4 and 0 1 write 01 into PIA byte 0x0402")

    tone1k = s.play("i", "command 01", 0.7)
    hz = frequency(tone1k[int(0.05 * RATE):int(0.45 * RATE)])
    length = sounding_seconds(tone1k)
    if hz is None or abs(hz - 1000) > 10 or not 0.47 <= length <= 0.53:
        raise Failure(f"command 01: {hz} Hz for {length:.3f} s, not 1000 Hz for 0.5 s")
    step(f"I plays command 01: {hz:.1f} Hz for {length:.3f} s")

    s.press("space", "stepped", registers())
    s.press("r", "reset", pc_is(demo_reset))
    held_from, mark = time.monotonic(), s.audio.count()
    while time.monotonic() - held_from < 0.5:
        shot = s.press(None, "reset-held", pc_is(demo_reset), timeout=1)
    s.silent_from(mark, "audio while stopped", 0.2)
    following = int(shot.text(590, 64, 4), 16)
    s.press("space", "step", pc_is(following))
    step(f"Space stops, R resets to {demo_reset:04X} and stays, Space steps "
         f"'{shot.text(638, 56, 11).strip()}' to {following:04X}")

    added = os.path.join(s.workdir, "added.snd")
    shutil.copy(os.path.join(s.workdir, "tone.snd"), added)
    shot = s.press("l", "rescan", selection_screen(ROMS + ["added.snd"]))
    step(f"L returns to the selection screen with a fresh scan: {shot.selection()[0]}")

    move_to(s, shot, "tone.snd")
    s.press("Return", "tone", debugger_screen(tone, tone_reset))
    s.play("p", "tone.snd")
    pitches = [s.hear_pitch(key, 500.0 * speed / 19, f"tone.snd at speed {speed}") for key, speed
               in ((None, 19), ("bracketleft", 18), ("bracketright", 19), ("bracketright", 20))]
    step("[ and ] change the pitch of tone.snd: " + " -> ".join(f"{p:.1f} Hz" for p in pitches))

    os.remove(added)
    s.press("l", "back", selection_screen(ROMS))
    s.silent_from(s.audio.count() + 2048, "audio after L")
    step("L while the tone plays: selection screen without added.snd, audio silent")

    took = s.quit_with(lambda: s.program.key("Escape"), "Escape")
    step(f"Escape ends hummbox with status 0 in {took:.2f} s")

    s.launch("close")
    s.press(None, "close-selection", selection_screen(ROMS))
    took = s.quit_with(lambda: s.xvfb.send_close_request(s.program.window),
                       "the window's close request")
    step(f"the window's close request ends hummbox with status 0 in {took:.2f} s")

    s.launch("nodisplay", display=False)
    s.quit_with(lambda: None, "without a display", status=1)
    message = s.program.stderr_text().strip()
    if not message:
        raise Failure("without a display: status 1 but nothing on stderr")
    step(f"without a display: status 1, stderr: {message.splitlines()[-1]}")

    s.launch("noaudio", SDL_AUDIODRIVER="alsa", AUDIODEV="hummbox-e2e-no-such-device")
    shot = s.press(None, "noaudio-selection", selection_screen(ROMS))
    if "audio" not in s.program.stderr_text():
        raise Failure(f"no audio device: no warning on stderr ({s.program.stderr_text()!r})")
    move_to(s, shot, "tone.snd")
    s.press("Return", "noaudio-debugger", debugger_screen(tone, tone_reset))
    s.press("p", "noaudio-running", registers(lambda found: found["PC"] != f"{tone_reset:04X}"))
    took = s.quit_with(lambda: s.program.key("Escape"), "Escape without an audio device")
    step(f"no audio device: a warning, keys and the processor work, Escape ends in {took:.2f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--hummbox", "--run-dir", "--out"):
        parser.add_argument(name, required=True)
    parser.add_argument("--sanitized", action="store_true",
                        help="hummbox is a sanitizer build: software renderer, no leak check")
    args = parser.parse_args()
    if missing_tools():
        parser.error(f"missing {' '.join(missing_tools())}; tools/deps.sh installs them")
    # Should anything hang, say where, and end before CTest's limit does.
    faulthandler.dump_traceback_later(240, exit=True)
    started = time.monotonic()
    s = Session(args)
    print(f"e2e: on Xvfb {s.xvfb.display}; screenshots and audio go to {s.out}", flush=True)
    try:
        walkthrough(s)
    except Failure as failure:
        print(f"e2e: FAILED: {failure}", file=sys.stderr)
        print(f"e2e: look at {s.out} (last-seen.png is the last screenshot taken; "
              f"*-audio.wav the audio; *.stderr what hummbox printed)", file=sys.stderr)
        return 1
    finally:
        s.finish()
    print(f"e2e: passed in {time.monotonic() - started:.1f} s; files in {s.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
