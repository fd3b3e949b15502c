"""A private X server, the hummbox program in it, keys into its window and screenshots out.

Standard library only; the X tools come from the Debian packages xvfb and xdotool. Shared by
the end-to-end walk-through (tests/e2e) and tools/screenshots.sh.
"""

import os
import select
import shutil
import socket
import struct
import subprocess
import time
import zlib

WINDOW_WIDTH = 740
WINDOW_HEIGHT = 756


class Failure(Exception):
    """A check of the walk-through did not hold."""


def wait_until(probe, timeout, what):
    """Calls probe until it returns something true, at most timeout seconds; returns that.

    probe returns (ok, detail); the last detail goes into the failure message."""
    deadline = time.monotonic() + timeout
    detail = None
    while True:
        ok, detail = probe()
        if ok:
            return detail
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not seen within {timeout} s (last seen: {detail})")
        time.sleep(0.03)


def missing_tools():
    return [t for t in ("Xvfb", "xdotool") if shutil.which(t) is None]


class Xvfb:
    """An X server of its own on a display number that it picks itself."""

    def __init__(self, log_path):
        read_end, write_end = os.pipe()
        self.log = open(log_path, "wb")
        # Big enough for the 740 x 756 window at (30, 30).
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x800x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=self.log, stderr=self.log)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise Failure(f"Xvfb did not start (see {log_path})")
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise Failure(f"Xvfb did not start (see {log_path})")
                number += chunk
        os.close(read_end)
        self.number = int(number)
        self.display = f":{self.number}"

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()

    def send_close_request(self, window):
        """Asks the window to close as a window manager would: a WM_DELETE_WINDOW client
        message (ICCCM), sent to the client that owns the window. xdotool's windowclose
        destroys the window instead, which is not a request."""
        with XConnection(self.number) as x:
            protocols = x.intern("WM_PROTOCOLS")
            delete = x.intern("WM_DELETE_WINDOW")
            event = struct.pack("<BBHII", 33, 32, 0, window, protocols)
            event += struct.pack("<IIIII", delete, 0, 0, 0, 0)
            # SendEvent with an empty mask goes to the client that created the window.
            x.sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)
            # GetInputFocus as a round trip: an error for the SendEvent would come first.
            x.sock.sendall(struct.pack("<BxH", 43, 1))
            reply = x.recv(32)
            if reply[0] == 0:
                raise Failure(f"the X server rejected the close request (error {reply[1]})")


class XConnection:
    """A bare X11 client over the server's local socket, for the two requests that the X
    tools do not make as needed here."""

    def __init__(self, number):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(10)
        try:
            self.sock.connect(f"/tmp/.X11-unix/X{number}")
            self.sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
            header = self.recv(8)
            if header[0] != 1:
                raise Failure("the X server refused the connection")
            setup = self.recv(struct.unpack("<H", header[6:8])[0] * 4)
            self.lsb_first = setup[22] == 0
        except (OSError, Failure):
            self.sock.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.sock.close()

    def recv(self, count):
        data = bytearray()
        try:
            while len(data) < count:
                chunk = self.sock.recv(min(count - len(data), 1 << 20))
                if not chunk:
                    raise Failure("the X server closed the connection")
                data += chunk
        except socket.timeout:
            raise Failure("the X server did not answer within 10 s") from None
        return bytes(data)

    def intern(self, name):
        data = name.encode()
        pad = (4 - len(data) % 4) % 4
        self.sock.sendall(struct.pack("<BBHHxx", 16, 0, 2 + (len(data) + pad) // 4, len(data)) +
                          data + b"\0" * pad)
        reply = self.recv(32)
        if reply[0] != 1:
            raise Failure(f"InternAtom {name} failed")
        return struct.unpack("<I", reply[8:12])[0]

    def window_rgb(self, window, width, height):
        """The window's pixels (GetImage, ZPixmap) as RGB bytes, or None if it cannot be
        read (not mapped, or not a 24-bit window)."""
        self.sock.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, window, 0, 0, width, height,
                                      0xFFFFFFFF))
        reply = self.recv(32)
        if reply[0] != 1:
            return None
        data = self.recv(struct.unpack("<I", reply[4:8])[0] * 4)
        if reply[1] != 24 or len(data) != width * height * 4 or not self.lsb_first:
            return None
        rgb = bytearray(width * height * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = data[2::4], data[1::4], data[0::4]
        return bytes(rgb)


def run(command, env, timeout=10):
    """A helper tool's run, which must not take longer than timeout seconds. Xvfb under
    load now and then refuses a new connection (EAGAIN, reset); xdotool then cannot open
    the display and is run again, up to five times."""
    for _ in range(5):
        try:
            done = subprocess.run(command, env=env, capture_output=True, text=True,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{command[0]} still running after {timeout} s: "
                          f"{' '.join(command)}") from None
        if "Can't open display" not in done.stderr:
            return done
        time.sleep(0.2)
    raise Failure(f"{command[0]} could not open the display five times: {done.stderr}")


class Program:
    """One run of hummbox, with its stdout and stderr in files."""

    def __init__(self, binary, workdir, env, log_prefix):
        self.stdout_path = log_prefix + ".stdout"
        self.stderr_path = log_prefix + ".stderr"
        self.out = open(self.stdout_path, "wb")
        self.err = open(self.stderr_path, "wb")
        self.proc = subprocess.Popen([binary], cwd=workdir, env=env, stdout=self.out,
                                     stderr=self.err, stdin=subprocess.DEVNULL)
        self.env = env
        self.window = None
        self.x = None
        self.last_rgb = None  # the last screenshot taken, for a look after a failure

    def stderr_text(self):
        if not self.err.closed:
            self.err.flush()
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")

    def find_window(self, timeout=20):
        """Waits for the mapped hummbox window. One xdotool process polls over a single
        connection: a new X connection every few milliseconds while hummbox opens its own
        makes Xvfb refuse some of them (EAGAIN, reset), hummbox's included. Only once
        mapped: SDL waits for the MapNotify while showing the window."""
        found = run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^hummbox"],
                    self.env, timeout=timeout)
        ids = found.stdout.split()
        if not ids:
            raise Failure(f"no hummbox window (xdotool: {found.stderr.strip()}); hummbox "
                          f"status {self.proc.poll()}, stderr: {self.stderr_text().strip()}")
        self.window = int(ids[-1])
        return self.window

    def key(self, name):
        if run(["xdotool", "key", "--window", str(self.window), name],
               self.env).returncode != 0:
            raise Failure(f"xdotool could not send {name}")

    def screenshot(self):
        """The window's pixels as RGB bytes, or None while they cannot be read. Read with
        the X protocol's GetImage over one lasting connection (ImageMagick's import now
        and then hung for good here)."""
        if self.x is None:
            self.x = XConnection(int(self.env["DISPLAY"].lstrip(":")))
        rgb = self.x.window_rgb(self.window, WINDOW_WIDTH, WINDOW_HEIGHT)
        self.last_rgb = rgb or self.last_rgb
        return rgb

    def wait_exit(self, timeout):
        """The exit status, or a Failure when the process is still running after timeout."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"hummbox still running {timeout} s later") from None

    def stop(self):
        if self.x is not None:
            self.x.sock.close()
            self.x = None
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()
        self.err.close()


def write_png(path, rgb, width=WINDOW_WIDTH, height=WINDOW_HEIGHT):
    rows = b"".join(b"\0" + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
        f.write(chunk(b"IEND", b""))
