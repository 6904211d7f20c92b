"""An independent reader of the program's part of a project file (.cpj): the
song's settings, the chords of every bar, the sections and the song form.
The acceptance test checks what the program saved with it, so it shares no
code with the program. Little-endian, as the files are."""
import struct

BAR_TICKS = 120
LEVELS = BAR_TICKS * 4
BEATS_PER_BAR = {0: 4, 1: 3, 2: 2}
METRE_NAMES = {0: "4/4", 1: "3/4", 2: "2/4", 3: "6/8"}


class ProjectError(ValueError):
    pass


class _Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.data):
            raise ProjectError(f"file ends inside a field at byte {self.at}")
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += size
        return values if len(values) > 1 else values[0]

    def count(self, record_size):
        n = self.take("i")
        if n < 0 or n * record_size > len(self.data) - self.at:
            raise ProjectError(f"count {n} at byte {self.at - 4} exceeds the file")
        return n

    def skip(self, size):
        if self.at + size > len(self.data):
            raise ProjectError("file ends inside a record")
        self.at += size


def read_project(path):
    """The song of a project file of version 2.4 as a dict."""
    with open(path, "rb") as f:
        r = _Reader(f.read())
    version = r.take("I")
    if version != 0x00020004:
        raise ProjectError(f"version word {version:#x}")
    r.take("I")   # total length of the program part
    song = {}
    song["genres"], song["style"], _option = r.take("Iib")
    song["metre"], song["tempo"], song["key"] = r.take("iii")
    name_length = r.count(1)
    song["timbres"] = r.data[r.at:r.at + name_length].split(b"\0")[0].decode("utf-8", "replace")
    r.skip(name_length)
    r.take("ffff")   # volumes
    bars = []
    for _ in range(r.count(3 + LEVELS)):
        first, second, fill = r.take("bbb")
        r.skip(LEVELS)
        bars.append({"chords": (first, second), "fill": fill})
    song["bars"] = bars
    song["sections"] = [r.take("iii") for _ in range(r.count(12))]
    form = []
    for _ in range(r.count(20)):
        ref, bar_count, pattern, style = r.take("iiii")
        fills = [r.take("i") for _ in range(r.count(4))]
        form.append({"ref": ref, "bars": bar_count, "pattern": pattern, "style": style, "fills": fills})
    song["form"] = form
    song["last_compose_key"] = r.take("i")
    song["final_take_bars"] = r.count(LEVELS)
    r.skip(song["final_take_bars"] * LEVELS)
    song["open_step"] = r.take("i")
    song["effects"] = [r.take("i") for _ in range(r.count(4))]
    return song


def form_seconds(song):
    """How long the song form plays at the song's tempo."""
    if song["metre"] not in BEATS_PER_BAR:
        raise ProjectError("only the quarter-note metres are timed here")
    beats = sum(entry["bars"] for entry in song["form"]) * BEATS_PER_BAR[song["metre"]]
    return beats * 60.0 / song["tempo"]


def chords(song):
    return [bar["chords"] for bar in song["bars"]]


def form_outline(song):
    return [(entry["ref"], entry["bars"], entry["pattern"], entry["style"], tuple(entry["fills"]))
            for entry in song["form"]]
