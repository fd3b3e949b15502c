#!/usr/bin/env bash
# Takes the README's screenshots from the real program in a private X server (Xvfb):
# docs/selection.png (the ROM selection screen) and docs/debugger.png (demo.snd running,
# the edit cursor on PIA byte 0x0402). Uses the end-to-end suite's helpers (tests/e2e).
#   tools/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
build="${1:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target hummbox hummbox_font hummbox_roms >/dev/null

python3 - "$build/run" docs <<'PY'
import os, shutil, sys, tempfile
sys.path.insert(0, "tests/e2e")
from desktop import Program, Xvfb, WINDOW_WIDTH, WINDOW_HEIGHT, wait_until, write_png
from screen import Font, Shot
from audio import Capture

run_dir, docs = sys.argv[1], sys.argv[2]
font = Font(os.path.join(run_dir, "font.bmp"))
work = tempfile.mkdtemp(prefix="hummbox-shots-")
for name in ("font.bmp", "demo.snd", "tone.snd"):
    shutil.copy(os.path.join(run_dir, name), work)
xvfb = Xvfb(os.path.join(work, "xvfb.log"))
env = {k: v for k, v in os.environ.items() if not k.startswith("SDL_")}
env.update(DISPLAY=xvfb.display, SDL_AUDIODRIVER="disk",
           SDL_DISKAUDIOFILE=os.path.join(work, "audio.raw"))
program = Program(os.path.abspath(os.path.join(run_dir, "hummbox")), work, env,
                  os.path.join(work, "hummbox"))
try:
    program.find_window()

    def until(what, check):
        def probe():
            rgb = program.screenshot()
            return (rgb is not None and check(Shot(rgb, font))), rgb
        return wait_until(probe, 15, what)

    def entries(shot):
        return [shot.text(0, 16 + 8 * i, 20).rstrip() for i in range(2)]
    rgb = until("selection screen", lambda s: sorted(entries(s)) == ["demo.snd", "tone.snd"])
    if entries(Shot(rgb, font))[0] != "demo.snd":
        program.key("Down")
        rgb = until("demo.snd highlighted", lambda s: s.colours(0, 24, 8) == {(255, 255, 255)})
    write_png(os.path.join(docs, "selection.png"), WINDOW_WIDTH, WINDOW_HEIGHT, rgb)

    program.key("Return")
    until("debugger", lambda s: s.text(0, 6, 13) == "MC6802 Memory")
    audio = Capture(os.path.join(work, "audio.raw"))
    mark = audio.count()
    program.key("p")
    wait_until(lambda: (audio.first_sound(mark) is not None, None), 15, "the chime")
    for key, x in (("Tab", 60), ("Right", 68), ("Right", 76), ("Right", 84), ("Right", 92)):
        program.key(key)
        until(f"cursor at {x}", lambda s: s.cell(x, 160)[1] == {(255, 255, 170)})
    for digit, x in (("0", 100), ("2", 108)):
        program.key(digit)
        until(f"digit {digit}", lambda s: s.cell(x, 160)[1] == {(255, 255, 170)})
    mark = audio.count()
    program.key("i")
    wait_until(lambda: (audio.first_sound(mark) is not None, None), 15, "the siren")
    rgb = until("siren running", lambda s: s.registers() is not None)
    write_png(os.path.join(docs, "debugger.png"), WINDOW_WIDTH, WINDOW_HEIGHT, rgb)
    program.key("Escape")
    program.wait_exit(5)
finally:
    program.stop()
    xvfb.stop()
    shutil.rmtree(work, ignore_errors=True)
print("wrote", os.path.join(docs, "selection.png"), "and", os.path.join(docs, "debugger.png"))
PY
