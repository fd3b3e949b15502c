"""hummbox as a person meets it: the real program in a private X server, driven only by
keys typed into its window, checked by reading the window back and by the audio that SDL's
disk driver writes. Usage: walkthrough.py --hummbox H --run-dir build/run --out build/e2e"""

import argparse, array, faulthandler, os, re, shutil, sys, time  # noqa: E401
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "desktop"))
from desktop import RATE, Desktop, Failure, expect, frequency, sounding_seconds, wait_until  # noqa

ROMS = ["demo.snd", "tone.snd"]
WHITE, TITLE, ADDRESS = (255, 255, 255), (255, 100, 100), (63, 175, 63)
CURSOR, CURSOR_OTHER, PIA_Y = (255, 255, 170), (204, 153, 153), 160


def step(message):
    print(f"  ok  {message}", flush=True)


# What the screens show: each check takes a Shot and returns (ok, detail).
def all_of(*checks):
    return lambda shot: next((r for r in map(lambda c: c(shot), checks) if not r[0]), (1, 0))


def shows(x, y, text, colour=None):
    return lambda shot: shot.shows(x, y, text, colour)


def registers(test=lambda found: True):
    return lambda shot: ((found := shot.registers()) is not None and test(found), found)


def pc_is(pc):
    return registers(lambda found: found["PC"] == f"{pc:04X}")


def selection_screen(expected, highlighted=None):
    """The heading, an empty line, then the names expected (any order), one highlighted."""
    def listing(shot):
        names, index = shot.selection()
        ok = sorted(names) == sorted(expected) and index is not None
        return ok and highlighted in (None, index), f"list {names}, highlight {index}"
    return all_of(shows(0, 0, "Select ROM file:", WHITE), listing, lambda shot: (
        shot.img.crop((0, 8, 740, 16)).getbbox() is None, "rows 8 to 15 not empty"))


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
    other = x + 8 if (x - 60) % 16 == 0 else x - 8
    return lambda shot: ((lit := (shot.cell(x, y)[1], shot.cell(other, y)[1])) ==
                         ({CURSOR}, {CURSOR_OTHER}), lit)


def move_to(s, shot, target):
    """Moves the highlight to target a press at a time (or Down and Up), each checked."""
    order, index = shot.selection()
    goal = order.index(target)
    for key in ["Down", "Up"] if index == goal == 0 else [("Up", "Down")[goal > index]] * abs(goal - index):
        index += 1 if key == "Down" else -1
        s.see(key, key.lower(), selection_screen(order, index))


def silent_from(s, start, what, seconds=0.3):
    s.wait_count(start + int(seconds * RATE), what)
    expect((first := s.first_sound(start)) is None, f"{what}: sound at sample {first} of {s.audio}")


def hear_pitch(s, key, hz, what):
    """Types key (unless None); waits until the latest 0.2 s of audio is at hz within 0.3 %."""
    s.key(key)
    span = int(0.2 * RATE)
    return wait_until(lambda: ((f := frequency(s.samples(s.count() - span, s.count()))) is not None
                               and abs(f - hz) < hz * 0.003, f), 15, f"{what}: {hz:.1f} Hz")


def walkthrough(s):
    demo, tone = (Path(s.workdir, name).read_bytes() for name in ROMS)
    demo_reset, tone_reset = (int.from_bytes(image[-2:], "big") for image in (demo, tone))

    s.launch("main")
    shot = s.see(None, "selection", selection_screen(ROMS, 0))
    silent_from(s, 0, "audio on the selection screen")
    step(f"starts on the selection screen, silent: heading, {shot.selection()[0]}, first lit")

    move_to(s, shot, "demo.snd")
    before = s.see("Return", "debugger",
                   all_of(debugger_screen(demo, demo_reset), cursor_at(60, 16))).registers()
    step(f"Down/Up, Return load demo.snd: titles, PC {demo_reset:04X}, listing, PROM, edit cursor")

    length = sounding_seconds(s.sound_after("p", "the start-up chime", 0.7))
    expect(0.38 <= length <= 0.44, f"the start-up chime lasts {length:.3f} s, not about 0.41 s")
    after = s.see(None, "running", registers(
        lambda found: found != before and found["PC"] != f"{demo_reset:04X}")).registers()
    step(f"P runs: the chime plays ({length:.3f} s), registers {before} -> {after}")

    # One digit a key: into the PIA panel, along to byte 0x0402, then 0 and 1 typed into it.
    for n, key in enumerate(("Tab", "Right", "Right", "Right", "Right", "0", "1")):
        s.see(key, f"{key}-{n}", all_of(shows(92, PIA_Y, "01"[:max(0, n - 4)]),
                                        cursor_at(60 + 8 * n)))
    step("Tab, Right x4 and 0 1 write 01 into PIA byte 0x0402")

    tone1k = s.sound_after("i", "command 01", 0.7)
    hz, length = frequency(tone1k[int(0.05 * RATE):int(0.45 * RATE)]), sounding_seconds(tone1k)
    expect(hz and abs(hz - 1000) <= 10 and 0.47 <= length <= 0.53,
           f"command 01: {hz} Hz for {length:.3f} s, not 1000 Hz for 0.5 s")
    step(f"I plays command 01: {hz:.1f} Hz for {length:.3f} s")

    s.see("space", "stepped", registers())
    s.see("r", "reset", pc_is(demo_reset))
    held_from, mark = time.monotonic(), s.count()
    while time.monotonic() - held_from < 0.5:
        shot = s.see(None, "reset-held", pc_is(demo_reset), timeout=1)
    silent_from(s, mark, "audio while stopped", 0.2)
    following = int(shot.text(590, 64, 4), 16)
    s.see("space", "step", pc_is(following))
    step(f"Space stops, R resets to {demo_reset:04X}, stays, Space steps to {following:04X}")

    added = shutil.copy(os.path.join(s.workdir, "tone.snd"), os.path.join(s.workdir, "added.snd"))
    shot = s.see("l", "rescan", selection_screen(ROMS + ["added.snd"]))
    step(f"L returns to the selection screen with a fresh scan: {shot.selection()[0]}")

    move_to(s, shot, "tone.snd")
    s.see("Return", "tone", debugger_screen(tone, tone_reset))
    s.sound_after("p", "tone.snd")
    pitches = [hear_pitch(s, key, 500.0 * speed / 19, f"tone.snd at speed {speed}") for key, speed
               in ((None, 19), ("bracketleft", 18), ("bracketright", 19), ("bracketright", 20))]
    step("[ and ] change the pitch of tone.snd: " + " -> ".join(f"{p:.1f} Hz" for p in pitches))

    os.remove(added)
    s.see("l", "back", selection_screen(ROMS))
    silent_from(s, s.count() + 2048, "audio after L")
    step("L while the tone plays: selection screen without added.snd, audio silent")
    step(f"Escape ends hummbox, status 0, in {s.quit_with(lambda: s.key('Escape'), 'Escape'):.2f} s")

    s.launch("close")
    s.see(None, "close-selection", selection_screen(ROMS))
    took = s.quit_with(s.close_request, "the window's close request")
    step(f"the window's close request ends hummbox with status 0 in {took:.2f} s")

    s.launch("nodisplay", show=False)
    s.quit_with(lambda: None, "without a display", status=1)
    message = [line for line in s.output().splitlines() if line.startswith("hummbox: ")]
    expect(message, f"without a display: status 1 but no message: {s.output()!r}")
    step(f"without a display: status 1 and {message[-1]}")

    s.launch("noaudio", SDL_AUDIODRIVER="alsa", AUDIODEV="hummbox-e2e-no-such-device")
    shot = s.see(None, "noaudio-selection", selection_screen(ROMS))
    expect(re.search("^hummbox: .*audio", s.output(), re.M), f"no audio device, no warning: {s.output()!r}")
    move_to(s, shot, "tone.snd")
    s.see("Return", "noaudio-debugger", debugger_screen(tone, tone_reset))
    s.see("p", "noaudio-running", registers(lambda found: found["PC"] != f"{tone_reset:04X}"))
    took = s.quit_with(lambda: s.key("Escape"), "Escape without an audio device")
    step(f"no audio device: a warning, keys and the processor work, Escape ends in {took:.2f} s")
    record_what_plays(s)


def read_recording(path):
    """(rate, channels, float samples) of a 32-bit float WAV whose sizes match the file."""
    data = Path(path).read_bytes()
    fmt, at = data.find(b"fmt ") + 8, data.find(b"data") + 8
    expect(data[:4] == b"RIFF" and int.from_bytes(data[4:8], "little") + 8 == len(data) and
           data[fmt:fmt + 2] in (b"\x03\x00", b"\xfe\xff") and data[fmt + 14:fmt + 16] == b" \x00",
           f"{path}: not a finished 32-bit float WAV file of {len(data)} bytes")
    return (int.from_bytes(data[fmt + 4:fmt + 8], "little"), data[fmt + 2],
            array.array("f", data[at:at + int.from_bytes(data[at - 4:at], "little")]))


def record_what_plays(s):
    """V records command 01 of demo.snd into hummbox-001.wav; V while recording, then
    Escape, leaves a finished hummbox-002.wav."""
    demo = Path(s.workdir, "demo.snd").read_bytes()
    s.launch("record")
    shot = s.see(None, "record-selection", selection_screen(ROMS))
    move_to(s, shot, "demo.snd")
    s.see("Return", "record-debugger", debugger_screen(demo, int.from_bytes(demo[-2:], "big")))
    s.sound_after("p", "record: the start-up chime", 0.5)
    for n, key in enumerate(("Tab", "Right", "Right", "Right", "Right", "0", "1")):
        s.see(key, f"record-{key}-{n}", cursor_at(60 + 8 * n))
    s.key("v")
    s.sound_after("i", "record: command 01", 1.0)
    s.key("v")
    first = Path(s.workdir, "hummbox-001.wav")
    wait_until(lambda: (first.exists() and first.stat().st_size > 48000 * 4, first), 5,
               "record: hummbox-001.wav")
    time.sleep(0.3)  # V's stop lands within a frame
    rate, channels, samples = read_recording(first)
    hz = frequency(samples[int(0.05 * RATE) + next(i for i, v in enumerate(samples) if v):][:int(0.4 * RATE)])
    length = sounding_seconds(samples)
    expect(rate == 48000 and channels == 1 and hz and abs(hz - 1000) <= 10 and 0.47 <= length <= 0.53,
           f"{first.name}: {rate} Hz x {channels}, {hz} Hz for {length:.3f} s, "
           "not 1000 Hz for 0.5 s at 48000 Hz mono")
    step(f"V, I, V record command 01 into {first.name}: {len(samples) / RATE:.2f} s, "
         f"{hz:.1f} Hz sounding {length:.3f} s")
    s.key("v")
    s.wait_count(s.count() + RATE // 2, "record: half a second more")
    s.quit_with(lambda: s.key("Escape"), "Escape while recording")
    _, _, more = read_recording(Path(s.workdir, "hummbox-002.wav"))
    expect(len(more) >= RATE // 2, f"hummbox-002.wav: {len(more)} samples, not half a second")
    step(f"Escape while recording finishes hummbox-002.wav: {len(more) / RATE:.2f} s of silence")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--hummbox", "--run-dir", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    faulthandler.dump_traceback_later(240, exit=True)  # say where, before CTest's limit
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    s = Desktop(args.hummbox, args.run_dir, os.path.abspath(args.out))
    print(f"e2e: on Xvfb {s.display_name}; screenshots and audio go to {s.out}", flush=True)
    try:
        walkthrough(s)
    except Failure as failure:
        print(f"e2e: FAILED: {failure}\ne2e: see {s.out} (last-seen.png: the last screenshot; "
              "*-audio.raw: the audio; *.log: what hummbox printed)", file=sys.stderr)
        return 1
    finally:
        s.close()
    print(f"e2e: passed; files in {s.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
