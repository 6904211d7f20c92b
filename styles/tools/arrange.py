"""Turns a style recipe (instrument parts with rhythm strings per level,
drum grooves, fills) into the segments of a style: four main patterns from
sparse to full, two fills, an intro and an interlude, a short and a long
ending, each intro and ending in C major and C minor."""

from stylekit import DRUMS, GROUPS, Chord, Segment, Track, play


# Level trims by program, from soloing each part of rendered demonstrations
# with the default sound font: its basses are hot, its grand piano and brass
# section soft.
MIX_TRIM = {0: 8, 32: -10, 33: -10, 34: -8, 35: -10, 38: -10, 58: -6, 61: 8, 24: 4}

# A four-bar phrase breathes: it rises towards its third bar and settles.
PHRASE_LIFT = (0, -4, 4, -2)


class Part:
    """One pitched instrument.

    role: 'chord' (voiced chord tones from lo), 'bass' (degrees around
    centre), 'pad' (held chord tones) or 'line' (degrees near centre).
    levels: main pattern levels (1..4) the part plays in.
    rhythm: {level: pattern or [pattern per bar]}; a level without an entry
    uses the nearest lower one.
    """

    def __init__(self, role, channel, program, name, levels, rhythm, lo=55, n=3, centre=36,
                 vel=80, legato=0.92, colour=False, fill=None, intro=None, ending=None, strum=0,
                 minor_words=None):
        self.role = role
        self.channel = channel
        self.program = program
        self.name = name
        self.levels = set(levels)
        self.rhythm = rhythm
        self.lo = lo
        self.n = n
        self.centre = centre
        self.vel = vel
        self.legato = legato
        self.colour = colour
        self.fill = fill  # {variant: pattern}, else the level-3 bar 4 pattern
        self.intro = intro  # pattern for intro bars, else the lowest level's
        self.ending = ending  # pattern of the final bar, else one held hit
        self.compound = False  # set for 6/8: beats are dotted quarters
        self.strum = strum  # ticks between the strings of a strummed chord
        self.minor_words = minor_words or {}  # degree swaps under minor chords (a minor scale)

    def pattern(self, level, bar):
        keys = sorted(k for k in self.rhythm if k <= level) or sorted(self.rhythm)
        pat = self.rhythm[keys[-1]]
        if isinstance(pat, list):
            pat = pat[bar % len(pat)]
        return pat

    def pitches(self, ch, word):
        if self.role == "bass":
            return [ch.bass(word, self.centre)]
        if self.role == "line":
            if ch.minor:
                word = self.minor_words.get(word, word)
            return [ch.note(0, self.centre) + ch.interval(word)]
        voicing = ch.tones(self.lo, max(self.n, 6), colour=self.colour)
        if word in ("C", "X", "g"):
            return voicing[: self.n]
        if word == "H":
            return voicing[1: self.n]
        if word == "L":
            return voicing[:2]
        if word == "P":
            # Power chord on a guitar's low strings: kept below the voiced
            # register, so both notes move with the root and stay a fifth or fourth.
            return sorted([ch.note(0, 46), ch.note(7, 46)])
        if word == "T":
            return [voicing[self.n - 1]]
        if word == "B":
            return [ch.note(0, 46)]  # low root, 40..51: a guitar's bass strings
        if word == "F":
            return [ch.note(7, 46)]
        if word.isdigit():
            return [voicing[int(word) - 1]]
        raise ValueError("unknown word " + word)

    def track(self):
        return Track(self.channel, self.program, self.name)

    def bar(self, trk, start, bar_ticks, ch, pattern, swing, lift=0):
        play(trk, start, bar_ticks, pattern, lambda w: self.pitches(ch, w), vel=self.vel + lift,
             legato=self.legato, swing=swing, pulse=288 if bar_ticks == 576 and self.compound else 192,
             strum=self.strum)


class Recipe:
    def __init__(self, style, parts, drums, fills, swing=0, intro_drums=None, main_bars=4):
        self.style = style
        self.parts = parts
        self.drums = drums  # {level: {drum name: pattern or [per bar]}}
        self.fills = fills  # {variant: {drum name: pattern}}
        self.swing = swing
        self.intro_drums = intro_drums  # groove for intro bars, else level 1
        self.main_bars = main_bars
        self.pulse = 288 if style.metre == "6/8" else 192
        for part in parts:
            part.compound = style.metre == "6/8"
            part.vel += MIX_TRIM.get(part.program, 0)

    # -- drums --------------------------------------------------------------
    def drum_bar(self, trk, start, groove, bar, vel=92):
        for name, pat in groove.items():
            if isinstance(pat, list):
                pat = pat[bar % len(pat)]
            base = vel - (24 if name in ("hat", "pedalhat", "shaker", "cabasa", "ride", "tambourine") else 0)
            play(trk, start, self.style.bar, pat, lambda w, n=name: [DRUMS[n]], vel=base, legato=0.5,
                 swing=self.swing, pulse=self.pulse)

    def groove(self, level):
        keys = sorted(k for k in self.drums if k <= level)
        return self.drums[keys[-1]]

    # -- segments -----------------------------------------------------------
    def main(self, sid, level):
        seg = Segment("main", sid, self.main_bars, "伴奏型%d" % (sid + 1))
        for g in GROUPS:
            ch = Chord(0, g, colour=self.colour_for(g))
            tracks = []
            for part in self.parts:
                if level not in part.levels:
                    continue
                trk = part.track()
                for b in range(self.main_bars):
                    part.bar(trk, b * self.style.bar, self.style.bar, ch, part.pattern(level, b), self.swing,
                             PHRASE_LIFT[b % len(PHRASE_LIFT)])
                tracks.append(trk)
            seg.groups[g] = tracks
        seg.drums = Track(10, 0, "drums")
        for b in range(self.main_bars):
            self.drum_bar(seg.drums, b * self.style.bar, self.groove(level), b, vel=84 + 4 * level)
        return seg

    def colour_for(self, group):
        # One added tone: a sixth on major, a seventh on minor. Sevenths
        # already have four notes; more would cluster in a close voicing.
        return {"major": (9,), "minor": (10,), "dom7": (), "min7": ()}[group]

    def fill(self, sid):
        seg = Segment("fill", sid, 1, "过门%d" % (sid + 1))
        level = 3 if sid == 1 else 2
        for g in GROUPS:
            ch = Chord(0, g, colour=self.colour_for(g))
            tracks = []
            for part in self.parts:
                if level not in part.levels and not (part.fill and sid in part.fill):
                    continue
                trk = part.track()
                pat = part.fill[sid] if part.fill and sid in part.fill else part.pattern(level, 3)
                part.bar(trk, 0, self.style.bar, ch, pat, self.swing)
                tracks.append(trk)
            seg.groups[g] = tracks
        seg.drums = Track(10, 0, "drums")
        self.drum_bar(seg.drums, 0, self.fills[sid], 0, vel=96)
        return seg

    def progression_segment(self, kind, sid, chords, comment, level, final_hit):
        """chords: per key mode a list of (root, type) per bar."""
        seg = Segment(kind, sid, len(chords["major"]), comment)
        for mode in ("major", "minor"):
            bars = chords[mode]
            tracks = []
            for part in self.parts:
                if level not in part.levels:
                    continue
                trk = part.track()
                for b, (root, kind_) in enumerate(bars):
                    ch = Chord(root, kind_, colour=self.colour_for(kind_))
                    last = b == len(bars) - 1
                    if last and final_hit:
                        pat = part.ending or ("C" + "-" * 7 if part.role != "line" else "R-------")
                        if part.role == "bass" and not part.ending:
                            pat = "R-------"
                    else:
                        pat = part.intro or part.pattern(level, b)
                    part.bar(trk, b * self.style.bar, self.style.bar, ch, pat, self.swing)
                tracks.append(trk)
            drums = Track(10, 0, "drums")
            n = len(bars)
            for b in range(n):
                start = b * self.style.bar
                if final_hit and b == n - 1:
                    self.drum_bar(drums, start, {"kick": "X" + "." * 7, "crash": "X" + "." * 7}, 0, vel=100)
                elif not final_hit and b == n - 1:
                    self.drum_bar(drums, start, self.fills[0], 0, vel=88)
                else:
                    self.drum_bar(drums, start, self.intro_drums or self.groove(level), b, vel=80 + 4 * level)
            tracks.append(drums)
            seg.groups[mode] = tracks
        return seg

    def check_openings(self, seg):
        """The composer places a pattern track bar by bar and only takes a
        track's program along when the placed span holds a note, so every
        pitched track of a main or fill segment sounds in its first half bar."""
        half = self.style.bar // 2
        for g, tracks in seg.groups.items():
            for trk in tracks:
                first = min((n[0] for n in trk.notes), default=None)
                if first is None or first >= half:
                    raise ValueError("%s: %s %d group %s: %s starts after the first half bar" % (
                        self.style.stem, seg.kind, seg.sid, g, trk.name))

    def build(self, intro, interlude, short_end, long_end):
        st = self.style
        for level in range(1, 5):
            self.check_openings(st.add(self.main(level - 1, level)))
        self.check_openings(st.add(self.fill(0)))
        self.check_openings(st.add(self.fill(1)))
        st.add(self.progression_segment("intro", 0, intro, "前奏", 2, False))
        st.add(self.progression_segment("intro", 1, interlude, "间奏", 3, False))
        st.add(self.progression_segment("outro", 0, short_end, "短尾声", 2, True))
        st.add(self.progression_segment("outro", 1, long_end, "尾声", 3, True))
        return st


# Progressions in C major / C minor, one chord per bar.
I, ii, iii, IV, V, V7, vi = (0, "major"), (2, "minor"), (4, "minor"), (5, "major"), (7, "major"), (7, "dom7"), (9, "minor")
i_, iv_, VI_, VII_, III_ = (0, "minor"), (5, "minor"), (8, "major"), (10, "major"), (3, "major")

INTRO = {"major": [I, vi, IV, V7], "minor": [i_, VI_, iv_, V7]}
INTERLUDE = {"major": [IV, V7], "minor": [iv_, V7]}
SHORT_END = {"major": [V7, I], "minor": [V7, i_]}
LONG_END = {"major": [IV, V7, I, I], "minor": [iv_, V7, i_, i_]}
