#!/usr/bin/env bash
# Soak test: hummbox built with ThreadSanitizer under Xvfb, the demo at speed 100 under random
# keys (the debugger's among them) for N seconds (default 60). Fails on a race, growing RSS, audio starvation or a bad exit.
#   SOAK_BUILD_DIR=build-soak tools/soak.sh 1800   half an hour, in a build tree of its own
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
dir="${SOAK_BUILD_DIR:-build-thread}" # shared with tools/test.sh thread
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHUMMBOX_WERROR=ON \
    -DHUMMBOX_SANITIZE=thread >/dev/null
cmake --build "$dir" -j"$(nproc)" --target hummbox hummbox_font hummbox_roms >/dev/null
rm -rf "$dir/soak" && mkdir "$dir/soak"
exec /usr/bin/python3 - "${1:-60}" "$dir/run" "$PWD/$dir/soak" "$PWD/tools/tsan-soak.supp" <<'PY'
import glob, random, re, sys, time
sys.path.insert(0, "tools/desktop")
from desktop import Desktop

seconds, run, out, supp = int(sys.argv[1]), *sys.argv[2:]
tsan = f"halt_on_error=0:exitcode=66:log_path={out}/tsan:suppressions={supp}"
s = Desktop(f"{run}/hummbox", run, out, ("demo.snd",), SDL_AUDIODRIVER="dummy",
            HUMMBOX_AUDIO_TIMING="1", TSAN_OPTIONS=tsan)
try:
    s.launch("hummbox")
    rss = lambda: int(re.search(r"VmRSS:\s*(\d+)", open(f"/proc/{s.proc.pid}/status").read())[1])
    for key in ["Return", "p"] + ["bracketright"] * 90:  # speed 19 to 100, a key a batch
        s.key(key)
        time.sleep(0.06)
    # Space stops the processor, so P follows it; [ would lower the speed.
    # G, W and S take the hex digits that follow: breakpoints, watchpoints and sound commands.
    keys = ("i r Return Right Left Down Up minus equal Tab bracketright 0 1 2 3 4 5 6 7 8 9 a b c "
            "d e f g w s o u BackSpace")
    start, samples = time.monotonic(), []
    while (now := time.monotonic() - start) < seconds and s.proc.poll() is None:
        for key in random.choices(keys.split(), k=5) + ["space", "p"] * (random.random() < 0.05):
            s.key(key)
            time.sleep(0.03)
        samples += [(now, rss())] if now >= 5 * len(samples) else []
    end_rss = rss() if s.proc.poll() is None else 0
    s.key("Escape")  # the first only cancels an entry, if one is open
    s.key("Escape")
    status = s.proc.wait(30)
finally:
    s.close()

warm = next((r for t, r in samples if t >= seconds / 4), end_rss)
timing = re.search(r"audio timing: (\d+) buffers.*time, (\d+) in processor time.*", s.output())
print(f"soak: {seconds} s; RSS (KiB) every 5 s: {' '.join(str(r) for _, r in samples)}\n"
      f"soak: RSS at a quarter of the run {warm} KiB, at the end {end_rss} KiB\n"
      f"soak: {timing[0] if timing else 'no audio timing line'}\n"
      f"soak: load average at the end: {' '.join(open('/proc/loadavg').read().split()[:3])}")
failures = [f"hummbox exited with status {status}"] if status or not end_rss else []
failures += [f"ThreadSanitizer reports:\n{open(p).read()}" for p in glob.glob(f"{out}/tsan*")]
# Flat after the first quarter: the instrumented build steps ~32 MiB once; a 320 KiB/frame leak
# passes 40 MiB within 3 s.
failures += ["memory grew"] if end_rss > warm * 1.1 + 40960 else []
# At most 1 buffer in 1,000 may take more processor time than it plays (wall time only reported).
failures += ["the audio callback needed more processor time than its buffers play"] \
    if not timing or int(timing[1]) == 0 or int(timing[2]) * 1000 > int(timing[1]) else []
print("\n".join(f"soak: {f}" for f in failures) or "soak: passed")
sys.exit(1 if failures else 0)
PY
