"""Building blocks for writing accompaniment styles as Python and printing
them in the style source format (see ../README.md).

A style is built from small musical parts: a chord (root + type) gives the
pitches, a track collects notes, and rhythm strings say where hits fall.
Patterns for main and fill segments are written on C; intros and outros
are written out chord by chord in C major and C minor.
"""

import random

TICKS = 192
BAR_TICKS = {"4/4": 768, "3/4": 576, "2/4": 384, "6/8": 576}

INTERVALS = {
    "major": (0, 4, 7),
    "minor": (0, 3, 7),
    "dom7": (0, 4, 7, 10),
    "min7": (0, 3, 7, 10),
}
GROUPS = ("major", "minor", "dom7", "min7")

DRUMS = {
    "kick": 36, "rim": 37, "snare": 38, "clap": 39, "hat": 42, "pedalhat": 44,
    "lowtom": 45, "openhat": 46, "midtom": 47, "crash": 49, "hightom": 50,
    "ride": 51, "tambourine": 54, "cowbell": 56, "shaker": 70, "floortom": 41,
    "ridebell": 53, "cabasa": 69, "sidestick": 37, "woodblock": 76,
}


class Chord:
    """A chord with a root pitch class and a type; pitches come out in a
    chosen window so voice leading stays close."""

    def __init__(self, root, kind, colour=()):
        self.root = root % 12
        self.kind = kind
        self.colour = tuple(colour)  # extra intervals (sixths, ninths, major sevenths)

    @property
    def minor(self):
        return self.kind in ("minor", "min7")

    @property
    def seventh(self):
        return self.kind in ("dom7", "min7")

    def pcs(self, colour=False):
        ivs = INTERVALS[self.kind] + (self.colour if colour else ())
        return {(self.root + i) % 12 for i in ivs}

    def tones(self, lo, n, colour=False, skip=()):
        """The n lowest chord pitches from lo upwards (skip: intervals left out)."""
        out = []
        p = lo
        wanted = {(self.root + i) % 12 for i in INTERVALS[self.kind] + (self.colour if colour else ())
                  if i not in skip}
        while len(out) < n:
            if p % 12 in wanted:
                out.append(p)
            p += 1
        return out

    def interval(self, name):
        """Interval in semitones of a named degree of this chord."""
        table = {
            "R": 0, "3": 3 if self.minor else 4, "5": 7, "6": 8 if self.minor else 9,
            "7": 10 if (self.seventh or self.minor) else 11, "b7": 10, "2": 2, "4": 5,
            "a": -1, "b": -2, "#4": 6, "8": 12, "m3": 3,
        }
        return table[name]

    def bass(self, degree, centre=36):
        """A bass pitch for a degree ('R', '5', '3', ...); the root is the one
        nearest centre, '5_' is the fifth below it."""
        root = self.note(0, centre)
        if degree.endswith("_"):
            return root + self.interval(degree[:-1]) - 12
        return root + self.interval(degree)

    def note(self, interval, centre):
        """The pitch of root + interval nearest above centre - 6."""
        pc = (self.root + interval) % 12
        p = centre - 6
        while p % 12 != pc:
            p += 1
        return p


class Track:
    def __init__(self, channel, program, name=""):
        self.channel = channel
        self.program = program
        self.name = name
        self.notes = []  # (tick, pitches, velocity, duration)
        self.controls = []  # (tick, text)

    def add(self, tick, pitches, vel, dur):
        if isinstance(pitches, int):
            pitches = [pitches]
        dur = max(12, int(dur))
        self.notes.append((int(tick), list(pitches), int(vel), dur))

    def cc(self, tick, ctl, value):
        self.controls.append((int(tick), "cc %d %d" % (ctl, value)))


def parse_tokens(pattern):
    """Splits a rhythm string into slot tokens. Whitespace separates tokens
    when present, otherwise every character is a slot except the marks."""
    pattern = pattern.strip()
    if " " in pattern:
        return pattern.split()
    tokens = []
    for c in pattern:
        if c in "'>~_" and tokens:
            tokens[-1] += c  # marks belong to the word before them
        else:
            tokens.append(c)
    return tokens


WORD_ACCENT = {"X": 18, "g": -32}


def play(track, start, bar_ticks, pattern, pitch_of, vel=80, legato=0.92, swing=0, accent=16, pulse=TICKS,
         strum=0):
    """Places one rhythm string over a bar from start. A token is '.' (rest),
    '-' (hold the previous note), or a pitch word (handed to pitch_of) with
    marks: '>' accent, '~' soft, "'" short; the words X and g are an accented
    and a ghost hit. Beats (pulse ticks apart: a dotted quarter in 6/8) are
    leaned on a little; swing delays off-beat eighths."""
    tokens = parse_tokens(pattern)
    if not tokens:
        return
    step = bar_ticks / len(tokens)
    i = 0
    while i < len(tokens):
        tok = tokens[i]
        if tok in (".", "-"):
            i += 1
            continue
        holds = 0
        while i + 1 + holds < len(tokens) and tokens[i + 1 + holds] == "-":
            holds += 1
        word = tok.rstrip(">~'")
        marks = tok[len(word):]
        v = vel + (accent if ">" in marks else 0) - (22 if "~" in marks else 0) + WORD_ACCENT.get(word, 0)
        offset = i * step
        if offset == 0:
            v += 6
        elif offset % pulse == 0:
            v += 2
        length = step * (1 + holds)
        dur = length * (0.5 if "'" in marks else legato)
        t = start + i * step
        if swing and (i * step) % TICKS == TICKS // 2:
            t += swing
            dur -= swing
        pitches = pitch_of(word)
        if pitches and strum and len(pitches) > 1:
            # Strummed: strings sound one after another, down on the beat
            # (low to high), up between beats, the upstroke a little softer.
            down = offset % (TICKS // 2) == 0
            order = sorted(pitches) if down else sorted(pitches, reverse=True)
            for k, p in enumerate(order):
                track.add(t + k * strum, [p], v - (0 if down else 6), dur - k * strum)
        elif pitches:
            track.add(t, pitches, v, dur)
        i += 1 + holds


class Segment:
    def __init__(self, kind, sid, bars, comment=""):
        self.kind = kind  # main / fill / intro / outro
        self.sid = sid
        self.bars = bars
        self.comment = comment
        self.groups = {}  # group name -> list of Track
        self.drums = None


class Style:
    def __init__(self, sid, stem, name, metre, tempo, description, categories, featured=False,
                 author="Melodrift"):
        self.sid = sid
        self.stem = stem
        self.name = name
        self.metre = metre
        self.tempo = tempo
        self.description = description
        self.categories = categories
        self.featured = featured
        self.author = author
        self.segments = []
        self.rng = random.Random(sid)

    @property
    def bar(self):
        return BAR_TICKS[self.metre]

    def add(self, seg):
        self.segments.append(seg)
        return seg


def _fmt_pos(tick, bar_ticks):
    bar = tick // bar_ticks + 1
    rest = tick % bar_ticks
    beat = rest // TICKS + 1
    t = rest % TICKS
    return "%d:%d:%d" % (bar, beat, t) if t else "%d:%d" % (bar, beat)


def _clean(track, length, rng, jitter):
    """Sorted notes that end inside the segment, no two of one pitch
    overlapping, velocities nudged so repeats are not identical."""
    events = []
    for tick, pitches, vel, dur in track.notes:
        for p in pitches:
            events.append([tick, p, vel, dur])
    events.sort(key=lambda e: (e[0], e[1]))
    last_by_pitch = {}
    out = []
    for e in events:
        tick, p, vel, dur = e
        if tick >= length:
            continue
        dur = min(dur, length - tick)
        prev = last_by_pitch.get(p)
        if prev is not None:
            if prev[0] == tick:
                continue
            if prev[0] + prev[3] > tick:
                prev[3] = tick - prev[0]
        rec = [tick, p, vel, dur]
        out.append(rec)
        last_by_pitch[p] = rec
    # In a chord the top voice sings out and inner voices sit back.
    struck = {}
    for tick, p, vel, dur in out:
        struck.setdefault(tick, []).append(p)
    result = []
    for tick, p, vel, dur in out:
        if dur < 6:
            continue
        chord = struck[tick]
        if len(chord) > 1:
            vel += 5 if p == max(chord) else (0 if p == min(chord) else -4)
        v = vel + (rng.randint(-jitter, jitter) if jitter else 0)
        result.append((tick, p, max(1, min(127, v)), dur))
    # Chord notes struck together share one line when velocity and length agree.
    return result


def _emit_track(lines, track, length, bar_ticks, rng, indent):
    jitter = 4
    header = "%strack channel %d" % (indent, track.channel)
    if track.program is not None:
        header += " program %d" % track.program
    if track.name:
        header += "  # " + track.name
    lines.append(header)
    for tick, text in sorted(track.controls):
        lines.append("%s  %s %s" % (indent, _fmt_pos(tick, bar_ticks), text))
    notes = _clean(track, length, rng, jitter)
    grouped = {}
    order = []
    for tick, p, vel, dur in notes:
        key = (tick, vel, dur)
        if key not in grouped:
            grouped[key] = []
            order.append(key)
        grouped[key].append(p)
    for key in sorted(order):
        tick, vel, dur = key
        pitches = " ".join(str(p) for p in sorted(grouped[key]))
        lines.append("%s  %s note %s %d %dt" % (indent, _fmt_pos(tick, bar_ticks), pitches, vel, dur))


def _quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def render(style):
    for field, limit in (("name", 39), ("author", 39), ("description", 119)):
        if len(getattr(style, field).encode("utf-8")) > limit:
            raise ValueError("%s: %s longer than %d bytes" % (style.stem, field, limit))
    lines = [
        "# Generated by styles/tools/stylegen.py from the building blocks in",
        "# styles/tools/stylekit.py: change the generator and run it again.",
        "style %d" % style.sid,
        "revision 1",
        "name " + _quote(style.name),
        "author " + _quote(style.author),
        "description " + _quote(style.description),
        "metre " + style.metre,
        "tempo %d" % style.tempo,
        "categories " + " ".join(str(c) for c in style.categories),
    ]
    if style.featured:
        lines.append("featured")
    order = {"main": 0, "fill": 1, "intro": 2, "outro": 3}
    rng = random.Random(style.sid)
    for seg in sorted(style.segments, key=lambda s: (order[s.kind], s.sid)):
        length = seg.bars * style.bar
        lines.append("")
        head = "%s %d bars %d" % (seg.kind, seg.sid, seg.bars)
        if seg.comment:
            head += "  # " + seg.comment
        lines.append(head)
        for gname in GROUPS:
            if gname not in seg.groups:
                continue
            lines.append("  group " + gname)
            for track in seg.groups[gname]:
                _emit_track(lines, track, length, style.bar, rng, "    ")
        if seg.drums is not None:
            lines.append("  drums")
            _emit_track(lines, seg.drums, length, style.bar, rng, "    ")
    return "\n".join(lines) + "\n"
