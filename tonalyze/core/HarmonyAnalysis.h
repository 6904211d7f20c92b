// The library's one analysis: the stored melody and what was worked out for
// it in the last key asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "BarRecord.h"
#include "Metre.h"
#include "NoteMelody.h"
#include "Tonalyze.h"

namespace tonalyze {

class HarmonyAnalysis {
public:
    // Longer melodies are refused: the sectioning would take minutes.
    static constexpr int kMaxBars = 4096;

    // Stores the melody (unless identical to the stored one). Returns the
    // bar count, or -1 for invalid input, leaving the state as it was.
    int input(const NoteSpan& melody, int ticksPerBeat, int ts);

    // See MA_MelodyAnalysis in Tonalyze.h.
    int analyse(int key, int32_t* sectionCount, MA_Section* sections, int32_t* chordCount, MA_Chord* chords,
                int32_t* fillCount, MA_Fill* fills);

    int barCount() const { return m_barCount; }
    int key() const { return m_key; }
    int mode() const { return m_mode; }
    int pickup() const { return m_pickup; }
    const std::vector<BarRecord>& bars() const { return m_bars; }
    const std::vector<int>& sectionEnds() const { return m_ends; }
    const std::vector<int>& chordSlots() const { return m_chords; }

    std::vector<MA_Section> sectionRecords() const;
    std::vector<MA_Chord> chordRecords() const;
    std::vector<MA_Fill> fillRecords() const;

private:
    bool sameMelody(const NoteSpan& melody, int ticksPerBeat, int ts) const;
    int resolveKey(int key) const;
    void analyseInKey(int key);
    void planChords();
    bool adoptSections(const MA_Section* sections, int32_t count);
    NoteSpan stored() const { return {m_notes, m_lengths}; }

    std::vector<uint8_t> m_notes;
    std::vector<uint16_t> m_lengths;
    int m_ticksPerBeat = 0;
    int m_ts = -1;
    std::optional<Metre> m_metre;
    int m_barCount = 0;
    int m_pickup = 0;
    int m_key = -1;
    int m_mode = 0;
    std::vector<BarRecord> m_bars;
    std::vector<int> m_ends;
    std::vector<int> m_chords;
};

}  // namespace tonalyze
