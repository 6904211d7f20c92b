// How well the melody analysis agrees with the chords and keys human
// arrangers wrote over folk tunes (a measurement, not a test). See
// README.md beside this file for the data and the scoring rules.
//
// Usage: tonalyze_harmony [tunes.jsonl] [--tune ID] [--bars] [--half 0|1]
// The file may also be named by MELODRIFT_HARMONY_DATA. Without the file the
// program says so and exits 0: the data set lives outside the repository.
#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "Tonalyze.h"

namespace {

constexpr int kTicksPerBeat = 192;
#define kDataFile "data/harmony/folk-tunes-dev.jsonl"
const char* const kMetreNames[4] = {"4/4", "3/4", "2/4", "6/8"};

struct HumanChord {
    int64_t start, end;
    int root;     // pitch class
    int quality;  // 0 major, 1 minor, 2 neither (dim, aug)
};

struct Tune {
    std::string id;
    int ts = -1;
    int tonic = 0;
    bool minor = false;
    int64_t barTicks = 0;
    std::vector<uint8_t> notes;
    std::vector<uint16_t> lengths;
    std::vector<HumanChord> chords;
};

// A chord as heard: root pitch class and triad quality; -1 root for none.
struct Triad {
    int root = -1;
    int quality = 0;
    bool operator==(const Triad&) const = default;
};

// Sevenths and sixths count as the triad under them: the analyser only
// offers triads, and an arranger's G7 over a bar is a G chord to it.
int qualityOf(const QString& q)
{
    if (q == "maj" || q == "7" || q == "6")
        return 0;
    if (q == "min" || q == "m7")
        return 1;
    return 2;
}

bool hasTone(const Triad& c, int pc)
{
    if (c.root < 0)
        return false;
    const int third = c.quality == 1 ? 3 : 4;
    const int d = (pc - c.root + 12) % 12;
    return d == 0 || d == third || d == 7;
}

bool parseTune(const QByteArray& line, Tune& t)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    t.id = o.value("id").toString().toStdString();
    const QString metre = o.value("metre").toString();
    for (int i = 0; i < 4; ++i)
        if (metre == kMetreNames[i])
            t.ts = i;
    t.tonic = o.value("tonic").toInt(-1);
    t.minor = o.value("mode").toString() == "minor";
    t.barTicks = o.value("bar_ticks").toInt();
    if (t.ts < 0 || t.tonic < 0 || t.tonic > 11 || o.value("ticks_per_quarter").toInt() != kTicksPerBeat)
        return false;
    for (const QJsonValue& v : o.value("melody").toArray()) {
        const QJsonArray p = v.toArray();
        const int pitch = p.at(0).toInt(-1), ticks = p.at(1).toInt(-1);
        if (pitch < 0 || pitch > 128 || ticks <= 0 || ticks > 65535)
            return false;
        t.notes.push_back(static_cast<uint8_t>(pitch));
        t.lengths.push_back(static_cast<uint16_t>(ticks));
    }
    for (const QJsonValue& v : o.value("chords").toArray()) {
        const QJsonArray c = v.toArray();
        HumanChord h{c.at(0).toInteger(), c.at(1).toInteger(), c.at(2).toInt(-1), qualityOf(c.at(3).toString())};
        if (h.root >= 0 && h.root < 12 && h.end > h.start)
            t.chords.push_back(h);
    }
    return !t.notes.empty();
}

struct Tally {
    int tunes = 0, keyRight = 0;
    int64_t units = 0, rootAgree = 0, exactAgree = 0;
    int64_t noteTicks = 0, coveredTicks = 0, humanCoveredTicks = 0;
    int64_t strongNotes = 0, strongCovered = 0, humanStrongCovered = 0;
    int64_t barLines = 0, changes = 0, humanBarLines = 0, humanChanges = 0;

    void add(const Tally& o)
    {
        tunes += o.tunes, keyRight += o.keyRight, units += o.units, rootAgree += o.rootAgree;
        exactAgree += o.exactAgree, noteTicks += o.noteTicks, coveredTicks += o.coveredTicks;
        humanCoveredTicks += o.humanCoveredTicks, strongNotes += o.strongNotes, strongCovered += o.strongCovered;
        humanStrongCovered += o.humanStrongCovered, barLines += o.barLines, changes += o.changes;
        humanBarLines += o.humanBarLines, humanChanges += o.humanChanges;
    }
};

double pct(int64_t a, int64_t b)
{
    return b > 0 ? 100.0 * static_cast<double>(a) / static_cast<double>(b) : 0.0;
}

class TuneScore {
public:
    TuneScore(const Tune& t, std::vector<Triad> heard, int64_t slotTicks, int bars)
        : m_t(t), m_slots(std::move(heard)), m_slotTicks(slotTicks), m_bars(bars)
    {
    }

    Triad ours(int64_t tick) const
    {
        const int64_t s = tick / m_slotTicks;
        return (tick < 0 || s >= static_cast<int64_t>(m_slots.size())) ? Triad{} : m_slots[static_cast<size_t>(s)];
    }

    Triad human(int64_t tick) const
    {
        for (const HumanChord& h : m_t.chords)
            if (tick >= h.start && tick < h.end)
                return {h.root, h.quality};
        return {};
    }

    // The human chord that covers most of [a, b); none when nothing does.
    Triad humanOver(int64_t a, int64_t b) const
    {
        Triad best;
        int64_t most = 0;
        for (const HumanChord& h : m_t.chords) {
            const int64_t overlap = std::min(b, h.end) - std::max(a, h.start);
            if (overlap > most)
                most = overlap, best = {h.root, h.quality};
        }
        return best;
    }

    void score(Tally& out) const
    {
        for (size_t s = 0; s < m_slots.size(); ++s) {
            const Triad h = humanOver(static_cast<int64_t>(s) * m_slotTicks, static_cast<int64_t>(s + 1) * m_slotTicks);
            if (h.root < 0)
                continue;
            ++out.units;
            out.rootAgree += h.root == m_slots[s].root;
            out.exactAgree += h.root == m_slots[s].root && h.quality == m_slots[s].quality;
        }
        scoreNotes(out);
        for (int b = 1; b < m_bars; ++b) {
            const int64_t line = b * m_t.barTicks;
            const Triad before = ours(line - 1), after = ours(line);
            if (before.root >= 0 && after.root >= 0)
                ++out.barLines, out.changes += !(before == after);
            const Triad hb = human(line - 1), ha = human(line);
            if (hb.root >= 0 && ha.root >= 0)
                ++out.humanBarLines, out.humanChanges += !(hb == ha);
        }
    }

private:
    // Note time is walked in slot-sized pieces so each piece meets one chord;
    // only what the human harmonised counts, so both sides are scored alike.
    void scoreNotes(Tally& out) const
    {
        int64_t pos = 0;
        for (size_t i = 0; i < m_t.notes.size(); pos += m_t.lengths[i], ++i) {
            if (m_t.notes[i] >= 128)
                continue;
            const int pc = m_t.notes[i] % 12;
            const int64_t end = pos + m_t.lengths[i];
            for (int64_t a = pos; a < end;) {
                const int64_t b = std::min(end, (a / m_slotTicks + 1) * m_slotTicks);
                for (const HumanChord& h : m_t.chords) {
                    const int64_t x = std::max(a, h.start), y = std::min(b, h.end);
                    if (y <= x)
                        continue;
                    out.noteTicks += y - x;
                    out.coveredTicks += hasTone(ours(x), pc) ? y - x : 0;
                    out.humanCoveredTicks += hasTone({h.root, h.quality}, pc) ? y - x : 0;
                }
                a = b;
            }
            for (int64_t p : strongPositions(pos, end)) {
                const Triad h = human(p);
                if (h.root < 0)
                    continue;
                ++out.strongNotes;
                out.strongCovered += hasTone(ours(p), pc);
                out.humanStrongCovered += hasTone(h, pc);
            }
        }
    }

    // The metre's accented beats (the downbeat; in 4/4 also beat 3, in 6/8
    // the fourth eighth) that fall inside [a, b).
    std::vector<int64_t> strongPositions(int64_t a, int64_t b) const
    {
        const int64_t step = (m_t.ts == 0 || m_t.ts == 3) ? m_t.barTicks / 2 : m_t.barTicks;
        std::vector<int64_t> out;
        for (int64_t p = (a + step - 1) / step * step; p < b; p += step)
            out.push_back(p);
        return out;
    }

    const Tune& m_t;
    std::vector<Triad> m_slots;
    int64_t m_slotTicks;
    int m_bars;
};

std::string chordName(const Triad& c)
{
    static const char* const kNames[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    if (c.root < 0)
        return "-";
    return std::string(kNames[c.root]) + (c.quality == 1 ? "m" : c.quality == 2 ? "o" : "");
}

// Runs one tune through the analyser as the program does and scores it.
bool analyseTune(const Tune& t, Tally& tally, bool showBars)
{
    const auto n = static_cast<int32_t>(t.notes.size());
    const int32_t key = MA_KeyAnalysis(t.notes.data(), t.lengths.data(), n, kTicksPerBeat, t.ts);
    int32_t bars = 0;
    if (key < 0 || MA_InputMelody(t.notes.data(), t.lengths.data(), n, kTicksPerBeat, t.ts, 120, &bars) != 0)
        return false;
    std::vector<MA_Section> sections(static_cast<size_t>(bars));
    std::vector<MA_Chord> records(2 * static_cast<size_t>(bars));
    std::vector<MA_Fill> fills(static_cast<size_t>(bars));
    int32_t sc = 0, cc = 0, fc = 0;
    if (MA_MelodyAnalysis(key, &sc, sections.data(), &cc, records.data(), &fc, fills.data()) != 0)
        return false;
    const int spb = t.ts == 0 ? 2 : 1;
    std::vector<Triad> heard;
    for (int32_t i = 0; i < cc; ++i) {
        const Triad c = records[i].code < 0 ? Triad{} : Triad{records[i].code / 4, records[i].code % 4};
        const int copies = records[i].wholeBar ? spb : 1;
        for (int k = 0; k < copies; ++k)
            heard.push_back(c);
    }
    ++tally.tunes;
    tally.keyRight += key == (t.minor ? (t.tonic + 3) % 12 : t.tonic);
    const TuneScore score(t, heard, t.barTicks / spb, bars);
    score.score(tally);
    if (showBars) {
        std::printf("%s: key %d (tune %d %s), sections", t.id.c_str(), key, t.tonic, t.minor ? "minor" : "major");
        for (int32_t i = 0; i < sc; ++i)
            std::printf(" %d", sections[i].lastBar);
        std::printf("\n");
        const int64_t slotTicks = t.barTicks / spb;
        for (int b = 0; b < bars; ++b) {
            std::printf("bar %2d:", b);
            for (int s = 0; s < spb; ++s) {
                const int64_t a = (b * spb + s) * slotTicks;
                std::printf("  %-4s/%-4s", chordName(score.ours(a)).c_str(),
                            chordName(score.humanOver(a, a + slotTicks)).c_str());
            }
            std::printf("  |");
            int64_t pos = 0;
            for (size_t i = 0; i < t.notes.size(); pos += t.lengths[i], ++i)
                if (pos >= b * t.barTicks && pos < (b + 1) * t.barTicks)
                    std::printf(" %s:%d", t.notes[i] >= 128 ? "r" : chordName({t.notes[i] % 12, 0}).c_str(),
                                t.lengths[i]);
            std::printf("\n");
        }
    }
    return true;
}

void printRow(const char* name, const Tally& t)
{
    std::printf("%-6s %5d %6lld %7.1f %7.1f %7.1f %7.1f %7.1f   %7.1f %7.1f %7.1f\n", name, t.tunes,
                static_cast<long long>(t.units), pct(t.rootAgree, t.units), pct(t.exactAgree, t.units),
                pct(t.coveredTicks, t.noteTicks), pct(t.strongCovered, t.strongNotes), pct(t.changes, t.barLines),
                pct(t.humanCoveredTicks, t.noteTicks), pct(t.humanStrongCovered, t.strongNotes),
                pct(t.humanChanges, t.humanBarLines));
}

}  // namespace

int main(int argc, char** argv)
{
    std::string path;
    std::string only;
    bool showBars = false;
    int half = -1;  // 0 or 1: only the tunes of even or odd index, to check a change on two disjoint halves
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tune") == 0 && i + 1 < argc)
            only = argv[++i], showBars = true;
        else if (std::strcmp(argv[i], "--bars") == 0)
            showBars = true;
        else if (std::strcmp(argv[i], "--half") == 0 && i + 1 < argc)
            half = std::atoi(argv[++i]) != 0 ? 1 : 0;
        else
            path = argv[i];
    }
    if (path.empty()) {
        const char* env = std::getenv("MELODRIFT_HARMONY_DATA");
        // Beside the checkout, or beside the folder of worktrees.
        path = env != nullptr ? env : MELODRIFT_SOURCE_DIR "/../shared/" kDataFile;
        if (env == nullptr && !QFile::exists(QString::fromStdString(path)))
            path = MELODRIFT_SOURCE_DIR "/../../shared/" kDataFile;
    }
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("no tune file at %s: nothing measured\n", path.c_str());
        return 0;
    }
    std::array<Tally, 4> metre{};
    Tally majorTunes, minorTunes;
    int unreadable = 0, refused = 0;
    int index = -1;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        Tune t;
        if (!parseTune(line, t)) {
            ++unreadable;
            continue;
        }
        ++index;
        if (half >= 0 && index % 2 != half)
            continue;
        if (!only.empty() && t.id != only)
            continue;
        Tally one;
        if (!analyseTune(t, one, showBars)) {
            ++refused;
            continue;
        }
        metre[static_cast<size_t>(t.ts)].add(one);
        (t.minor ? minorTunes : majorTunes).add(one);
    }
    MA_Release();
    Tally all;
    for (const Tally& m : metre)
        all.add(m);
    std::printf("%s: %d tunes (%d unreadable, %d refused by the analyser)\n\n", path.c_str(), all.tunes, unreadable,
                refused);
    std::printf("key: all %.1f%%  major %.1f%% (%d)  minor %.1f%% (%d)\n\n", pct(all.keyRight, all.tunes),
                pct(majorTunes.keyRight, majorTunes.tunes), majorTunes.tunes, pct(minorTunes.keyRight, minorTunes.tunes),
                minorTunes.tunes);
    std::printf("metre  tunes  units    root   exact   cover  strong  change   h.cover h.strong h.change\n");
    for (int i = 0; i < 4; ++i)
        printRow(kMetreNames[i], metre[static_cast<size_t>(i)]);
    printRow("all", all);
    printRow("major", majorTunes);
    printRow("minor", minorTunes);
    return 0;
}
