#pragma once

// The base accompaniment step's edits without pixels: chord codes and the
// chord buttons (degrees in Roman or letter display), and the stage
// operations (split, merge, moving a boundary) on the song model.

#include <cstdint>

namespace melodrift {

class TSongModel;

// A chord as the screen's buttons show it.
struct ChordButtons {
    int button = -1;      // degree button 0..6, -1 none
    int accidental = 0;   // -1 flat, 0, +1 sharp
    int quality = 0;      // 0 major, 1 minor, 2 seventh, 3 minor seventh
    bool operator==(const ChordButtons&) const = default;
};

// Chord code (semitone above the key * 4 + quality, -1 none) to buttons and back.
ChordButtons DecomposeChord(int code);
int ComposeChord(const ChordButtons& chord);

// The semitone above the key as (degree button, accidental).
ChordButtons DegreeOfSemitone(int semitone);

// A click on degree button `tag`, in Roman or letter display (letters: tags
// 0..6 are C D E F G A B), with the default quality.
ChordButtons ChooseDegree(int tag, bool letters, int key);
// A letter button with an accidental, as a degree.
ChordButtons LetterToDegree(int letter, int accidental, int key);

// What the buttons show for a chord in letter display.
struct LetterButtons {
    int letter = -1;        // 0..6 C..B, -1 none
    bool flatEnabled = false, sharpEnabled = false;
    bool flatDown = false, sharpDown = false;
};
LetterButtons ShowInLetters(const ChordButtons& chord, int key);
// Accidentals a Roman degree button allows.
void RomanAccidentals(int button, bool& flatEnabled, bool& sharpEnabled);

// Stage operations. offset is 0..119 inside the bar.
int StageOfBar(const TSongModel& song, int bar);
// The bar a split at (bar, offset) would start a stage at, or -1.
int SplitPoint(const TSongModel& song, int bar, int offset);
bool ApplySplit(TSongModel& song, int point);
// The stage whose start boundary a merge at (bar, offset) removes, or -1.
int MergeBoundary(const TSongModel& song, int bar, int offset);
bool ApplyMerge(TSongModel& song, int boundary);
// Moves stage k's first bar (k >= 1), keeping a bar in both stages; false
// when the bar is not allowed.
bool MoveBoundary(TSongModel& song, int stage, int firstBar);

} // namespace melodrift
