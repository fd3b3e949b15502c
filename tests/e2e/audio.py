"""The audio that hummbox played, as SDL's disk driver wrote it: raw 32-bit float
little-endian mono samples at 48 kHz, zeros while the device is paused."""

import array
import os
import sys
import wave

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


def sounding_span(values):
    """(first, last) indices of non-zero samples, or None for silence."""
    first = next((i for i, v in enumerate(values) if v != 0.0), None)
    if first is None:
        return None
    last = max(i for i, v in enumerate(values) if v != 0.0)
    return first, last
