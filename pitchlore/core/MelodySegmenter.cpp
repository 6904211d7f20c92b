#include "MelodySegmenter.h"

#include "RunSegmenter.h"
#include "SegmentMerger.h"

#include <algorithm>

namespace pitchlore {

MelodySegmenter::MelodySegmenter(const AnalyserConfig& config)
    : m_config(config)
{
}

void MelodySegmenter::measureLeadIn(FrameTracks& tracks, const AnalyserConfig& config)
{
    uint32_t leadFrames = static_cast<uint32_t>(config.BPB * config.FPB * 0.5 + 1);
    double level = tracks.leadInLevel();
    for (uint32_t i = 0; i < std::min(leadFrames, tracks.count()); ++i)
        level = std::max(level, tracks.amplitude()[i]);
    tracks.setLeadInLevel(level);
}

NoteRecords MelodySegmenter::segment(FrameTracks& tracks) const
{
    const uint32_t count = tracks.count();
    const double* amplitude = tracks.amplitude();
    double* pitch = tracks.pitch();

    measureLeadIn(tracks, m_config);

    const double silence = tracks.loudest() / 128;
    const uint64_t whole = static_cast<uint64_t>(tracks.completedBeats()) * m_config.FPB;
    const uint32_t end = whole == 0 ? 0 : static_cast<uint32_t>(whole - 1);
    RunSegmenter runs(pitch, amplitude, count, end, silence);
    SegmentMerger merger(m_config.gridUnit(), m_config.FPB);

    std::vector<PitchSpan> spans;
    int32_t gap = 0;
    uint32_t i = 0;
    while (i < end) {
        bool starts = amplitude[i] > silence && amplitude[i + 1] > silence && pitch[i] >= 0 && pitch[i + 1] >= 0;
        if (!starts) {
            ++gap;
            ++i;
            continue;
        }
        spans.push_back(PitchSpan{-1.0, gap + 1});
        std::list<Segment> pieces;
        i = runs.run(i, pieces);
        merger.merge(std::vector<Segment>(pieces.begin(), pieces.end()), spans);
        gap = 0;
    }
    if (gap != 0)
        spans.push_back(PitchSpan{-1.0, gap});
    return toNoteRecords(spans);
}

NoteRecords MelodySegmenter::toNoteRecords(const std::vector<PitchSpan>& spans)
{
    NoteRecords notes;
    for (const PitchSpan& span : spans) {
        bool rest = span.mean < 0;
        if (!notes.empty()) {
            NoteRecord& prev = notes.back();
            bool sameNote = !rest && !prev.isRest() &&
                            static_cast<long>(span.mean + 0.5) == static_cast<long>(prev.pitch + 0.5);
            if ((rest && prev.isRest()) || sameNote) {
                prev.frames += span.frames;
                continue;
            }
        }
        notes.push_back(NoteRecord{rest ? -1.0f : static_cast<float>(span.mean), span.frames});
    }
    return notes;
}

}  // namespace pitchlore
