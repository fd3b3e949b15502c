#!/usr/bin/env bash
# Soak test: the real hummbox, built with ThreadSanitizer, in a real window under Xvfb, with
# the demo ROM running at speed 100 and random keys (never Escape or L) for the given number
# of seconds (default 60). Fails on any ThreadSanitizer report, on memory (RSS) that keeps
# growing, on audio buffers that needed more processor time than they play, or on a bad
# exit. Load average is printed, since wall-time overruns depend on it.
#   tools/soak.sh          one minute
#   tools/soak.sh 1800     half an hour
#   SOAK_BUILD_DIR=build-soak tools/soak.sh 1800   in a build tree of its own
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
root=$PWD
tools/deps.sh xvfb xdotool

dir="${SOAK_BUILD_DIR:-build-thread}" # shared with tools/test.sh thread
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHUMMBOX_WERROR=ON \
    -DHUMMBOX_SANITIZE=thread >/dev/null
cmake --build "$dir" -j"$(nproc)" --target hummbox hummbox_font hummbox_roms >/dev/null

soak="$PWD/$dir/soak"
rm -rf "$soak"
mkdir -p "$soak"
cp "$dir/run/font.bmp" "$dir/run/demo.snd" "$soak/" # the demo is the only entry of the list
log="$soak/hummbox.log"

# A display of our own.
display=""
for n in $(seq 70 99); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "soak: no free X display number"; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$soak/xvfb.log" 2>&1 &
xvfb=$!
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

(
    cd "$soak"
    export SDL_AUDIODRIVER=dummy HUMMBOX_AUDIO_TIMING=1
    export TSAN_OPTIONS="halt_on_error=0:exitcode=66:log_path=$soak/tsan:suppressions=$root/tools/tsan-soak.supp"
    exec ../run/hummbox
) >"$log" 2>&1 &
app=$!
wid=$(timeout 60 xdotool search --sync --name '^hummbox' | head -n 1)
[ -n "$wid" ] || { echo "soak: no hummbox window"; exit 1; }

key() { xdotool key --window "$wid" "$@"; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$app/status"; }

# Load the demo, run it, and raise the speed from 19 to 100: one ] per key batch, so the
# presses are spaced wider than an audio buffer.
sleep 1
key Return
sleep 0.5
key p
for _ in $(seq 90); do key bracketright; sleep 0.06; done

# Random keys. Space stops the processor, so it is always followed by P; [ would lower the
# speed and is left out.
keys=(i r Return Right Left Down Up 0 1 2 3 4 5 6 7 8 9 a b c d e f minus equal Tab bracketright)
start=$(date +%s)
end=$((start + seconds))
warm=$((start + seconds / 4))
rss_warm=""
rss_max=0
samples=""
next_sample=$start
while [ "$(date +%s)" -lt "$end" ]; do
    kill -0 "$app" 2>/dev/null || { echo "soak: hummbox ended early"; cat "$log"; exit 1; }
    for _ in 1 2 3 4 5; do key "${keys[RANDOM % ${#keys[@]}]}"; sleep 0.03; done
    [ $((RANDOM % 20)) -eq 0 ] && key space p
    now=$(date +%s)
    if [ "$now" -ge "$next_sample" ]; then
        r=$(rss)
        samples="$samples $r"
        [ "$now" -ge "$warm" ] && [ -z "$rss_warm" ] && rss_warm=$r
        [ "$r" -gt "$rss_max" ] && rss_max=$r
        next_sample=$((now + 5))
    fi
done
rss_end=$(rss)

key Escape
for _ in $(seq 300); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
app=""

echo "soak: ${seconds}s; RSS (KiB) every 5 s:$samples"
echo "soak: RSS at a quarter of the run ${rss_warm:-?} KiB, at the end $rss_end KiB, highest $rss_max KiB"
timing=$(grep "audio timing" "$log" || true)
echo "soak: ${timing:-no audio timing line}"
echo "soak: load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
failed=0
if [ "$status" -ne 0 ]; then echo "soak: hummbox exited with status $status"; failed=1; fi
if ls "$soak"/tsan* >/dev/null 2>&1; then
    echo "soak: ThreadSanitizer reports:"; cat "$soak"/tsan*; failed=1
fi
# Flat: after the first quarter, at most 10 % and 40 MiB more. The instrumented build takes
# one step of about 32 MiB at some point of the first minute (seen at 15 s and at 45 s); a
# leak of one frame's snapshot (320 KiB) per frame would pass 40 MiB within 3 s.
if [ -n "$rss_warm" ] && [ "$rss_end" -gt $((rss_warm + rss_warm / 10 + 40960)) ]; then
    echo "soak: memory grew"; failed=1
fi
# Wall-time overruns also count time the callback spent preempted on a loaded machine; they
# are reported. The callback's own processor time may exceed a buffer's playing time in at
# most one buffer in 1,000: ThreadSanitizer's own pauses make a rare late buffer in this
# build, while a sustained shortfall (starvation) fails.
buffers=$(echo "$timing" | sed -n 's/.*timing: \([0-9]*\) buffers.*/\1/p')
overruns=$(echo "$timing" | sed -n 's/.*time, \([0-9]*\) in processor time.*/\1/p')
if [ -z "$overruns" ] || [ -z "$buffers" ] || [ "$buffers" -eq 0 ] ||
    [ $((overruns * 1000)) -gt "$buffers" ]; then
    echo "soak: the audio callback needed more processor time than its buffers play (or did not report)"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "soak: passed"
exit "$failed"
