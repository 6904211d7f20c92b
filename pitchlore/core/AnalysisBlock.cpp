#include "AnalysisBlock.h"

#include "ByteCursor.h"

#include <cmath>
#include <new>

namespace pitchlore {

namespace {

constexpr double kMaxPitch = 1000.0;

bool readTrack(ByteReader& in, uint32_t frames, std::vector<double>& track)
{
    track.resize(frames);
    for (double& v : track)
        if (!in.get(v))
            return false;
    return true;
}

int32_t saneKey(int32_t key) { return key >= 0 && key <= 11 ? key : -1; }

// Values no estimator produces are read as unvoiced frames, so that the
// segmentation never meets infinities or absurd pitches from a file.
void sanitiseFrames(std::vector<double>& amplitude, std::vector<double>& pitch)
{
    for (size_t i = 0; i < pitch.size(); ++i) {
        bool sane = std::isfinite(pitch[i]) && pitch[i] <= kMaxPitch && std::isfinite(amplitude[i]);
        if (!sane || pitch[i] < 0) {
            pitch[i] = -1.0;
            amplitude[i] = sane ? amplitude[i] : 0.0;
        }
    }
}

}  // namespace

std::vector<uint8_t> AnalysisBlock::write(const Analyser& analyser)
{
    ByteWriter out;
    const AnalyserConfig& c = analyser.config();
    const FrameTracks& t = analyser.tracks();
    uint32_t frames = t.count();
    out.put<uint32_t>(0);
    out.put<int32_t>(c.tempo);
    out.put<int32_t>(c.TS);
    out.put<int32_t>(c.FFT);
    out.put<int32_t>(static_cast<int32_t>(c.FPB));
    out.put<uint32_t>(frames);
    if (frames > 0) {
        for (const double* track : {t.amplitude(), t.frequency(), t.pitch()})
            for (uint32_t i = 0; i < frames; ++i)
                out.put<double>(track[i]);
        out.put<double>(t.loudest());
        out.put<double>(t.leadInLevel());
    }
    const NoteRecords& notes = analyser.notes();
    out.put<int32_t>(static_cast<int32_t>(notes.size()));
    out.put<int32_t>(analyser.key());
    for (const NoteRecord& n : notes) {
        out.put<float>(n.pitch);
        out.put<int32_t>(n.frames);
    }
    std::vector<uint8_t>& bytes = out.bytes();
    uint32_t size = static_cast<uint32_t>(bytes.size() - 4);
    std::memcpy(bytes.data(), &size, 4);
    return std::move(bytes);
}

std::optional<AnalysisBlock> AnalysisBlock::read(std::span<const uint8_t> bytes, Layout layout)
{
    try {
        ByteReader in(bytes);
        AnalysisBlock b;
        b.m_layout = layout;
        uint32_t frames = 0;
        if (!in.get(b.m_tempo) || !in.get(b.m_TS) || !in.get(b.m_FFT) || !in.get(b.m_FPB) || !in.get(frames))
            return std::nullopt;
        if (b.m_FPB < 0 || !AnalyserConfig::make(b.m_tempo, b.m_TS, b.m_FFT, static_cast<uint32_t>(b.m_FPB)))
            return std::nullopt;
        if (frames > 0) {
            // Three tracks and two levels must fit before anything is allocated.
            if (in.remaining() / 8 < 3ULL * frames + 2)
                return std::nullopt;
            if (!readTrack(in, frames, b.m_amplitude) || !readTrack(in, frames, b.m_frequency) ||
                !readTrack(in, frames, b.m_pitch) || !in.get(b.m_loudest) || !in.get(b.m_leadInLevel))
                return std::nullopt;
            sanitiseFrames(b.m_amplitude, b.m_pitch);
        }
        if (!in.get(b.m_noteCount) || b.m_noteCount < 0)
            return std::nullopt;
        uint32_t n = static_cast<uint32_t>(b.m_noteCount);
        if (layout == Layout::Records) {
            if (!in.get(b.m_key) || in.remaining() / 8 < n)
                return std::nullopt;
            b.m_notes.resize(n);
            for (NoteRecord& note : b.m_notes) {
                in.get(note.pitch);
                in.get(note.frames);
                if (!std::isfinite(note.pitch) || note.pitch < 0 || note.pitch > kMaxPitch)
                    note.pitch = -1.0f;
                if (note.frames < 0)
                    note.frames = 0;
            }
        } else if (n > 0) {
            // The stored notes only tell that a melody existed; it is made
            // again from the tracks, with the stored key.
            if (in.remaining() < 3ULL * n + 4)
                return std::nullopt;
            uint8_t note = 0;
            uint16_t length = 0;
            for (uint32_t i = 0; i < n; ++i)
                in.get(note);
            for (uint32_t i = 0; i < n; ++i)
                in.get(length);
            in.get(b.m_key);
        }
        b.m_key = saneKey(b.m_key);
        return b;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void AnalysisBlock::applyTo(Analyser& analyser) const
{
    analyser.reset(m_tempo, m_TS, m_FFT, static_cast<uint32_t>(m_FPB));
    if (!m_amplitude.empty())
        analyser.takeTracks(m_amplitude, m_frequency, m_pitch, m_loudest, m_leadInLevel);
    if (m_layout == Layout::Records)
        analyser.takeNoteRecords(m_notes, m_key);
    else if (m_noteCount > 0)
        analyser.reanalyseWithKey(m_key);
}

}  // namespace pitchlore
