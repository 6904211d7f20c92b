#include <algorithm>

#include "Engine.h"
#include "ProjectBlock.h"
#include "ProjectFile.h"
#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {
int Engine::SaveProject(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    ProjectBlock block;
    block.tempo = m_time.tempo;
    block.metre = m_time.metre;
    std::copy(m_mixer.Volumes().begin(), m_mixer.Volumes().end(), block.volumes.begin());
    for (std::size_t i = 0; i < VoiceEffects::kIds.size(); ++i)
        block.effects[i] = m_mixer.Effects().Get(VoiceEffects::kIds[i]);
    for (int stream : {kStreamMelodyTake, kStreamVoice}) {
        const auto& voice = m_voices.Get(stream);
        if (!voice || voice->empty())
            continue;
        ProjectBlock::Take take;
        take.stream = static_cast<std::uint32_t>(stream);
        take.samples = static_cast<std::uint32_t>(voice->size());
        take.flac = EncodeFlac(*voice);
        if (take.flac.empty())
            return MM_ERR_IO;
        block.takes.push_back(std::move(take));
    }
    block.segments = m_voices.Segments();
    const std::vector<std::uint8_t> bytes = SerializeProjectBlock(block);
    ProjectFile file(path);
    if (!file.Append(bytes))
        return MM_ERR_IO;
    const std::int32_t recogniser = m_melody.Save(path);
    if (recogniser > 0 && !file.SetRecogniserBytes(static_cast<std::uint32_t>(recogniser)))
        return MM_ERR_IO;
    return static_cast<int>(bytes.size()) + recogniser;
}

int Engine::LoadProject(const std::string& path, std::int64_t offset)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    StopRunLocked(false);
    m_accompaniment.Clear();
    m_voices.Clear();
    m_melody.SetHave(false);
    auto bytes = ProjectFile(path).Read(offset, -1);
    if (!bytes)
        return MM_ERR_IO;
    std::size_t blockBytes = 0;
    auto block = ParseProjectBlock(bytes->data(), bytes->size(), &blockBytes);
    if (!block)
        return MM_ERR_FORMAT;
    std::array<std::shared_ptr<const MonoBuffer>, kStreamCount> voices{};
    for (const ProjectBlock::Take& take : block->takes) {
        if (take.stream != kStreamMelodyTake && take.stream != kStreamVoice)
            return MM_ERR_FORMAT;
        auto samples = DecodeFlacTake(take.flac.data(), take.flac.size(), take.samples);
        if (!samples)
            return MM_ERR_FORMAT;
        voices[take.stream] = std::make_shared<const MonoBuffer>(std::move(*samples));
    }
    m_voices.Load(voices, block->segments);
    if (m_voices.Take() && m_melody.Ready()) {
        if (block->recogniserBytes > 0 && m_melody.Load(path, offset + static_cast<std::int64_t>(blockBytes)))
            m_melody.SetHave(true);
        else // rebuild what was lost
            m_melody.SetHave(m_melody.Recognise(*m_voices.Take(), m_time).barCount > 0);
    }
    return m_voices.Voice() ? 1 : 0;
}

int Engine::LoadOldTake(int stream, const std::string& path, std::int64_t offset, std::int64_t size)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (size <= 0) {
        // An old project without this take: nothing to read.
        m_voices.Set(stream, nullptr);
        return size == 0 ? 0 : MM_ERR_FAIL;
    }
    auto bytes = ProjectFile(path).Read(offset, size);
    if (!bytes)
        return MM_ERR_IO;
    auto samples = DecodeMonoMemory(bytes->data(), bytes->size());
    if (!samples)
        return MM_ERR_FORMAT;
    m_voices.Set(stream, std::make_shared<const MonoBuffer>(std::move(*samples)));
    return static_cast<int>(size);
}

int Engine::LoadOldAnalysis(const std::string& path, std::int64_t offset, std::uint32_t version)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_melody.LoadAnalysis(path, offset, version);
}

} // namespace melodrift::sonobox
