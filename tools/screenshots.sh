#!/usr/bin/env bash
# Takes the README's screenshots from the real program in a private X server (Xvfb):
# docs/selection.png (the ROM selection screen), docs/debugger.png (demo.snd running, the
# edit cursor on PIA byte 0x0402, the status line top right) and docs/help.png (the key help
# that H shows over the debugger) and docs/breakpoint.png (stopped at a breakpoint). Uses the desktop-driving library in tools/desktop.
#   tools/screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
build="${1:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target hummbox hummbox_font hummbox_roms >/dev/null

/usr/bin/python3 - "$build/run" docs <<'PY'
import os, re, sys, tempfile, time
sys.path.insert(0, "tools/desktop")
from desktop import Desktop

run_dir, docs = sys.argv[1], sys.argv[2]
# What a fresh build puts in its run directory: every ROM with its listing, so the pictures
# show the list and the labels a user sees.
roms = sorted(n for n in os.listdir(run_dir) if n.endswith((".snd", ".lst")))
desktop = Desktop(os.path.join(run_dir, "hummbox"), run_dir, tempfile.mkdtemp(), roms=roms)
CURSOR = {(255, 255, 170)}
try:
    desktop.launch("screenshots")
    snds = sorted(n for n in roms if n.endswith(".snd"))
    names = desktop.see(None, "selection screen", lambda s: (
        sorted(s.selection()[0]) == snds, s.selection())).selection()[0]
    for _ in range(names.index("demo.snd")):
        desktop.key("Down")
    desktop.see(None, "demo.snd highlighted",
                lambda s: (s.selection() == (names, names.index("demo.snd")), s.selection())
                ).img.save(f"{docs}/selection.png")
    desktop.see("Return", "debugger", lambda s: (s.text(0, 6, 13) == "MC6802 Memory", None))
    desktop.sound_after("p", "the chime")
    for key, x in (("Tab", 60), ("Right", 68), ("Right", 76), ("Right", 84), ("Right", 92),
                   ("0", 100), ("2", 108)):
        desktop.see(key, f"cursor at {x}", lambda s: (s.cell(x, 160)[1] == CURSOR, None))
    desktop.sound_after("i", "the siren")
    desktop.see(None, "siren running", lambda s: (
        s.registers() is not None and s.text(490, 0, 8) == "demo.snd", None)
                ).img.save(f"{docs}/debugger.png")
    desktop.see("h", "help", lambda s: (s.text(14, 254, 4) == "Keys", None)
                ).img.save(f"{docs}/help.png")
    desktop.see("h", "help closed", lambda s: (s.text(14, 254, 4) != "Keys", None))
    # A breakpoint on the interrupt routine's first instruction, a watchpoint on the DAC, and
    # the next command stops at the breakpoint.
    irq = next(m[1] for line in open(os.path.join(run_dir, "demo.lst"))
               if (m := re.match(r"([0-9A-F]{4}) \S+ +\d+  irq ", line)))
    time.sleep(1.5)  # the siren ends
    for key in "g" + irq.lower() + "w0400s0":
        desktop.key(key)
    desktop.see("2", "breakpoint hit", lambda s: (s.text(330, 16, 10) == "BREAK " + irq, None)
                ).img.save(f"{docs}/breakpoint.png")
    desktop.quit_with(lambda: desktop.key("Escape"), "Escape")
finally:
    desktop.close()
print("wrote", *(os.path.join(docs, f"{n}.png") for n in ("selection", "debugger", "help", "breakpoint")))
PY
