// The C entry points: argument checks, the one process-wide analysis, and
// nothing thrown across the boundary.
#include <memory>
#include <new>

#include "HarmonyAnalysis.h"
#include "KeyAnalyser.h"
#include "Tonalyze.h"

namespace {

std::unique_ptr<tonalyze::HarmonyAnalysis>& analysis()
{
    static std::unique_ptr<tonalyze::HarmonyAnalysis> state;
    return state;
}

tonalyze::NoteSpan noteSpan(const uint8_t* notes, const uint16_t* lengths, int32_t count)
{
    const auto n = static_cast<size_t>(count);
    return {{notes, n}, {lengths, n}};
}

template <class F>
int32_t guarded(F&& f)
{
    try {
        return f();
    } catch (...) {  // out of memory on an absurd melody, mostly
        return -1;
    }
}

}  // namespace

MELODRIFT_API int32_t MA_KeyAnalysis(const uint8_t* notes, const uint16_t* lengths, int32_t count,
                                     int32_t ticksPerBeat, int32_t TS)
{
    if (!notes || !lengths || count <= 0)
        return -1;
    return guarded([&] {
        return tonalyze::KeyAnalyser::analyse(noteSpan(notes, lengths, count), ticksPerBeat, TS & 0xFF);
    });
}

MELODRIFT_API int32_t MA_InputMelody(const uint8_t* notes, const uint16_t* lengths, int32_t count,
                                     int32_t ticksPerBeat, int32_t TS, int32_t tempo, int32_t* barCount)
{
    (void)tempo;
    if (!notes || !lengths || count <= 0 || !barCount)
        return -1;
    return guarded([&] {
        auto& state = analysis();
        auto next = state ? nullptr : std::make_unique<tonalyze::HarmonyAnalysis>();
        tonalyze::HarmonyAnalysis& target = state ? *state : *next;
        const int bars = target.input(noteSpan(notes, lengths, count), ticksPerBeat, TS & 0xFF);
        if (bars < 0)
            return -1;
        if (next)
            state = std::move(next);
        *barCount = bars;
        return 0;
    });
}

MELODRIFT_API int32_t MA_MelodyAnalysis(int32_t key, int32_t* sectionCount, MA_Section* sections, int32_t* chordCount,
                                        MA_Chord* chords, int32_t* fillCount, MA_Fill* fills)
{
    return guarded([&] {
        auto& state = analysis();
        if (!state)
            return -1;
        return state->analyse(key, sectionCount, sections, chordCount, chords, fillCount, fills);
    });
}

MELODRIFT_API int32_t MA_Release(void)
{
    analysis().reset();
    return 0;
}
