"""hummbox as a person meets it: keys typed into its window in a private X server, checked by
the window's pixels and SDL's disk-driver audio. Usage: walkthrough.py --hummbox H --run-dir R --out O"""

import argparse, array, faulthandler, os, re, shutil, sys  # noqa: E401
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "desktop"))
from Xlib import X  # noqa: E402
from PIL import Image  # noqa: E402
from desktop import RATE, Desktop, Failure, Shot, expect, frequency, sounding_seconds, wait_until  # noqa

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
    titles = ((0, 6, "MC6802 Memory"), (0, 742, "Esc    - Quit      L - Load .snd ROM from file"))
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

    s.key("v")
    s.sound_after("i", "command 01", 1.0)
    first = Path(s.workdir, "hummbox-001.wav")
    s.see("v", "recorded", shows(490, 24, f"saved {first.name}"))  # once the file is closed
    rate, channels, samples = read_recording(first)
    hz = frequency(samples[int(0.05 * RATE) + next(i for i, v in enumerate(samples) if v):][:int(0.4 * RATE)])
    length = sounding_seconds(samples)
    expect(rate == 48000 and channels == 1 and hz and abs(hz - 1000) <= 10 and 0.47 <= length <= 0.53,
           f"{first.name}: {rate} Hz x {channels}, {hz} Hz for {length:.3f} s, "
           "not 1000 Hz for 0.5 s at 48000 Hz mono")
    step(f"V, I, V record command 01 into {first.name}: {hz:.1f} Hz sounding {length:.3f} s")

    s.see("space", "stepped", registers())
    s.see("r", "reset", pc_is(demo_reset))
    mark = s.count()
    while s.count() < mark + RATE // 2:  # half a second of hummbox's time
        shot = s.see(None, "reset-held", pc_is(demo_reset), timeout=1)
    silent_from(s, mark, "audio while stopped", 0.2)
    following = int(shot.text(590, 64, 4), 16)
    s.see("space", "step", pc_is(following))
    step(f"Space stops, R resets to {demo_reset:04X}, stays, Space steps to {following:04X}")

    added = shutil.copy(os.path.join(s.workdir, "tone.snd"), os.path.join(s.workdir, "added.snd"))
    shot = s.see("l", "rescan", selection_screen(ROMS + ["added.snd"]))
    step(f"L returns to the selection screen with a fresh scan: {shot.selection()[0]}")

    move_to(s, shot, "tone.snd")
    s.see("Return", "tone", all_of(debugger_screen(tone, tone_reset), shows(490, 0, "tone.snd", STATUS),
                                   shows(490, 8, "speed 19 (912 kHz) stopped", STATUS),
                                   shows(674, 16, "H - help", STATUS)))
    s.sound_after("p", "tone.snd")
    pitches = [hear_pitch(s, key, 500.0 * speed / 19, f"tone.snd at speed {speed}") for key, speed
               in ((None, 19), ("bracketleft", 18), ("bracketright", 19), ("bracketright", 20))]
    s.see(None, "status-running", shows(490, 8, "speed 20 (960 kHz) running", STATUS))
    step("[ and ] change the pitch of tone.snd: " + " -> ".join(f"{p:.1f} Hz" for p in pitches) +
         "; the status line shows tone.snd, 912 kHz stopped, then 960 kHz running")
    s.see("h", "help-over-debugger", all_of(help_box(), shows(0, 6, "MC6802 Memory", TITLE)))
    s.see("bracketleft", "help-keys-work", all_of(help_box(), shows(490, 8, "speed 19", STATUS)))
    s.see("h", "help-closed-debugger", all_of(help_box(False), shows(490, 0, "tone.snd", STATUS)))
    step("H shows the key help over the debugger, keys work under it ([), H hides it")

    second = Path(s.workdir, "hummbox-002.wav")
    s.see("v", "recording", shows(490, 24, f"REC {second.name}"))
    s.wait_count(s.count() + RATE, "record: a second of the tone")
    os.remove(added)
    s.see("l", "back", selection_screen(ROMS))
    silent_from(s, s.count() + 2048, "audio after L")
    step("V, then L while the tone plays: selection screen without added.snd, audio silent")
    took = s.quit_with(lambda: s.key("Escape"), "Escape while recording")
    _, _, more = read_recording(second)
    expect(len(more) >= RATE // 2, f"hummbox-002.wav: {len(more)} samples, not half a second")
    step(f"Escape while recording ends hummbox in {took:.2f} s, hummbox-002.wav finished ({len(more) / RATE:.2f} s)")

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
    s.quit_with(lambda: s.key("Escape"), "Escape without an audio device")
    step("no audio device: a warning, keys and the processor work, Escape ends it")


def read_recording(path):
    """(rate, channels, samples) of a finished 32-bit float WAV."""
    data = Path(path).read_bytes()
    fmt, at = data.find(b"fmt ") + 8, data.find(b"data") + 8
    expect(data[:4] == b"RIFF" and int.from_bytes(data[4:8], "little") + 8 == len(data) and
           data[fmt:fmt + 2] in (b"\x03\x00", b"\xfe\xff") and data[fmt + 14:fmt + 16] == b" \x00",
           f"{path}: not a finished 32-bit float WAV file of {len(data)} bytes")
    return (int.from_bytes(data[fmt + 4:fmt + 8], "little"), data[fmt + 2],
            array.array("f", data[at:at + int.from_bytes(data[at - 4:at], "little")]))


# The help box's first line of text: the box holds the README's key table and six more lines,
# centred on the picture.
KEY_TABLE = re.search(r"\n\| Key \| Debugger \| ROM selection \|\n\|[-| ]+\|\n((?:\|.*\n)+)",
                      (Path(__file__).resolve().parents[2] / "README.md").read_text())[1].splitlines()
KEY_ROWS, P_ROW = len(KEY_TABLE), 4 + next(i for i, row in enumerate(KEY_TABLE) if row.startswith("| P |"))
STATUS, HELP_X, HELP_Y = (170, 204, 255), 14, (756 - 8 * (KEY_ROWS + 6)) // 2


def help_box(shown=True):
    rows = ((0, "Keys"), (P_ROW, "P            run / stop"), (KEY_ROWS + 5, "H closes this help"))
    check = all_of(*(shows(HELP_X, HELP_Y + 8 * n, text) for n, text in rows))
    return check if shown else lambda shot: (not check(shot)[0], "the help box still shows")


# --- A window that scales ---------------------------------------------------------------------
def see_scaled(s, name, check, scale, origin=(0, 0), size=None):
    """Like Desktop.see, for the picture drawn scale times at origin in a window of any size."""
    size = size or (740 * scale, 756 * scale)

    def probe():
        box = s.window.get_geometry()
        if box.width < origin[0] + size[0] or box.height < origin[1] + size[1]:
            return False, f"window {box.width}x{box.height}"
        reply = s.window.get_image(*origin, *size, X.ZPixmap, 0xFFFFFFFF)
        s.last = Image.frombytes("RGB", size, reply.data, "raw", "BGRX")
        small = s.last.resize((size[0] // scale, size[1] // scale), Image.NEAREST)
        ok, detail = check(Shot(small, s.glyphs))
        return ok and s.last == small.resize(size, Image.NEAREST), detail
    wait_until(probe, 15, name)
    s.last.save(f"{s.out}/{name}.png")


def scaling(binary, run_dir, out):
    os.makedirs(out, exist_ok=True)
    s = Desktop(binary, run_dir, out, screen="1600x1600")
    try:
        s.launch("scaled")
        see_scaled(s, "opens-at-2x", selection_screen(ROMS, 0), 2)
        s.window.configure(width=1000, height=800)
        see_scaled(s, "letterboxed", selection_screen(ROMS, 0), 1, (130, 22))
        step("on a 1600 x 1600 display it opens at 2x; at 1000 x 800 it is 1x, centred")
        s.window.configure(width=370, height=378)
        see_scaled(s, "shrunk", lambda shot: ((box := shot.img.getbbox()) is not None and
                                              box[2] < 100 and box[1] < 4, f"lit in {box}"),
                   1, size=(370, 378))  # the list at half size: 64 pixels wide, at the top
        s.window.configure(width=60, height=40)
        s.key("h")
        s.wait_count(s.count() + int(0.3 * RATE), "0.3 s of audio at 60 x 40")
        s.window.configure(width=740, height=756)
        see_scaled(s, "back-to-1x", all_of(help_box(), selection_screen(ROMS, 0)), 1)
        s.see("h", "no-help", selection_screen(ROMS, 0))
        s.key("F11")  # no window manager here: hummbox itself puts the window over the display
        see_scaled(s, "fullscreen", selection_screen(ROMS, 0), 2, (60, 44))
        s.key("F11")
        see_scaled(s, "windowed-again", selection_screen(ROMS, 0), 1)
        took = s.quit_with(lambda: s.key("Escape"), "Escape after resizing")
        step(f"at 370 x 378 it shrinks; at 60 x 40 it takes H; back at 740 x 756 the help shows; F11 without a window "
             f"manager: the whole picture at 2x, centred, F11 again: 740 x 756; Escape ends in {took:.2f} s")
    finally:
        s.close()


def command_line(s):
    """Started with an awkwardly named image elsewhere: its debugger, stopped; L lists its directory."""
    tone, other = Path(s.workdir, "tone.snd").read_bytes(), Path(s.workdir, "other dir \u00e9")
    other.mkdir()
    for name in ("-tone \u00e9.snd", "demo.snd"):
        shutil.copy(Path(s.workdir, name[-8:] if name[0] == "d" else "tone.snd"), other / name)
    s.launch("cmdline", args=["--", str(other / "-tone \u00e9.snd")])
    s.see(None, "cmdline-debugger", debugger_screen(tone, int.from_bytes(tone[-2:], "big")))
    silent_from(s, 0, "audio of a ROM loaded from the command line, before P")
    # The two bytes of the accent have no glyph: two blank cells. The image is highlighted.
    names, lit = s.see("l", "cmdline-list", selection_screen(["-tone   .snd", "demo.snd"])).selection()
    expect(names[lit] == "-tone   .snd", f"after L the highlight is on {names[lit]!r}, not the image")
    s.quit_with(lambda: s.key("Escape"), "Escape after a start with an image")
    step(f"hummbox -- '{other.name}/-tone \u00e9.snd': debugger, stopped; L lists its directory")

    (empty := Path(s.workdir, "no images")).mkdir()
    s.launch("empty", args=[str(empty)])
    s.see(None, "empty-directory", all_of(shows(0, 0, "Select ROM file:", WHITE), shows(
        0, 16, "No .snd images in this directory:"), shows(0, 24, str(empty))))
    s.quit_with(lambda: s.key("Escape"), "Escape on an empty list")
    step(f"hummbox '{empty}': the heading, then that it holds no images, and where")


def scope(s):
    """tone.snd as a trace across the scope box while running, a flat line when stopped; rebuilt
    on disk and renamed over the loaded image while it plays, it is heard anew with no key."""
    def trace(flat):  # the lit part of the trace area, x 400..655, y 708..747
        return lambda shot: ((box := shot.img.crop((400, 708, 656, 748)).getbbox()) is not None and
                             box[2] - box[0] == 256 and (box[3] - box[1] <= 1) == flat, box)
    s.launch("scope")
    move_to(s, s.see(None, "scope-selection", selection_screen(ROMS)), "tone.snd")
    for key, name, flat in (("Return", "scope-flat", True), ("p", "scope-tone", False)):
        s.see(key, name, trace(flat))
    before, image = hear_pitch(s, None, 500.0, "tone.snd"), bytearray(Path(s.workdir, "tone.snd").read_bytes())
    image[4] = 99  # F803 ldaa #149 -> #99: half a period of 18 + 6 x 99 cycles
    Path(s.workdir, "tone.new").write_bytes(image)
    os.rename(Path(s.workdir, "tone.new"), Path(s.workdir, "tone.snd"))
    after = hear_pitch(s, None, 912000 / 1224, "tone.snd rebuilt")
    took = s.quit_with(lambda: s.key("Escape"), "Escape after the scope")
    step(f"the scope: a flat line stopped, a trace of tone.snd while running; rebuilt and renamed over while "
         f"it plays: {before:.1f} Hz, then {after:.1f} Hz with no key pressed; Escape ends in {took:.2f} s")


def demo_listing(run_dir):
    """{label or 'mnemonic operand': address} from the listing built beside demo.snd."""
    found = {}
    for line in Path(run_dir, "demo.lst").read_text(errors="replace").splitlines():
        if m := re.match(r"([0-9A-F]{4}) [0-9A-F]+ +\d+  (\w*) +(\w+) *(\S*)", line):
            found.setdefault(m[2] or f"{m[3]} {m[4]}", int(m[1], 16))
    return found


def panel(row, text):  # a row of the debug panel, left of the registers
    return shows(330, 8 * row, text)


def debugging(s, run_dir):
    """demo.snd stopped where the user says: step over, a watchpoint, S, a breakpoint, the trace."""
    where = demo_listing(run_dir)
    call, irq = where["jsr playtab"], where["irq"]
    s.launch("debugging", args=[str(Path(s.workdir, "demo.snd"))])
    shot = s.see(None, "debug-start", pc_is(0xF800))
    for _ in range(8):
        if (pc := shot.registers()["PC"]) == f"{call:04X}":
            break
        shot = s.see("space", "debug-space", registers(lambda r, pc=pc: r["PC"] != pc))
    expect(shot.registers()["PC"] == f"{call:04X}", f"Space never reached the jsr at {call:04X}")
    chime = sounding_seconds(s.sound_after("o", "O over the chime's jsr", 0.6))
    shot = s.see(None, "stepped-over", all_of(pc_is(call + 3), registers(lambda r: r["SP"] == "007F"),
                                             shows(490, 8, "speed 19 (912 kHz) stopped", STATUS)))
    step(f"O at the jsr {call:04X}: the chime plays ({chime:.2f} s), stopped at {call + 3:04X}, "
         f"{shot.text(330, 8, 19).strip()}")

    s.type("w04")
    s.see("0", "watch-typed", panel(3, "watch at 040_"))
    s.see("0", "watch-set", all_of(panel(11, "watchpoints 1/8"), panel(12, "0400")))
    shot = s.see("p", "watch-hit", all_of(lambda shot: (re.fullmatch(
        r"WATCH 0400 [0-9A-F]{2}>7F", t := shot.text(330, 16, 16)), t), shows(60, PIA_Y, "7F"),
        shows(490, 8, "speed 19 (912 kHz) stopped", STATUS)))
    step(f"W 0400 and P: stopped after the DAC write, {shot.text(330, 16, 16)}, PIA shows 7F")

    s.type("w040")
    s.see("0", "watch-cleared", panel(11, "watchpoints 0/8"))
    s.see("p", "runs-on", shows(490, 8, "speed 19 (912 kHz) running", STATUS))  # past the cli
    s.type("s0")
    hz = hear_pitch(s, "1", 1000.0, "S 01: the tone")
    step(f"W 0400 again clears it; P, S 0 1 plays the command: {hz:.1f} Hz")

    s.type(f"g{irq:04x}"[:-1])
    s.see(f"{irq & 15:x}", "break-set", all_of(panel(8, "breakpoints 1/8"), panel(9, f"{irq:04X}")))
    s.wait_count(s.count() + RATE, "the tone ends")
    s.type("s0")
    # At a breakpoint the listing starts three instructions ahead of PC, whose row is marked.
    s.see("1", "break-hit", all_of(panel(2, f"BREAK {irq:04X}"), pc_is(irq),
                                   shows(590, 80, f"{irq:04X}"), shows(622, 80, "*>")))
    silent_from(s, s.count(), "audio at a breakpoint", 0.2)
    step(f"G {irq:04X}, S 0 1: stopped at the interrupt routine, BREAK {irq:04X}, three rows "
         f"ahead of it listed, marked, silent")

    s.see("t", "trace-on", lambda shot: ((t := shot.text(330, 40, 19)).startswith("TRACE hum"), t))
    s.sound_after("p", "P past the breakpoint: command 01", 0.3)
    shot = s.see("t", "trace-off", lambda shot: ((t := shot.text(330, 40, 19)).startswith("saved "), t))
    lines = Path(s.workdir, "hummbox-trace-001.txt").read_text().splitlines()
    rows = [re.fullmatch(r" *(\d+)  ([0-9A-F]{4})  ((?:[0-9A-F]{2} ){1,3}) *(\S.*?) +A=([0-9A-F]{2}) "
                         r"B=([0-9A-F]{2}) X=[0-9A-F]{4} SP=([0-9A-F]{4}) CC=[0-9A-F]{2}", line)
            for line in lines[1:]]
    first, counted = rows[0], shot.text(330, 48, 19)
    expect(lines[0].startswith("#") and all(rows) and len(rows) > 10000 and counted.startswith(
        f"{len(rows):,} lines") and (first[2], first[4].split(), first[6]) == (f"{irq:04X}", ["ldab", "$0402"], "01"),
        f"trace {lines[:2]}, {len(rows)} lines; panel {counted!r}: not ldab $0402 at {irq:04X} giving B=01 first")
    step(f"T, P, T: {len(rows):,} trace lines from ldab $0402 at {irq:04X}; the panel counts them")

    s.key("g")
    s.see("1", "entry-open", panel(3, "break at 1___"))
    s.see("Escape", "entry-cancelled", panel(3, " " * 13))
    took = s.quit_with(lambda: s.key("Escape"), "Escape with no entry open")
    step(f"Escape cancels an open entry; the next Escape ends hummbox in {took:.2f} s")


def command_bar(pattern):  # the command line's row: what was run, then its answer
    return lambda shot: (re.fullmatch(pattern, t := shot.text(0, 697, 92).rstrip()) is not None, t)


def run_line(s, text, name, check):
    """Opens the command line with ;, types text and runs it with Return."""
    s.see("semicolon", f"{name}-open", command_bar(":_"))
    s.type(text)
    return s.see("Return", name, check)


def commands(s, run_dir):
    """The command line on demo.snd: a conditional breakpoint, back, save and load."""
    irq = demo_listing(run_dir)["irq"]
    shutil.copy(Path(run_dir, "demo.lst"), s.workdir)  # its labels, for the expressions
    s.launch("commands", args=[str(Path(s.workdir, "demo.snd"))])
    s.see(None, "commands-start", pc_is(0xF800))
    s.sound_after("p", "the chime", 0.6)
    run_line(s, "break irq if [0402]==2", "cond-break",
             all_of(command_bar(rf":break irq if \[0402\]==2 +break {irq:04X} if \[0402\]==2"),
                    panel(8, "breakpoints 1/8")))
    s.type("s0")
    hz = hear_pitch(s, "1", 1000.0, "S 01 past a breakpoint whose condition fails")
    s.wait_count(s.count() + RATE, "command 01 ends")
    at_break = all_of(panel(2, f"BREAK {irq:04X}"), pc_is(irq), shows(60, PIA_Y, "7F0002"))
    shot = run_line(s, "send 2", "cond-hit", at_break)
    entered, cycles = shot.registers(), shot.text(330, 0, 19)
    step(f"break irq if [0402]==2: command 01 plays through ({hz:.1f} Hz); send 2 stops at {irq:04X}")

    stepped = s.see("space", "forward", registers(lambda r: r != entered)).registers()
    s.see("z", "back", all_of(registers(lambda r: r == entered), panel(0, cycles.strip())))
    s.see("space", "replayed", registers(lambda r: r == stepped))
    run_line(s, "back", "back-line", registers(lambda r: r == entered))
    step(f"Space, Z, Space, back: {entered} -> {stepped} -> back -> the same again -> back")

    state, damaged = Path(s.workdir, "here.state"), Path(s.workdir, "damaged.state")
    run_line(s, "save here.state", "saved", command_bar(r":save here.state +saved.*"))
    data = bytearray(state.read_bytes())
    data[len(data) // 2] ^= 0xFF
    damaged.write_bytes(data)
    later = s.see("space", "moved-on", registers(lambda r: r != entered)).registers()
    shot = run_line(s, "load damaged.state", "refused",
                    all_of(command_bar(r":load damaged.state +\S.*"), registers(lambda r: r == later)))
    refusal = shot.text(0, 697, 92)[41:].strip()
    run_line(s, "load here.state", "loaded", all_of(registers(lambda r: r == entered),
                                                   panel(0, cycles.strip())))
    siren = sounding_seconds(s.sound_after("p", "command 02 from the loaded state", 1.2))
    expect(0.95 <= siren <= 1.15, f"command 02 from the loaded state sounds {siren:.2f} s, not 1.04 s")
    took = s.quit_with(lambda: s.key("Escape"), "Escape after the command line")
    step(f"save, a damaged copy refused ({refusal}), load: registers and cycles as saved, P plays "
         f"command 02 ({siren:.2f} s); Escape ends in {took:.2f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--hummbox", "--run-dir", "--out"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    faulthandler.dump_traceback_later(540, exit=True)  # say where, before CTest's limit
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    s = Desktop(args.hummbox, args.run_dir, os.path.abspath(args.out))
    print(f"e2e: on Xvfb {s.display_name}; screenshots and audio go to {s.out}", flush=True)
    try:
        walkthrough(s)
        scaling(args.hummbox, args.run_dir, os.path.join(os.path.abspath(args.out), "scaled"))
        command_line(s)
        scope(s)
        debugging(s, args.run_dir)
        commands(s, args.run_dir)
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
