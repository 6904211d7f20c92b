#include "MelodyOutputs.h"

#include "MelodriftPlatform.h"

#include <algorithm>
#include <cmath>

namespace pitchlore {

namespace {

constexpr uint8_t kRest = 128;

uint8_t noteNumber(double pitch)
{
    double n = std::clamp(std::trunc(pitch + 0.5), 0.0, 127.0);
    return static_cast<uint8_t>(n);
}

}  // namespace

void MelodyOutputs::clear()
{
    m_notes.clear();
    m_lengths.clear();
    m_adjusted.clear();
}

double MelodyOutputs::tuningOffset(const NoteRecords& notes, uint32_t framesPerBeat, bool& found, bool circular)
{
    // Circular: a singer 0.45 sharp on some notes and 0.45 flat (0.55 sharp)
    // on others is half a semitone off, not in tune, so the deviations are
    // averaged as angles.
    double sum = 0;
    double x = 0;
    double y = 0;
    double weight = 0;
    for (const NoteRecord& note : notes) {
        if (note.isRest() || note.frames < static_cast<int64_t>(framesPerBeat))
            continue;
        double dev = note.pitch - std::trunc(note.pitch);
        if (dev > 0.5)
            dev -= 1.0;
        sum += dev * note.frames;
        x += std::cos(2 * M_PI * dev) * note.frames;
        y += std::sin(2 * M_PI * dev) * note.frames;
        weight += note.frames;
    }
    found = weight > 0;
    if (!found)
        return 0.0;
    if (circular)
        return x == 0 && y == 0 ? 0.0 : std::atan2(y, x) / (2 * M_PI);
    return sum / weight;
}

int32_t MelodyOutputs::build(const NoteRecords& notes, int32_t& key, KeyAnalysisFn keyAnalysis,
                             uint32_t framesPerBeat, int32_t TS)
{
    clear();
    if (notes.empty())
        return 0;
    bool found = false;
    double offset = tuningOffset(notes, framesPerBeat, found, m_circularTuning);
    if (found)
        MDP_DebugOutput("Average pt diff: %.2f\n", offset);
    int32_t pitched = 0;
    for (const NoteRecord& note : notes) {
        if (note.isRest()) {
            m_notes.push_back(kRest);
            m_adjusted.push_back(0.0f);
        } else {
            double adjusted = note.pitch - offset;
            m_notes.push_back(noteNumber(adjusted));
            m_adjusted.push_back(static_cast<float>(adjusted));
            ++pitched;
        }
        m_lengths.push_back(static_cast<uint16_t>(std::clamp(note.frames, 0, 65535)));
    }
    if (keyAnalysis == nullptr)
        return pitched;
    // Asked when the key is to be detected, and with the note tracker also
    // to tell the melody's own key from one the caller chose.
    int32_t detected = -1;
    if (key == -1 || m_keepSungNotesInOwnKey) {
        int32_t count = static_cast<int32_t>(m_notes.size());
        int32_t found_key = keyAnalysis(m_notes.data(), m_lengths.data(), count,
                                        static_cast<int32_t>(framesPerBeat), TS & 0xFF);
        MDP_DebugOutput("notesize = %d, tick = %d, ts = %d, selkey = %d\n", count,
                        static_cast<int>(framesPerBeat), TS, found_key);
        detected = found_key >= 0 && found_key <= 11 ? found_key : 0;
    }
    if (key == -1)
        key = detected;
    // In the key it was detected in, a melody keeps what was sung; a key the
    // caller chose pulls every note onto its scale.
    if (!(m_keepSungNotesInOwnKey && key == detected))
        snapToScale(key);
    return pitched;
}

void MelodyOutputs::snapToScale(int32_t key)
{
    for (size_t i = 0; i < m_notes.size(); ++i) {
        if (m_notes[i] == kRest)
            continue;
        int degree = ((m_notes[i] - key) % 12 + 12) % 12;
        bool outside = degree == 1 || degree == 3 || degree == 6 || degree == 8 || degree == 10;
        if (!outside)
            continue;
        double adjusted = m_adjusted[i];
        bool up = adjusted - std::trunc(adjusted) < 0.5;
        int moved = m_notes[i] + (up ? 1 : -1);
        // At the ends of the MIDI range go the other way.
        if (moved > 127)
            moved = m_notes[i] - 1;
        if (moved < 0)
            moved = m_notes[i] + 1;
        m_notes[i] = static_cast<uint8_t>(moved);
    }
}

std::vector<PitchRevise> MelodyOutputs::pitchRevise(const NoteRecords& notes, uint32_t framesPerBeat) const
{
    std::vector<PitchRevise> events;
    int64_t position = 0;
    double last = 0;
    size_t count = std::min(notes.size(), m_notes.size());
    for (size_t i = 0; i < count; ++i) {
        const NoteRecord& note = notes[i];
        double d = m_notes[i] == kRest ? 0.0 : m_notes[i] - static_cast<double>(note.pitch);
        if (note.isRest())
            d = 0.0;
        if (std::fabs(d) < 0.25)
            d = 0.0;
        bool longNote = note.frames >= static_cast<int64_t>(framesPerBeat);
        bool beforeShort = d == 0.0 && i + 1 < count && notes[i + 1].frames < static_cast<int64_t>(framesPerBeat);
        if (std::fabs(d - last) > 0.5 && (longNote || beforeShort)) {
            events.push_back(PitchRevise{static_cast<float>(d), static_cast<int32_t>(position * 192 / framesPerBeat)});
            last = d;
        }
        position += note.frames;
    }
    return events;
}

}  // namespace pitchlore
