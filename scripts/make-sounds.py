#!/usr/bin/env python3
"""Synthesises the program's two sounds into resources/sound/.

    scripts/make-sounds.py [OUTPUT_FOLDER]

save.wav is a soft shutter click, alarm.wav a two-note chime. Both are mono,
16-bit, 22050 Hz. The output is deterministic (the noise generator is
seeded), so running this again reproduces the committed files byte for byte.
"""
import math
import os
import random
import struct
import sys
import wave

RATE = 22050


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(
            struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def shutter():
    """Two short noise bursts (blade opening, blade closing) over a low thump."""
    rng = random.Random(1)
    n = int(0.16 * RATE)
    out = [0.0] * n
    for start, level in ((0.0, 0.55), (0.075, 0.4)):
        first = int(start * RATE)
        smooth = 0.0
        for i in range(first, n):
            t = (i - first) / RATE
            # Low-passed noise sounds like a mechanism rather than hiss.
            smooth = 0.6 * smooth + 0.4 * rng.uniform(-1.0, 1.0)
            thump = math.sin(2 * math.pi * 180 * t)
            out[i] += level * math.exp(-t * 90) * (0.8 * smooth + 0.5 * thump)
    return out


def chime():
    """Two bell-like notes, E6 then C6, each with a few inharmonic partials."""
    n = int(1.3 * RATE)
    out = [0.0] * n
    partials = ((1.0, 1.0), (2.76, 0.35), (5.4, 0.12))
    for start, freq in ((0.0, 1318.5), (0.35, 1046.5)):
        first = int(start * RATE)
        for i in range(first, n):
            t = (i - first) / RATE
            attack = min(1.0, t / 0.004)
            s = sum(a * math.exp(-t * 3.5 * k) * math.sin(2 * math.pi * freq * k * t)
                    for k, a in partials)
            out[i] += 0.33 * attack * s
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "sound")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "save.wav"), shutter())
    write(os.path.join(folder, "alarm.wav"), chime())


if __name__ == "__main__":
    main()
