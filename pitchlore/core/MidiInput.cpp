#include "MidiInput.h"

#include <array>

namespace pitchlore {

namespace {

constexpr int32_t kCapacity = 2000;
constexpr uint32_t kTicksPerBeat = 192;

}  // namespace

std::optional<Analyser::Result> analyseMidi(Analyser& analyser, RetriveMelodyFn retrive, const char* source,
                                            int32_t selector)
{
    if (retrive == nullptr)
        return std::nullopt;
    std::array<int32_t, kCapacity> pitches{};
    std::array<int32_t, kCapacity> lengths{};
    int32_t TS = 0;
    int32_t tempo = 0;
    int32_t count = kCapacity;
    if (retrive(source, selector, &TS, &tempo, pitches.data(), lengths.data(), &count) != 0 || count <= 0)
        return std::nullopt;
    if (!AnalyserConfig::make(tempo, TS, 0, kTicksPerBeat))
        return std::nullopt;
    if (count > kCapacity)
        count = kCapacity;
    analyser.reset(tempo, TS, 0, kTicksPerBeat);
    NoteRecords notes;
    notes.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        float pitch = pitches[i] < 0 ? -1.0f : static_cast<float>(pitches[i]);
        notes.push_back(NoteRecord{pitch, lengths[i] > 0 ? lengths[i] : 0});
    }
    return analyser.takeNotes(std::move(notes));
}

}  // namespace pitchlore
