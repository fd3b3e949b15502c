"""The catalogue page of an image as a real browser loads it: headless Chromium opens a check
page beside it that frames the page and, once it has loaded with all its pictures, counts the
pictures decoded (naturalWidth > 0), the players whose WAV file reads as one, and the page's
scripts. Usage: catalogue_in_browser.py HUMMBOX-RENDER IMAGE WORK-DIR"""

import json, pathlib, re, shutil, subprocess, sys  # noqa: E401

CHECK = """<!DOCTYPE html><html><body><iframe id="f" src="%s"></iframe><script>
const wav = url => new Promise(done => {
  const x = new XMLHttpRequest();
  x.open("GET", url);
  x.responseType = "arraybuffer";
  x.onload = () => done(/^RIFF....WAVE/s.test(new TextDecoder().decode(x.response.slice(0, 12))));
  x.onerror = () => done(false);
  x.send();
});
const whole = image => {  // its last row drawn: a picture cut short leaves it transparent
  const canvas = document.createElement("canvas"), w = image.naturalWidth, h = image.naturalHeight;
  [canvas.width, canvas.height] = [w, h];
  const context = canvas.getContext("2d");
  context.drawImage(image, 0, 0);
  return w > 0 && context.getImageData(0, h - 1, w, 1).data.every((v, i) => i %% 4 < 3 || v == 255);
};
document.getElementById("f").onload = async event => {
  const page = event.target.contentDocument, players = [...page.querySelectorAll("audio")];
  const shown = [...page.images].filter(i => i.complete && whole(i)).length;
  const heard = (await Promise.all(players.map(a => wav(a.src)))).filter(Boolean).length;
  document.body.insertAdjacentHTML("beforeend", `<p id="seen">${shown}/${page.images.length} ` +
      `${heard}/${players.length} ${page.scripts.length}</p>`);
};
</script></body></html>"""


def main(render, image, work):
    work = pathlib.Path(work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    subprocess.run([render, image, "-q", "--catalog", work / "catalogue"], check=True)
    sounds = sum(r["verdict"] != "silent" for r in json.loads((work / "catalogue/catalogue.json").read_text()))
    (work / "check.html").write_text(CHECK % (work / "catalogue/index.html").as_uri())
    chromium = shutil.which("chromium") or sys.exit("no chromium: tools/deps.sh installs it")
    dom = subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                          "--allow-file-access-from-files", "--virtual-time-budget=10000", "--dump-dom",
                          (work / "check.html").as_uri()], capture_output=True, text=True, timeout=120).stdout
    seen = re.search(r'<p id="seen">(\d+)/(\d+) (\d+)/(\d+) (\d+)</p>', dom)
    want = (2 * sounds, 2 * sounds, sounds, sounds, 0)
    got = tuple(map(int, seen.groups())) if seen else None
    print(f"{image}: pictures decoded/shown, players with a WAV/players, scripts: {got}, want {want}")
    return 0 if got == want and sounds > 0 else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
