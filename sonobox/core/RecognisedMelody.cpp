#include "RecognisedMelody.h"

#include <algorithm>

#include "Sonobox.h"

namespace melodrift::sonobox {

int RecognisedMelody::Count()
{
    if (!Have())
        return 0;
    return std::max(0, m_recogniser.GetMelodyInfo(nullptr, nullptr, nullptr));
}

int RecognisedMelody::Key()
{
    if (!Have())
        return -1;
    std::int32_t key = -1;
    m_recogniser.GetMelodyInfo(&key, nullptr, nullptr);
    return key;
}

int RecognisedMelody::Read(std::int8_t* pitches, std::uint16_t* lengths, int key)
{
    if (!Have() || !pitches || !lengths || key < -1 || key > 11)
        return MM_ERR_FAIL;
    int count = m_recogniser.GetMelody(nullptr, nullptr, -1);
    if (count <= 0)
        return count < 0 ? MM_ERR_FAIL : 0;
    std::vector<std::uint8_t> notes(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> ticks(static_cast<std::size_t>(count));
    int got = m_recogniser.GetMelody(notes.data(), ticks.data(), key);
    // A re-keyed melody keeps its count; never write past what was counted.
    got = std::clamp(got, 0, count);
    for (int i = 0; i < got; ++i) {
        auto n = notes[static_cast<std::size_t>(i)];
        pitches[i] = n >= MR_REST ? static_cast<std::int8_t>(-128) : static_cast<std::int8_t>(n);
        lengths[i] = ticks[static_cast<std::size_t>(i)];
    }
    return got;
}

std::vector<MelodyNote> RecognisedMelody::Notes()
{
    const int count = Count();
    if (count <= 0)
        return {};
    std::vector<std::int8_t> pitches(static_cast<std::size_t>(count));
    std::vector<std::uint16_t> lengths(static_cast<std::size_t>(count));
    const int got = Read(pitches.data(), lengths.data(), -1);
    std::vector<MelodyNote> notes;
    for (int i = 0; i < got && i < count; ++i)
        notes.push_back({pitches[static_cast<std::size_t>(i)], lengths[static_cast<std::size_t>(i)]});
    return notes;
}

std::vector<PitchCorrection> RecognisedMelody::TakeCorrections(double samplesPerBeat) const
{
    std::vector<PitchCorrection> take;
    if (!Have())
        return take;
    int count = m_recogniser.GetPitchRevise(nullptr, nullptr);
    if (count <= 0)
        return take;
    std::vector<float> offsets(static_cast<std::size_t>(count));
    std::vector<std::int32_t> ticks(static_cast<std::size_t>(count));
    count = std::min(count, m_recogniser.GetPitchRevise(offsets.data(), ticks.data()));
    double samplesPerTick = samplesPerBeat / 192.0;
    for (int i = 0; i < count; ++i)
        take.push_back({static_cast<std::size_t>(std::max(0, ticks[static_cast<std::size_t>(i)]) * samplesPerTick),
                        offsets[static_cast<std::size_t>(i)]});
    return take;
}

Recognition RecognisedMelody::Recognise(const MonoBuffer& take, const Timeline& time)
{
    return RecogniseTake(m_recogniser, m_analysis, take, time.tempo, time.metre);
}

std::unique_ptr<TakeAnalyser> RecognisedMelody::BeginTake(const Timeline& time)
{
    auto analyser = std::make_unique<TakeAnalyser>(m_recogniser, m_analysis);
    if (!analyser->Begin(time.tempo, time.metre))
        return nullptr;
    return analyser;
}

Recognition RecognisedMelody::LoadMidi(const std::string& path, int track)
{
    Recognition r;
    r.pitchedNotes = m_recogniser.MidiAnalysis(path.c_str(), track, &r.leadInBars, &r.barCount);
    return r;
}

std::unique_ptr<MelodySnapshot> RecognisedMelody::Snapshot(std::shared_ptr<const MonoBuffer> take,
                                                           std::shared_ptr<const MonoBuffer> voice,
                                                           std::vector<std::pair<double, double>> segments)
{
    if (!m_have)
        return nullptr;
    auto snapshot =
        std::make_unique<MelodySnapshot>(m_recogniser, std::move(take), std::move(voice), std::move(segments));
    return snapshot->Valid() ? std::move(snapshot) : nullptr;
}

int RecognisedMelody::Save(const std::string& path)
{
    return Have() ? std::max(0, m_recogniser.SaveProject(path.c_str())) : 0;
}

bool RecognisedMelody::Load(const std::string& path, std::int64_t offset)
{
    return m_recogniser.LoadProject(path.c_str(), static_cast<std::int32_t>(offset), 0) > 0;
}

int RecognisedMelody::LoadAnalysis(const std::string& path, std::int64_t offset, std::uint32_t version)
{
    if (!Ready())
        return MM_ERR_UNSUPPORTED;
    const int read =
        m_recogniser.LoadAnalysis(path.c_str(), static_cast<std::int32_t>(offset), static_cast<std::int32_t>(version));
    if (read <= 0)
        return MM_ERR_FORMAT;
    m_have = true;
    return read;
}

} // namespace melodrift::sonobox
