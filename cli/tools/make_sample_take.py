#!/usr/bin/env python3
"""Synthesises the sample take shipped with melodrift-cli: a voice singing
eight bars in G major, 4/4 at 96 beats a minute, after one bar of silence
(where a singer would hear the count-in).

The voice is a source-filter model: a harmonic glottal source with a
scooped onset, delayed vibrato and slow pitch drift, shaped by the formants
of an open "ah" vowel, with aspiration noise under the tone and audible
breaths before the phrases. Only the standard library is used and the noise
comes from a fixed seed, so the output is the same on every run.

    python3 cli/tools/make_sample_take.py cli/data/sample-take.wav
"""
import math
import random
import struct
import sys
import wave

RATE = 16000
TEMPO = 96
BEATS_PER_BAR = 4
BEAT = 60.0 / TEMPO

# (MIDI note or None for a rest, beats). Phrase one ends in bar 4 with a rest
# for a breath; F sharp and C make the key G major rather than C or D.
MELODY = [
    (62, 1), (67, 1), (71, 1), (69, 1),
    (67, 1.5), (69, 0.5), (71, 2),
    (72, 1), (71, 1), (69, 1), (67, 1),
    (66, 1), (69, 1), (74, 1.5), (None, 0.5),
    (71, 1), (74, 1), (72, 1), (69, 1),
    (71, 1.5), (69, 0.5), (67, 2),
    (72, 1), (71, 1), (69, 1), (66, 1),
    (67, 3), (None, 1),
]

# Open vowel formants: (centre Hz, bandwidth Hz, gain).
FORMANTS = [(750, 90, 1.0), (1150, 110, 0.6), (2800, 180, 0.25), (3500, 250, 0.12)]


def formant_gain(freq):
    g = 0.0
    for centre, width, gain in FORMANTS:
        x = (freq - centre) / (width / 2.0)
        g += gain / (1.0 + x * x)
    return 0.08 + g


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


class Noise:
    """Aspiration: white noise through a one-pole band of the breath."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.low = 0.0
        self.lower = 0.0

    def next(self):
        white = self.rng.uniform(-1.0, 1.0)
        self.low += 0.35 * (white - self.low)
        self.lower += 0.02 * (white - self.lower)
        return self.low - self.lower  # keeps 300 Hz .. 3 kHz


def sing(melody):
    rng = random.Random(7)
    noise = Noise(11)
    out = [0.0] * int(BEATS_PER_BAR * BEAT * RATE)  # the count-in bar
    breath_at = [len(out) - int(0.45 * RATE)]
    phase = 0.0
    drift = 0.0
    for index, (note, beats) in enumerate(melody):
        length = int(beats * BEAT * RATE)
        if note is None:
            breath_at.append(len(out) + length - int(0.42 * RATE))
            out.extend([0.0] * length)
            continue
        target = midi_hz(note)
        previous = melody[index - 1][0] if index else None
        legato = previous is not None
        start_hz = midi_hz(previous) if legato else target * 2 ** (-0.7 / 12)
        scoop = 0.06 if legato else 0.09
        gap = int(0.035 * RATE)
        loud = 0.75 + 0.2 * rng.random()
        for i in range(length):
            t = i / RATE
            # Glide from the previous pitch (or a scoop from below).
            glide = min(1.0, t / scoop)
            hz = start_hz + (target - start_hz) * (1 - (1 - glide) ** 2)
            # Vibrato grows in after a quarter second; drift wanders slowly.
            depth = 0.0 if t < 0.25 else min(1.0, (t - 0.25) / 0.3) * 0.32
            drift += 0.0008 * (rng.uniform(-1, 1) - drift * 0.5)
            hz *= 2 ** ((depth * math.sin(2 * math.pi * 5.4 * t) + drift) / 12)
            phase += 2 * math.pi * hz / RATE
            # Attack, release and a short breath between detached notes.
            env = min(1.0, t / 0.04, max(0.0, (length - gap - i) / (0.06 * RATE)))
            tone = 0.0
            k = 1
            while k * hz < RATE * 0.45 and k <= 24:
                tone += formant_gain(k * hz) * math.sin(k * phase) / k ** 0.9
                k += 1
            out.append(loud * env * (tone + 0.05 * noise.next()))
    out.extend([0.0] * int(0.5 * RATE))
    for start in breath_at:
        add_breath(out, start, noise)
    return out


def add_breath(out, start, noise):
    span = int(0.38 * RATE)
    for i in range(span):
        if 0 <= start + i < len(out):
            shape = math.sin(math.pi * i / span) ** 2
            out[start + i] += 0.28 * shape * noise.next()


def write(path, samples):
    peak = max(abs(s) for s in samples) or 1.0
    scale = 0.7 * 32767 / peak
    floor = random.Random(3)
    frames = bytearray()
    for s in samples:
        value = int(round(s * scale + floor.uniform(-6, 6)))  # a quiet room
        frames += struct.pack("<h", max(-32768, min(32767, value)))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_sample_take.py OUT.wav")
    write(sys.argv[1], sing(MELODY))
