#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AudioFormat.h"
#include "MelodySnapshot.h"
#include "MelodyTrack.h"
#include "PitchloreLibrary.h"
#include "TakeAnalyser.h"
#include "Timeline.h"
#include "VoiceEffects.h"

namespace melodrift::sonobox {

// The recogniser and the melody it holds: recognising takes and MIDI
// melodies, reading the melody back (as sung or in another key), its pitch
// corrections, and its state in projects. Without the recogniser library
// there is never a melody.
class RecognisedMelody {
public:
    explicit RecognisedMelody(AnalysisSettings analysis) : m_analysis(analysis) {}

    bool Ready() const { return m_recogniser.Ready(); }
    // A melody is there to read.
    bool Have() const { return m_recogniser.Ready() && m_have; }
    void SetHave(bool have) { m_have = have; }

    int Count();
    // Its key 0..11; -1 without a melody.
    int Key();
    // Writes the notes (pitch, -128 for a rest; length in ticks) moved to key
    // (-1: as sung); their number or MM_ERR_FAIL.
    int Read(std::int8_t* pitches, std::uint16_t* lengths, int key);
    std::vector<MelodyNote> Notes();
    // The tuning's corrections along the melody take; none without a melody.
    std::vector<PitchCorrection> TakeCorrections(double samplesPerBeat) const;

    // Recognises a whole take at time's tempo and metre (the melody is then
    // the take's; Have is left to the caller).
    Recognition Recognise(const MonoBuffer& take, const Timeline& time);
    // An analysis fed while a take is recorded; null when refused.
    std::unique_ptr<TakeAnalyser> BeginTake(const Timeline& time);
    // Recognises a MIDI file's track; pitchedNotes <= 0 when it cannot.
    Recognition LoadMidi(const std::string& path, int track);
    // The melody with what it belongs to, to be put back later; null when
    // there is none or it cannot be kept.
    std::unique_ptr<MelodySnapshot> Snapshot(std::shared_ptr<const MonoBuffer> take,
                                             std::shared_ptr<const MonoBuffer> voice,
                                             std::vector<std::pair<double, double>> segments);

    // Appends the melody's state to the file at path; bytes written, 0
    // without a melody.
    int Save(const std::string& path);
    // Reads a state Save wrote at offset; false when it cannot.
    bool Load(const std::string& path, std::int64_t offset);
    // Reads an old project's analysis; bytes read or an MM_ERR_* code.
    int LoadAnalysis(const std::string& path, std::int64_t offset, std::uint32_t version);

private:
    PitchloreLibrary m_recogniser;
    AnalysisSettings m_analysis;
    bool m_have = false;
};

} // namespace melodrift::sonobox
