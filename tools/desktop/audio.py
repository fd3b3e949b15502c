"""The audio that hummbox played, as SDL's disk driver wrote it: raw 32-bit float
little-endian mono samples at 48 kHz, zeros while the device is paused."""

import array
import os
import sys
import wave

from desktop import wait_until

RATE = 48000


class Capture:
    def __init__(self, path):
        self.path = path

    def count(self):
        """Whole samples written so far."""
        try:
            return os.path.getsize(self.path) // 4
        except FileNotFoundError:
            return 0

    def samples(self, start=0, end=None):
        end = self.count() if end is None else min(end, self.count())
        values = array.array("f")
        if end <= start:
            return values
        with open(self.path, "rb") as f:
            f.seek(start * 4)
            values.frombytes(f.read((end - start) * 4))
        if sys.byteorder != "little":
            values.byteswap()
        return values

    def first_sound(self, start):
        """Index of the first non-zero sample at or after start, or None."""
        for i, v in enumerate(self.samples(start)):
            if v != 0.0:
                return start + i
        return None

    def wait_count(self, count, what, timeout=15):
        """Waits until the file holds count samples."""
        wait_until(lambda: (self.count() >= count, self.count()), timeout, what)

    def wait_sound(self, start, what, timeout=15):
        """Waits for a non-zero sample at or after start; returns its index."""
        return wait_until(lambda: ((i := self.first_sound(start)) is not None, i), timeout,
                          f"{what}: the sound starting")

    def sound_after(self, action, what, seconds=0.0):
        """Runs action (a key press, say); returns the seconds of audio from the first
        sound after it, once written."""
        mark = self.count()
        action()
        first = self.wait_sound(mark, what)
        self.wait_count(first + int(seconds * RATE), what)
        return self.samples(first, first + int(seconds * RATE))

    def save_wav(self, path):
        """A 16-bit copy for listening (the samples lie within +-0.128)."""
        values = self.samples()
        pcm = array.array("h", (max(-32768, min(32767, int(v * 32767))) for v in values))
        if sys.byteorder != "little":
            pcm.byteswap()
        with wave.open(path, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(pcm.tobytes())


def frequency(values):
    """Frequency from the upward crossings of the mean level, between the first and the
    last crossing; None with fewer than three crossings."""
    if len(values) < 3:
        return None
    mean = sum(values) / len(values)
    crossings = []
    for i in range(1, len(values)):
        a, b = values[i - 1] - mean, values[i] - mean
        if a < 0 <= b:
            crossings.append(i - 1 + (-a) / (b - a))
    if len(crossings) < 3:
        return None
    return (len(crossings) - 1) * RATE / (crossings[-1] - crossings[0])


def sounding_seconds(values):
    """Seconds from the first to the last non-zero sample, both included; 0 for silence."""
    sounding = [i for i, v in enumerate(values) if v != 0.0]
    return (sounding[-1] - sounding[0] + 1) / RATE if sounding else 0.0
