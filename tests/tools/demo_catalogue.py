"""demo.snd's catalogue against the README's table, and its page in headless Chromium, framed by a check
page that counts the pictures drawn whole, the players whose file reads as a WAV, and the page's scripts."""

import array, json, pathlib, re, shutil, subprocess, sys  # noqa: E401

CHECK = """<!DOCTYPE html><iframe id="f" src="%s"></iframe><script>
const whole = image => {  // its last row opaque: a PNG cut short leaves it transparent
  const canvas = document.createElement("canvas"), w = canvas.width = image.naturalWidth;
  const context = canvas.getContext("2d"), h = canvas.height = image.naturalHeight;
  return w > 0 && (context.drawImage(image, 0, 0), context.getImageData(0, h - 1, w, 1).data).every((v, i) => i %% 4 < 3 || v == 255);
};
const wav = url => new Promise(done => {  // a missing file: an error, with an empty response
  const x = Object.assign(new XMLHttpRequest(), {onloadend: () => done(/^RIFF....WAVE/s.test(x.response))});
  x.open("GET", url), x.send();
});
document.getElementById("f").onload = async event => {
  const page = event.target.contentDocument, players = [...page.querySelectorAll("audio")];
  const heard = (await Promise.all(players.map(a => wav(a.src)))).filter(Boolean).length;
  document.body.insertAdjacentHTML("beforeend", `<p id="seen">${[...page.images].filter(whole).length}/` +
      `${page.images.length} ${heard}/${players.length} ${page.scripts.length}</p>`);
};
</script>"""


def catalogue(render, image, out, *options):
    subprocess.run([render, image, "-q", *options, "--catalog", out], check=True)
    return {r["command"]: r for r in json.loads((out / "catalogue.json").read_text())}


def main(render, image, work):
    shutil.rmtree(work := pathlib.Path(work).resolve(), ignore_errors=True)
    records, cut = catalogue(render, image, work / "catalogue"), catalogue(render, image, work / "cut", "-s", "1.4")
    # The README's table: the sounds that end, each as long as it says to the digits it gives.
    table = (pathlib.Path(__file__).parents[2] / "README.md").read_text().split("commands of `demo.snd`")[1]
    said = dict(re.findall(r"\n\| ([0-9A-F]{2}) \| [^|\n]+ \| (\d+\.\d+) s \|", table.split("\n\n")[1]))
    heard = {f"{c:02X}": f"{r['seconds']:.{len(said.get(f'{c:02X}', '.').split('.')[1])}f}"
             for c, r in records.items() if r["verdict"] == "ends"}
    sounds = sum(r["verdict"] != "silent" for r in records.values())
    def settled(r):  # the last DAC change is the last sample counted; a second or more at its level follows
        wav, n = (work / "catalogue" / r["wav"]).read_bytes(), r["samples"]
        x = array.array("f", wav[(at := wav.find(b"data") + 8):at + int.from_bytes(wav[at - 4:at], "little")])
        return x[n - 1] != x[n - 2] and x[n - 1:].count(x[n - 1]) == len(x) - n + 1 > 48000
    unsettled = [c for c, r in records.items() if r["verdict"] != "silent" and not settled(r)]
    # Cut at 1.4 s, only the sounds of 0.4 s or less had their second of rest.
    ends, short = {f"{c:02X}" for c, r in cut.items() if r["verdict"] == "ends"}, {c for c, s in said.items() if float(s) <= 0.4}
    (work / "check.html").write_text(CHECK % (work / "catalogue/index.html").as_uri())
    dom = subprocess.run([shutil.which("chromium") or sys.exit("no chromium: tools/deps.sh installs it"), "--headless",
                          "--no-sandbox", "--disable-gpu", "--allow-file-access-from-files", "--virtual-time-budget=10000",
                          "--dump-dom", (work / "check.html").as_uri()], capture_output=True, text=True, timeout=120).stdout
    got = tuple(map(int, m.groups())) if (m := re.search(r'"seen">(\d+)/(\d+) (\d+)/(\d+) (\d+)<', dom)) else None
    want = (2 * sounds, 2 * sounds, sounds, sounds, 0)
    print(f"{image}: the README says {said}\n  --catalog: {heard}, {256 - sounds} silent, not settled {unsettled}; at 1.4 s {sorted(ends)} end\n"
          f"  Chromium: pictures whole/shown, players with a WAV/players, scripts: {got}, want {want}")
    return 0 if heard == said and sounds == len(said) and not unsettled and ends == short and got == want else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))  # HUMMBOX-RENDER DEMO.SND WORK-DIR
