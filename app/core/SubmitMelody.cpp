#include <cstdint>
#include <vector>

#include "EngineTables.h"
#include "Pipeline.h"
#include "SongModel.h"

namespace melodrift {

void SubmitMelody(TSongModel& song)
{
    const auto& mm = Engines().mm;
    const int32_t count = mm.MM_GetMelodyInfo(nullptr, 0, 0);
    if (count < 1)
        return;
    std::vector<int8_t> pitches(count);
    std::vector<uint16_t> lengths(count);
    mm.MM_GetMelody(pitches.data(), lengths.data(), song.key);
    int32_t barCount = 0;
    Engines().sm.SM_InputWavNotes(reinterpret_cast<const uint8_t*>(pitches.data()), lengths.data(), count, kMelodyTicksPerQuarter, song.metre,
                                  song.tempo, &barCount);
    song.melodyBarCount = barCount;
    const int halfBar = BeatsPerBar(song.metre) * kMelodyTicksPerQuarter / 2;
    song.SetFlag(kFlagLeadingRest, barCount > 1 && pitches[0] == -128 && lengths[0] > halfBar);
}

} // namespace melodrift
