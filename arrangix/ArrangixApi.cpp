// The C entry points: a thin layer over the process-wide state. Nothing is
// thrown across it.
#include "Arrangix.h"
#include "ArrangixState.h"

#include <cstring>
#include <memory>

using melodrift::arrangix::ArrangixState;

namespace {

std::unique_ptr<ArrangixState>& state()
{
    static std::unique_ptr<ArrangixState> s;
    return s;
}

template <typename F>
int32_t guarded(F&& body, int32_t onError = -1)
{
    try {
        return body();
    } catch (...) {
        return onError;
    }
}

}  // namespace

MELODRIFT_API int32_t SM_Initialize(void)
{
    return guarded([] {
        if (!state())
            state() = std::make_unique<ArrangixState>();
        return state()->initialize();
    });
}

MELODRIFT_API int32_t SM_Release(void)
{
    return guarded([] { return state() ? state()->release() : 0; }, 0);
}

MELODRIFT_API uint8_t SM_CheckStyle(int32_t styleId)
{
    return static_cast<uint8_t>(guarded([&] { return state() && state()->catalog().style(styleId, true) ? 1 : 0; }, 0));
}

MELODRIFT_API int32_t SM_GetStyleInfo(int32_t styleId, void* record)
{
    return guarded([&] {
        if (!state() || record == nullptr)
            return -1;
        const melodrift::arrangix::StyleInfo* info = state()->catalog().info(styleId);
        if (info == nullptr)
            return -1;
        std::memcpy(record, info->data(), info->size());
        return 0;
    });
}

MELODRIFT_API int32_t SM_GetSegmentNum(int32_t code, int32_t styleId)
{
    return guarded([&] { return state() ? state()->catalog().segmentCount(code, styleId) : -1; });
}

MELODRIFT_API int32_t SM_GetSegmentBarNum(int32_t code, int32_t styleId)
{
    return guarded([&] { return state() ? state()->catalog().segmentBars(code, styleId) : -1; });
}

MELODRIFT_API int32_t SM_GetStyleInfos(int32_t selector, void* array, int32_t* count)
{
    return guarded([&] { return state() ? state()->styleInfos(selector, array, count) : -1; });
}

MELODRIFT_API int32_t SM_GetStyleRecomInfos(int32_t selector, void* array, int32_t* count)
{
    return guarded([&] { return state() ? state()->recomInfos(selector, array, count) : -1; });
}

MELODRIFT_API int32_t SM_InputWavNotes(const uint8_t* pitches, const uint16_t* lengths, int32_t count,
                                       int32_t ticksPerQuarter, int32_t metre, int32_t tempo, int32_t* barCount)
{
    return guarded([&] {
        ArrangixState::storedTempo() = tempo;
        if (!state())
            return -1;
        return state()->composer().inputWavNotes(pitches, lengths, count, ticksPerQuarter, metre, tempo, barCount);
    });
}

MELODRIFT_API int32_t SM_BaseCompose(int32_t key, int32_t* size, uint8_t* buffer, int32_t* sectionCount,
                                     SM_Section* sections, int32_t* chordCount, SM_Chord* chords,
                                     int32_t* fillCount, SM_Fill* fills, int32_t styleId)
{
    return guarded([&] {
        if (!state())
            return -1;
        return state()->composer().baseCompose(key, size, buffer, sectionCount, sections, chordCount, chords,
                                               fillCount, fills, styleId);
    });
}

MELODRIFT_API int32_t SM_Compose(int32_t key, int32_t* size, uint8_t* buffer, int32_t sectionCount,
                                 const SM_Section* sections, int32_t chordCount, const SM_Chord* chords,
                                 int32_t stageCount, const SM_Stage* stages, const int32_t* styleIds,
                                 int32_t fillCount, const SM_Fill* fills)
{
    return guarded([&] {
        if (!state())
            return -1;
        return state()->composer().compose(key, size, buffer, sectionCount, sections, chordCount, chords,
                                           stageCount, stages, styleIds, fillCount, fills);
    });
}

MELODRIFT_API int32_t SM_GetStyleDemo(int32_t* size, uint8_t* buffer, int32_t styleId, int32_t type,
                                      int32_t segmentId, int32_t key, int32_t mode)
{
    return guarded([&] {
        if (!state())
            return -1;
        return state()->composer().styleDemo(size, buffer, styleId, type, segmentId, key, mode);
    });
}

MELODRIFT_API int32_t SM_GetStyleDemoData(int32_t* size, uint8_t* buffer, int32_t code, int32_t styleId)
{
    return guarded([&] {
        if (!state())
            return -1;
        return state()->composer().styleDemoData(size, buffer, code, styleId);
    });
}
