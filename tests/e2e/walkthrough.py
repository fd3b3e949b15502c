#!/usr/bin/env python3
"""hummbox as a person meets it: the real program in a private X server, driven only by
keys sent to its window, checked by reading the window back and by the audio that SDL's
disk driver writes to a file.

    walkthrough.py --hummbox build/run/hummbox --run-dir build/run --out build/e2e

The screenshots (PNG) and the captured audio (raw float and a 16-bit WAV) of every step
stay in --out, which is emptied first.
"""

import argparse
import faulthandler
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from audio import RATE, Capture, frequency, sounding_span  # noqa: E402
from desktop import (WINDOW_HEIGHT, WINDOW_WIDTH, Failure, Program, Xvfb,  # noqa: E402
                     missing_tools, wait_until, write_png)
from screen import Font, Shot  # noqa: E402

HEADING = "Select ROM file:"
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
TITLE = (255, 100, 100)
ADDRESS = (63, 175, 63)
CURSOR = (255, 255, 170)
CURSOR_OTHER = (204, 153, 153)
PIA_Y = 160
QUIT_SECONDS = 2.0


class Session:
    """The X server, the program of the moment, and the files a person can look at."""

    def __init__(self, args):
        self.binary = os.path.abspath(args.hummbox)
        self.run_dir = os.path.abspath(args.run_dir)
        self.out = os.path.abspath(args.out)
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        self.font = Font(os.path.join(self.run_dir, "font.bmp"))
        self.workdir = tempfile.mkdtemp(prefix="hummbox-e2e-")
        for name in ("font.bmp", "demo.snd", "tone.snd"):
            shutil.copy(os.path.join(self.run_dir, name), self.workdir)
        self.xvfb = Xvfb(os.path.join(self.out, "xvfb.log"))
        self.sanitized = args.sanitized
        self.program = None
        self.audio = None
        self.shots = 0
        self.last_rgb = None
        self.started = time.monotonic()

    def rom(self, name):
        with open(os.path.join(self.workdir, name), "rb") as f:
            return f.read()

    def environment(self, display=True, **extra):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL_AUDIODRIVER",
                            "SDL_RENDER_DRIVER", "SDL_DISKAUDIOFILE", "AUDIODEV")}
        if display:
            env["DISPLAY"] = self.xvfb.display
        if self.sanitized:
            # Keep Mesa's uninstrumented GL threads out of a sanitizer build's run, and leave
            # leak checking to the in-process tests: D-Bus and the GL drivers that SDL loads
            # keep memory to the end of the process on purpose.
            env["SDL_RENDER_DRIVER"] = "software"
            env["SDL_FRAMEBUFFER_ACCELERATION"] = "0"  # the window surface without GL too
            env["ASAN_OPTIONS"] = ":".join(
                filter(None, [env.get("ASAN_OPTIONS", ""), "detect_leaks=0"]))
        env.update(extra)
        return env

    def launch(self, name, display=True, **extra):
        """Starts hummbox in the work directory; with the disk audio driver unless told."""
        audio_path = os.path.join(self.out, f"{name}-audio.raw")
        if "SDL_AUDIODRIVER" not in extra:
            extra.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio_path)
        self.audio = Capture(audio_path)
        self.program = Program(self.binary, self.workdir, self.environment(display, **extra),
                               os.path.join(self.out, name))
        return self.program

    def see(self, name, check, timeout=15):
        """Waits until a screenshot passes check (shot -> (ok, detail)); keeps it as a PNG."""
        def probe():
            rgb = self.program.screenshot()
            if rgb is None:
                if self.program.proc.poll() is not None:
                    raise Failure(f"hummbox ended with status {self.program.proc.returncode}")
                return False, "no screenshot"
            self.last_rgb = rgb
            shot = Shot(rgb, self.font)
            ok, detail = check(shot)
            return ok, (shot if ok else detail)
        shot = wait_until(probe, timeout, name)
        self.save(name, shot.rgb)
        return shot

    def save(self, name, rgb):
        self.shots += 1
        write_png(os.path.join(self.out, f"{self.shots:02d}-{name}.png"), WINDOW_WIDTH,
                  WINDOW_HEIGHT, rgb)

    def press(self, key, name, check, timeout=15):
        self.program.key(key)
        return self.see(name, check, timeout)

    def wait_audio(self, what, count, timeout=15):
        """Waits until the audio file holds count samples."""
        wait_until(lambda: (self.audio.count() >= count, self.audio.count()), timeout, what)

    def silent_from(self, start, what, seconds=0.3):
        self.wait_audio(what, start + int(seconds * RATE))
        span = sounding_span(self.audio.samples(start))
        if span is not None:
            raise Failure(f"{what}: sound at sample {start + span[0]} of "
                          f"{os.path.basename(self.audio.path)}")

    def sound_after(self, start, what, seconds, timeout=15):
        """The samples from the first sound after start, seconds long."""
        first = wait_until(lambda: ((f := self.audio.first_sound(start)) is not None, f),
                           timeout, f"{what}: the sound starting")
        self.wait_audio(what, first + int(seconds * RATE), timeout)
        return first, self.audio.samples(first, first + int(seconds * RATE))

    def hear_pitch(self, hz, what, timeout=15):
        """Waits until the latest 0.2 s of audio has the frequency hz, within 1 %; then the
        0.2 s after that (clear of any change of speed) must hold it within 0.3 %."""
        window = int(0.2 * RATE)

        def probe():
            end = self.audio.count()
            f = frequency(self.audio.samples(end - window, end))
            return f is not None and abs(f - hz) < hz * 0.01, end
        end = wait_until(probe, timeout, f"{what}: {hz:.1f} Hz")
        self.wait_audio(what, end + window)
        f = frequency(self.audio.samples(end, end + window))
        if f is None or abs(f - hz) > hz * 0.003:
            raise Failure(f"{what}: {f} Hz, not {hz:.1f} Hz")
        return f

    def quit_with(self, action, what, status=0):
        started = time.monotonic()
        action()
        code = self.program.wait_exit(QUIT_SECONDS + 1)
        took = time.monotonic() - started
        if code != status or took > QUIT_SECONDS:
            raise Failure(f"{what}: status {code} after {took:.2f} s "
                          f"(expected {status} within {QUIT_SECONDS} s)")
        return took

    def finish(self):
        if self.program is not None:
            self.program.stop()
        for name in os.listdir(self.out):
            if name.endswith("-audio.raw"):
                Capture(os.path.join(self.out, name)).save_wav(
                    os.path.join(self.out, name[:-4] + ".wav"))
        if self.last_rgb is not None:
            write_png(os.path.join(self.out, "last-seen.png"), WINDOW_WIDTH, WINDOW_HEIGHT,
                      self.last_rgb)
        self.xvfb.stop()
        shutil.rmtree(self.workdir, ignore_errors=True)


def step(message):
    print(f"  ok  {message}", flush=True)


# ---- What the screens show -------------------------------------------------------------

def rom_list(shot):
    """The names on the selection screen, in screen order, and the highlighted index."""
    names, highlighted = [], []
    for i in range(90):
        y = 16 + 8 * i
        name = shot.text(0, y, 60).rstrip()
        if not name:
            break
        colours = shot.colours(0, y, len(name))
        if colours == {WHITE}:
            highlighted.append(i)
        elif colours != {GREY}:
            return names, None
        names.append(name)
    return names, highlighted[0] if len(highlighted) == 1 else None


def selection_screen(expected, highlighted=None):
    def check(shot):
        ok, detail = shot.shows(0, 0, HEADING, WHITE)
        if not ok:
            return False, detail
        if not shot.blank_rows(8, 15):
            return False, "rows 8 to 15 not empty"
        names, index = rom_list(shot)
        wanted = highlighted if highlighted is not None else index
        ok = sorted(names) == sorted(expected) and index is not None and index == wanted
        return ok, f"list {names}, highlight {index}"
    return check


def hex_bytes(data):
    return "".join(f"{b:02X}" for b in data)


def reset_vector(image):
    return image[2046] << 8 | image[2047]


def cursor_at(nibble_x, y=PIA_Y):
    """The cursor's selected digit at x and its other digit beside it."""
    def check(shot):
        other_x = nibble_x + 8 if (nibble_x - 60) % 16 == 0 else nibble_x - 8
        selected = shot.cell(nibble_x, y)[1]
        other = shot.cell(other_x, y)[1]
        return selected == {CURSOR} and other == {CURSOR_OTHER}, f"{selected} / {other}"
    return check


def debugger_screen(image, pc):
    """Titles, the register panel with PC, the listing from pc, the PROM panel's first line."""
    def check(shot):
        for x, y, text in ((0, 6, "MC6802 Memory"),
                           (0, 150, "MC6821 Peripheral Interface Adapter"),
                           (0, 174, "Harris 7641 PROM (2048 bytes)"),
                           (330, 128, "Memory Edit"),
                           (490, 32, " " * 24 + "MC6802"),
                           (0, 710, "Emulation"),
                           (0, 742, "Esc    - Quit      L - Load .snd ROM from file")):
            ok, detail = shot.shows(x, y, text, TITLE)
            if not ok:
                return False, detail
        registers = shot.registers()
        if registers is None or registers["PC"] != f"{pc:04X}":
            return False, f"registers {registers}"
        for check_args in ((490, 84, f"PC: {pc:04X}", WHITE), (590, 56, f"{pc:04X}", ADDRESS),
                           (0, 184, "F800", ADDRESS), (60, 184, hex_bytes(image[:32]), None)):
            ok, detail = shot.shows(*check_args)
            if not ok:
                return False, detail
        return True, None
    return check


def pc_is(pc):
    def check(shot):
        registers = shot.registers()
        return registers is not None and registers["PC"] == f"{pc:04X}", registers
    return check


# ---- The walk-through -------------------------------------------------------------------

def choose(s, names_on_screen, target):
    """Moves the highlight from entry 0 to target with Down (and Up when target is first)."""
    index = names_on_screen.index(target)
    expected = sorted(names_on_screen)
    if index == 0:
        s.press("Down", "down", selection_screen(expected, 1))
        s.press("Up", "up", selection_screen(expected, 0))
    for i in range(1, index + 1):
        s.press("Down", "down", selection_screen(expected, i))


def move_to(s, shot, target):
    """Moves the highlight to target with Up or Down, one entry per press."""
    order, index = rom_list(shot)
    while index != order.index(target):
        key = "Down" if index < order.index(target) else "Up"
        index += 1 if key == "Down" else -1
        s.press(key, key.lower(), selection_screen(order, index))


def walkthrough(s):
    demo, tone = s.rom("demo.snd"), s.rom("tone.snd")
    demo_reset, tone_reset = reset_vector(demo), reset_vector(tone)

    print(f"hummbox window on Xvfb {s.xvfb.display}", flush=True)
    s.launch("main")
    s.program.find_window()
    shot = s.see("selection", selection_screen(["demo.snd", "tone.snd"], 0))
    order = rom_list(shot)[0]
    step(f"starts on the selection screen: heading and {order}, first entry highlighted")
    s.wait_audio("audio while selecting", int(0.3 * RATE))
    s.silent_from(0, "audio on the selection screen")
    step("audio is silent on the selection screen")

    choose(s, order, "demo.snd")
    before = s.press("Return", "debugger", debugger_screen(demo, demo_reset))
    ok, detail = cursor_at(60, 16)(before)
    if not ok:
        raise Failure(f"edit cursor on RAM byte 0x0000: {detail}")
    step(f"Down and Return load demo.snd: titles, PC {demo_reset:04X}, listing and PROM panel")

    mark = s.audio.count()
    s.program.key("p")
    first, chime = s.sound_after(mark, "the start-up chime", 0.7)
    span = sounding_span(chime)
    length = (span[1] - span[0] + 1) / RATE
    if not 0.38 <= length <= 0.44:
        raise Failure(f"the start-up chime lasts {length:.3f} s, not about 0.41 s")
    after = s.see("running", lambda shot: (
        (r := shot.registers()) is not None and r != before.registers() and
        r["PC"] != f"{demo_reset:04X}", r))
    step(f"P runs: the chime plays ({length:.3f} s), registers {before.registers()} -> "
         f"{after.registers()}")

    s.press("Tab", "tab", cursor_at(60))
    for n in range(1, 5):
        s.press("Right", f"right{n}", cursor_at(60 + 8 * n))
    s.press("0", "digit0", lambda shot: (shot.text(92, PIA_Y, 1) == "0" and
                                         cursor_at(100)(shot)[0], shot.text(92, PIA_Y, 2)))
    s.press("1", "digit1", lambda shot: (shot.text(92, PIA_Y, 2) == "01" and
                                         cursor_at(108)(shot)[0], shot.text(92, PIA_Y, 2)))
    step("Tab, Right x4 and 0 1 write 01 into PIA byte 0x0402")

    mark = s.audio.count()
    s.program.key("i")
    first, tone1k = s.sound_after(mark, "command 01", 0.7)
    hz = frequency(tone1k[int(0.05 * RATE):int(0.45 * RATE)])
    span = sounding_span(tone1k)
    length = (span[1] - span[0] + 1) / RATE
    if hz is None or abs(hz - 1000) > 10 or not 0.47 <= length <= 0.53:
        raise Failure(f"command 01: {hz} Hz for {length:.3f} s, not 1000 Hz for 0.5 s")
    step(f"I plays command 01: {hz:.1f} Hz for {length:.3f} s")

    s.press("space", "stepped", lambda shot: (shot.registers() is not None, None))
    s.press("r", "reset", pc_is(demo_reset))
    held_from, mark = time.monotonic(), s.audio.count()
    while time.monotonic() - held_from < 0.5:
        shot = s.see("reset-held", pc_is(demo_reset), timeout=1)
    s.silent_from(mark, "audio while stopped", 0.2)
    following = int(shot.text(590, 64, 4), 16)
    first_text = shot.text(638, 56, 11).strip()
    s.press("space", "step", pc_is(following))
    step(f"Space stops, R resets to {demo_reset:04X} and stays, Space steps '{first_text}' "
         f"to {following:04X}")

    shutil.copy(os.path.join(s.workdir, "tone.snd"), os.path.join(s.workdir, "added.snd"))
    shot = s.press("l", "rescan", selection_screen(["demo.snd", "tone.snd", "added.snd"]))
    order = rom_list(shot)[0]
    step(f"L returns to the selection screen with a fresh scan: {order}")

    move_to(s, shot, "tone.snd")
    s.press("Return", "tone", debugger_screen(tone, tone_reset))
    mark = s.audio.count()
    s.program.key("p")
    s.sound_after(mark, "tone.snd", 0.3)
    pitches = [s.hear_pitch(500.0, "tone.snd at speed 19")]
    for key, speed in (("bracketleft", 18), ("bracketright", 19), ("bracketright", 20)):
        s.program.key(key)
        pitches.append(s.hear_pitch(500.0 * speed / 19, f"tone.snd at speed {speed}"))
    step("[ and ] change the pitch of tone.snd: " +
         " -> ".join(f"{p:.1f} Hz" for p in pitches))

    os.remove(os.path.join(s.workdir, "added.snd"))
    s.press("l", "back", selection_screen(["demo.snd", "tone.snd"]))
    s.silent_from(s.audio.count() + 2048, "audio after L")
    step("L while the tone plays: selection screen without added.snd, audio silent")

    took = s.quit_with(lambda: s.program.key("Escape"), "Escape")
    s.program.stop()
    step(f"Escape ends hummbox with status 0 in {took:.2f} s")

    s.launch("close")
    window = s.program.find_window()
    s.see("close-selection", selection_screen(["demo.snd", "tone.snd"]))
    took = s.quit_with(lambda: s.xvfb.send_close_request(window), "the window's close request")
    s.program.stop()
    step(f"the window's close request ends hummbox with status 0 in {took:.2f} s")

    s.launch("nodisplay", display=False)
    code = s.program.wait_exit(QUIT_SECONDS)
    s.program.stop()
    message = s.program.stderr_text().strip()
    if code != 1 or not message:
        raise Failure(f"without a display: status {code}, stderr {message!r}")
    step(f"without a display: status 1, stderr: {message.splitlines()[-1]}")

    s.launch("noaudio", SDL_AUDIODRIVER="alsa", AUDIODEV="hummbox-e2e-no-such-device")
    s.program.find_window()
    shot = s.see("noaudio-selection", selection_screen(["demo.snd", "tone.snd"]))
    warning = s.program.stderr_text()
    if "audio" not in warning:
        raise Failure(f"no audio device: no warning on stderr ({warning!r})")
    move_to(s, shot, "tone.snd")
    s.press("Return", "noaudio-debugger", debugger_screen(tone, tone_reset))
    s.program.key("p")
    s.see("noaudio-running", lambda shot: (
        (r := shot.registers()) is not None and r["PC"] != f"{tone_reset:04X}", r))
    took = s.quit_with(lambda: s.program.key("Escape"), "Escape without an audio device")
    s.program.stop()
    step(f"no audio device: a warning, keys and the processor still work, Escape ends in "
         f"{took:.2f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--hummbox", required=True)
    parser.add_argument("--run-dir", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--sanitized", action="store_true",
                        help="hummbox is a sanitizer build: software renderer, no leak check")
    args = parser.parse_args()

    missing = missing_tools()
    if missing:
        print(f"e2e: missing {' '.join(missing)}; tools/deps.sh installs them", file=sys.stderr)
        return 1
    # Should anything hang, say where, and end before CTest's limit does.
    faulthandler.dump_traceback_later(240, exit=True)
    s = Session(args)
    print(f"e2e: screenshots and audio go to {s.out}", flush=True)
    try:
        walkthrough(s)
    except Failure as failure:
        print(f"e2e: FAILED: {failure}", file=sys.stderr)
        print(f"e2e: look at {s.out} (last-seen.png is the last screenshot taken; "
              f"*-audio.wav the audio; *.stderr what hummbox printed)", file=sys.stderr)
        return 1
    finally:
        s.finish()
    print(f"e2e: passed in {time.monotonic() - s.started:.1f} s; files in {s.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
