#!/bin/sh
# Installs the build in $1 into a temporary prefix; from elsewhere, the installed
# hummbox-render renders an installed demo ROM and hummbox, started on it (no display
# needed), finds the installed font, or names where it looked once the font is gone.
set -eu
tmp=$(mktemp -d "${TMPDIR:-/tmp}/hummbox install XXXXXX") # a space in every path
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/pre fix"
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$1" --prefix "$prefix" >/dev/null
for f in bin/hummbox bin/hummbox-render share/hummbox/tone.snd share/hummbox/demo.lst share/applications/hummbox.desktop \
         share/doc/hummbox/copyright share/icons/hicolor/64x64/apps/hummbox.png; do
    [ -f "$prefix/$f" ] || fail "$f not installed"; done
version=$(gzip -cd "$prefix/share/doc/hummbox/changelog.gz" | sed -n '1s/^hummbox (\(.*\)) .*/\1/p') # both report it
for p in hummbox hummbox-render; do
    [ "$("$prefix/bin/$p" --version)" = "$p $version" ] || fail "$p --version is not $p $version"
    gzip -t "$prefix/share/man/man1/$p.1.gz" || fail "no manual page for $p"; done
! command -v desktop-file-validate >/dev/null ||
    desktop-file-validate "$prefix/share/applications/hummbox.desktop" || fail "desktop entry"
mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere"

"$prefix/bin/hummbox-render" -q -s 1 -o chime.wav "$prefix/share/hummbox/demo.snd"
sound=$(tail -c +45 chime.wav | tr -d '\000' | wc -c)
[ "$sound" -gt 1000 ] || fail "the rendered chime is silent ($sound non-zero bytes)"

# SDL turns the SIGTERM from timeout into a quit: status 0 after a normal run. No GL at all
# (software renderer, no accelerated window surface), so a ThreadSanitizer build sees only
# its own threads.
run() {
    SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software \
        SDL_FRAMEBUFFER_ACCELERATION=0 \
        timeout --preserve-status -k 5 -s TERM 2 "$prefix/bin/hummbox" "$prefix/share/hummbox/demo.snd" \
        >out.log 2>&1 || fail "hummbox: status $? ($(cat out.log))"
}
run
! grep -q font out.log || fail "the installed hummbox did not find its font: $(cat out.log)"
rm "$prefix/share/hummbox/font.bmp"
run
grep -q "share/hummbox/font.bmp" out.log || fail "no font, yet no warning naming the places: $(cat out.log)"
echo "installed into $prefix: rendered $sound non-zero bytes; hummbox found its font"
