"""Independent reader for the library checks: reports what a composed MIDI
file or a rendered WAV file holds, one fact per line.

  inspect_song.py midi FILE [WINDOWS]
      WINDOWS: comma-separated chord windows start:end:root:type in ticks
      (type 0 major, 1 minor, 2 dominant seventh, 3 minor seventh)
  inspect_song.py wav FILE [AFTER]
      AFTER: seconds from which the tail's loudness is measured
"""

import array
import sys
import wave

CHORD = {0: {0, 4, 7}, 1: {0, 3, 7}, 2: {0, 4, 7, 10}, 3: {0, 3, 7, 10}}
# Added sixths, ninths and sevenths some styles colour their chords with.
COLOUR = {0: {2, 9, 11}, 1: {2, 5, 10}, 2: {2, 9}, 3: {2, 5}}


def notes_of(track):
    """(start tick, channel, pitch, velocity) of every note-on; the program."""
    tick, program, out = 0, -1, []
    for msg in track:
        tick += msg.time
        if msg.type == "program_change" and program < 0:
            program = msg.program
        elif msg.type == "note_on" and msg.velocity > 0:
            out.append((tick, msg.channel, msg.note, msg.velocity))
    return out, program, tick


def window_at(windows, tick):
    for w in windows:
        if w[0] <= tick < w[1]:
            return w
    return None


def last_bar(m, bar):
    """Pitch classes (a bit mask) of the pitched notes but the bass that start
    in the last bar holding any, and the lowest pitch struck at that bar's
    start."""
    pitched = []
    for track in m.tracks:
        pitched += [n for n in notes_of(track)[0] if n[1] != 9]
    if not pitched:
        return -1, 0, -1
    start = max(n[0] for n in pitched) // bar * bar
    final = [n for n in pitched if n[0] >= start]
    mask = 0
    for n in final:
        if n[1] != 8:  # a walking bass may pass through other notes
            mask |= 1 << (n[2] % 12)
    downbeat = [n[2] for n in final if n[0] == start]
    return start, mask, min(downbeat) if downbeat else -1


def midi(path, windows, bar):
    import mido

    m = mido.MidiFile(path)
    length = max(sum(msg.time for msg in t) for t in m.tracks)
    print("FILE %d %d %d %d %.3f" % (m.type, m.ticks_per_beat, len(m.tracks), length, m.length))
    print("LASTBAR %d %d %d" % last_bar(m, bar))
    for track in m.tracks[1:]:
        notes, program, _ = notes_of(track)
        channels = {n[1] for n in notes} or {-1}
        pitches = [n[2] for n in notes] or [-1]
        vels = [n[3] for n in notes] or [-1]
        tones = roots = tones_ok = roots_ok = 0
        for tick, ch, pitch, _ in notes:
            w = window_at(windows, tick)
            if w is None:
                continue
            rel = (pitch - w[2]) % 12
            tones += 1
            tones_ok += rel in CHORD[w[3]] or rel in COLOUR[w[3]]
            if tick == w[0] and w[4]:
                roots += 1
                roots_ok += rel == 0
        print("TRACK %d %d %d %d %d %d %d %d %d %d %d %d" % (
            min(channels), len(channels), program, len(notes), min(pitches), max(pitches), min(vels),
            max(vels), tones, tones_ok, roots, roots_ok))


def wav(path, after):
    with wave.open(path, "rb") as w:
        frames = w.getnframes()
        rate = w.getframerate()
        channels = w.getnchannels()
        if w.getsampwidth() != 2:
            print("WAV %.3f -1 -1 -1 -1" % (frames / float(rate)))
            return
        data = array.array("h", w.readframes(frames))
    if sys.byteorder == "big":
        data.byteswap()
    peak = max(max(data, default=0), -min(data, default=0))
    clipped = data.count(32767) + data.count(-32767) + data.count(-32768)

    def rms(samples):
        # Every fourth sample is plenty for loudness and keeps the check quick.
        sub = samples[::4]
        return (sum(s * s for s in sub) / max(1, len(sub))) ** 0.5 / 32768.0

    tail = data[int(after * rate) * channels:] if after >= 0 else array.array("h")
    print("WAV %.3f %.5f %.5f %.6f %.6f" % (frames / float(rate), peak / 32768.0, rms(data),
                                             clipped / max(1, len(data)), rms(tail)))


def parse_windows(text, bar):
    out = []
    for item in filter(None, text.split(",")):
        start, end, root, kind = (int(x) for x in item.split(":"))
        out.append((start, end, root, kind, start % bar == 0))
    return out


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "midi":
        bar = int(sys.argv[4]) if len(sys.argv) > 4 else 768
        midi(sys.argv[2], parse_windows(sys.argv[3], bar) if len(sys.argv) > 3 else [], bar)
    elif len(sys.argv) in (3, 4) and sys.argv[1] == "wav":
        wav(sys.argv[2], float(sys.argv[3]) if len(sys.argv) > 3 else -1.0)
    else:
        sys.exit(__doc__)
