#!/usr/bin/env python3
"""Writes the three sound effects of the player (our own, synthesised) as 16-bit mono WAV files.

Usage: make_sounds.py OUTDIR
"""
import math
import struct
import sys
import wave

RATE = 22050


def tone(parts, volume=0.35):
    """parts: list of (frequency_start, frequency_end, seconds); a soft attack and decay each."""
    samples = []
    phase = 0.0
    for f0, f1, secs in parts:
        n = int(RATE * secs)
        for i in range(n):
            t = i / n
            f = f0 + (f1 - f0) * t
            phase += 2 * math.pi * f / RATE
            env = min(1.0, i / (0.005 * RATE)) * (1.0 - t) ** 2
            samples.append(volume * env * (math.sin(phase) + 0.25 * math.sin(2 * phase)))
    return samples


def noise_sweep(secs, volume=0.25):
    """A short crumpling sweep for the recycle sound (deterministic pseudo-noise)."""
    samples = []
    seed = 12345
    prev = 0.0
    n = int(RATE * secs)
    for i in range(n):
        seed = (1103515245 * seed + 12345) & 0x7FFFFFFF
        white = (seed / 0x7FFFFFFF) * 2 - 1
        t = i / n
        alpha = 0.05 + 0.6 * t  # the sound brightens as it goes
        prev = prev + alpha * (white - prev)
        env = min(1.0, i / (0.01 * RATE)) * (1.0 - t)
        samples.append(volume * env * prev)
    return samples


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 32767)) for s in samples))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    write(f"{out}/menu.wav", tone([(880, 1175, 0.06), (1175, 1175, 0.05)]))
    write(f"{out}/ok.wav", tone([(660, 660, 0.07), (990, 990, 0.12)]))
    write(f"{out}/recycle.wav", noise_sweep(0.35))


if __name__ == "__main__":
    main()
