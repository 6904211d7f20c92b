#include "HeldNotePass.h"

#include "Log.h"
#include "Voicing.h"

#include <algorithm>

namespace melodrift::arrangix {

namespace {

class HeldNotes {
public:
    HeldNotes(OutputTrack& out, const PatternTrack& src, int32_t t0, int32_t c, const std::vector<ChordItem>& chords)
        : out_(out), src_(src), t0_(t0), c_(c), chords_(chords)
    {
        int32_t at = 0;
        for (const ChordItem& item : chords) {
            starts_.push_back(at);
            at += item.duration;
            ends_.push_back(at);
        }
    }

    void run()
    {
        size_t k = 0;
        const size_t n = chords_.size();
        for (const PatternNote& note : src_.notes) {
            if (note.velocity == 0)
                continue;
            while (k < n && ends_[k] <= note.start)
                ++k;
            if (k == n)
                return;
            if (note.end > ends_[k])
                play(note, k);
        }
    }

private:
    int pitchUnder(const PatternNote& note, size_t j) const
    {
        const ChordItem& chord = chords_[j];
        return fitPitch(convertType(note.pitch, kMajor, chord.type), chord.root, chord.type, src_.program);
    }

    void on(int pitch, int velocity, int32_t tick)
    {
        out_.addNote(t0_ + tick, {static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity)});
    }
    void off(int pitch, int32_t tick) { out_.addNote(t0_ + tick, {static_cast<uint8_t>(pitch), 0}); }

    void play(const PatternNote& note, size_t k)
    {
        const size_t n = chords_.size();
        int sounding = -1;
        for (size_t j = k; j < n && starts_[j] < note.end; ++j) {
            const bool last = j + 1 == n;
            const int32_t end = ends_[j];
            if (sounding < 0) {
                int32_t s = std::max(note.start, starts_[j]);
                if (s >= end - (c_ + 10) && !last) {
                    bool later = note.end >= end + (c_ - 10) || note.end - end > end - s;
                    sounding = pitchUnder(note, later ? j + 1 : j);
                    on(sounding, note.velocity, s);
                    continue;
                }
                sounding = pitchUnder(note, j);
                on(sounding, note.velocity, s);
                bool ends = note.end <= end || last ||
                            (note.end >= end + (c_ - 10) && pitchUnder(note, j + 1) != sounding);
                if (ends) {
                    off(sounding, std::min(end, note.end));
                    sounding = -1;
                }
                continue;
            }
            if (note.end > end && !last && pitchUnder(note, j + 1) == sounding)
                continue;
            off(sounding, std::min(end, note.end));
            sounding = -1;
        }
        // A piece carried into a chord the note never reaches still needs its end.
        if (sounding >= 0)
            off(sounding, note.end);
    }

    OutputTrack& out_;
    const PatternTrack& src_;
    int32_t t0_;
    int32_t c_;
    const std::vector<ChordItem>& chords_;
    std::vector<int32_t> starts_;
    std::vector<int32_t> ends_;
};

}  // namespace

void holdNotesAcrossChords(OutputTrack& out, const PatternTrack& source, int32_t blockStart, int32_t duration,
                           int32_t tolerance, const std::vector<ChordItem>& chords)
{
    // Slices are kept in time order, so a block whose notes were all held
    // over chord changes (no slice placed yet) is still replayed.
    if (blockStart < 0 || duration <= 0) {
        log("wrong sequence.\n");
        return;
    }
    HeldNotes(out, source, blockStart, tolerance, chords).run();
}

} // namespace melodrift::arrangix
