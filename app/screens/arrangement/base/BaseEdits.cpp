#include "BaseEdits.h"

#include "SongModel.h"

namespace melodrift {

namespace {

constexpr int kNatural[7] = {0, 2, 4, 5, 7, 9, 11};   // degree buttons, and letters C..B

int Mod12(int v)
{
    return ((v % 12) + 12) % 12;
}

} // namespace

ChordButtons DegreeOfSemitone(int semitone)
{
    static const ChordButtons table[12] = {{0, 0}, {1, -1}, {1, 0}, {2, -1}, {2, 0}, {3, 0},
                                           {3, 1}, {4, 0}, {5, -1}, {5, 0}, {6, -1}, {6, 0}};
    return table[Mod12(semitone)];
}

ChordButtons DecomposeChord(int code)
{
    if (code < 0)
        return {};
    ChordButtons chord = DegreeOfSemitone(code / 4);
    chord.quality = code % 4;
    return chord;
}

int ComposeChord(const ChordButtons& chord)
{
    if (chord.button < 0 || chord.button > 6)
        return -1;
    int semitone = kNatural[chord.button];
    if (chord.accidental < 0 && (chord.button == 1 || chord.button == 2 || chord.button == 5 || chord.button == 6))
        --semitone;
    else if (chord.accidental > 0 && chord.button == 3)
        ++semitone;
    return semitone * 4 + (chord.quality & 3);
}

ChordButtons LetterToDegree(int letter, int accidental, int key)
{
    return DegreeOfSemitone(kNatural[letter] + accidental - key);
}

ChordButtons ChooseDegree(int tag, bool letters, int key)
{
    ChordButtons chord{tag, 0, 0};
    if (letters) {
        int d = Mod12(kNatural[tag] - key);
        if (d == 1 || d == 3 || d == 6 || d == 8 || d == 10) {
            // The letter as it occurs in the key's scale.
            if (tag == 1 || tag == 2 || tag == 5 || tag == 6)
                --d;
            else if (tag == 3)
                ++d;
        }
        chord = DegreeOfSemitone(d);
    }
    const bool minor = chord.accidental == 0 && (chord.button == 1 || chord.button == 2 || chord.button == 5);
    chord.quality = minor ? 1 : 0;
    const bool keepNatural = letters && (tag == 0 || tag == 3 || tag == 4);
    if (chord.button == 6 && chord.accidental == 0 && !keepNatural)
        chord.accidental = -1;
    return chord;
}

LetterButtons ShowInLetters(const ChordButtons& chord, int key)
{
    LetterButtons shown;
    if (chord.button < 0)
        return shown;
    const int code = ComposeChord({chord.button, chord.accidental, 0});
    const int g = Mod12(code / 4 + key);
    static const int letterOf[12] = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    shown.letter = letterOf[g];
    shown.sharpEnabled = shown.letter == 3;
    shown.flatEnabled = shown.letter != 0 && shown.letter != 3 && shown.letter != 4;
    shown.flatDown = g == 1 || g == 3 || g == 8 || g == 10;
    shown.sharpDown = g == 6;
    return shown;
}

void RomanAccidentals(int button, bool& flatEnabled, bool& sharpEnabled)
{
    sharpEnabled = button == 3;
    flatEnabled = button == 1 || button == 2 || button == 5 || button == 6;
}

int StageOfBar(const TSongModel& song, int bar)
{
    if (bar < 0)
        return -1;
    for (size_t i = 0; i < song.stages.size(); ++i)
        if (song.stages[i].firstBar <= bar && bar <= song.stages[i].lastBar)
            return static_cast<int>(i);
    return -1;
}

int SplitPoint(const TSongModel& song, int bar, int offset)
{
    const int s = StageOfBar(song, bar);
    if (s < 0)
        return -1;
    const tagMelodyStage& stage = song.stages[static_cast<size_t>(s)];
    if (offset < 60)
        return bar != stage.firstBar ? bar : -1;
    return bar != stage.lastBar ? bar + 1 : -1;
}

bool ApplySplit(TSongModel& song, int point)
{
    const int s = StageOfBar(song, point);
    if (s < 0 || song.stages[static_cast<size_t>(s)].firstBar == point)
        return false;
    tagMelodyStage& stage = song.stages[static_cast<size_t>(s)];
    tagMelodyStage added{point, stage.lastBar, (stage.pattern + 1) % 4};
    const size_t next = static_cast<size_t>(s) + 1;
    if (next < song.stages.size() && song.stages[next].pattern == added.pattern)
        added.pattern = (added.pattern + 1) % 4;
    stage.lastBar = point - 1;
    song.stages.insert(song.stages.begin() + static_cast<std::ptrdiff_t>(next), added);
    return true;
}

int MergeBoundary(const TSongModel& song, int bar, int offset)
{
    const int s = StageOfBar(song, bar);
    if (s < 0)
        return -1;
    const tagMelodyStage& stage = song.stages[static_cast<size_t>(s)];
    if (offset < 60)
        return bar == stage.firstBar && s >= 1 ? s : -1;
    return bar == stage.lastBar && s + 1 < static_cast<int>(song.stages.size()) ? s + 1 : -1;
}

bool ApplyMerge(TSongModel& song, int boundary)
{
    if (boundary < 1 || boundary >= static_cast<int>(song.stages.size()))
        return false;
    song.stages[static_cast<size_t>(boundary) - 1].lastBar = song.stages[static_cast<size_t>(boundary)].lastBar;
    song.stages.erase(song.stages.begin() + boundary);
    return true;
}

bool MoveBoundary(TSongModel& song, int stage, int firstBar)
{
    if (stage < 1 || stage >= static_cast<int>(song.stages.size()))
        return false;
    tagMelodyStage& before = song.stages[static_cast<size_t>(stage) - 1];
    tagMelodyStage& after = song.stages[static_cast<size_t>(stage)];
    if (firstBar <= before.firstBar || firstBar > after.lastBar)
        return false;
    after.firstBar = firstBar;
    before.lastBar = firstBar - 1;
    return true;
}

} // namespace melodrift
