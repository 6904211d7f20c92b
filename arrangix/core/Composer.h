#pragma once

#include "Arrangix.h"
#include "StyleCatalog.h"

#include <cstdint>
#include <functional>

namespace melodrift::arrangix {

// Tonalyze's entry points as the composer uses them.
struct AnalyserAccess {
    std::function<int32_t(const uint8_t*, const uint16_t*, int32_t, int32_t, int32_t, int32_t, int32_t*)> inputMelody;
    std::function<int32_t(int32_t, int32_t*, SM_Section*, int32_t*, SM_Chord*, int32_t*, SM_Fill*)> melodyAnalysis;
    std::function<int32_t()> release;
};

// The composing entry points over a style catalogue and the analyser. The
// remembered tempo lives outside so that it survives a release.
class Composer {
public:
    Composer(StyleCatalog& catalog, AnalyserAccess analyser, int32_t& storedTempo)
        : catalog_(catalog), analyser_(std::move(analyser)), storedTempo_(storedTempo)
    {
    }

    void setClock(std::function<int64_t()> now) { now_ = std::move(now); }

    int32_t inputWavNotes(const uint8_t* pitches, const uint16_t* lengths, int32_t count, int32_t tpq,
                          int32_t metre, int32_t tempo, int32_t* barCount);
    int32_t baseCompose(int32_t key, int32_t* size, uint8_t* buffer, int32_t* sectionCount, SM_Section* sections,
                        int32_t* chordCount, SM_Chord* chords, int32_t* fillCount, SM_Fill* fills,
                        int32_t styleId);
    int32_t compose(int32_t key, int32_t* size, uint8_t* buffer, int32_t sectionCount, const SM_Section* sections,
                    int32_t chordCount, const SM_Chord* chords, int32_t stageCount, const SM_Stage* stages,
                    const int32_t* styleIds, int32_t fillCount, const SM_Fill* fills);
    int32_t styleDemo(int32_t* size, uint8_t* buffer, int32_t styleId, int32_t type, int32_t segmentId, int32_t key,
                      int32_t mode);
    int32_t styleDemoData(int32_t* size, uint8_t* buffer, int32_t code, int32_t styleId);

    // Microseconds per quarter note for the remembered tempo, or -1.
    int32_t composerTempo() const;

private:
    StyleCatalog& catalog_;
    AnalyserAccess analyser_;
    int32_t& storedTempo_;
    std::function<int64_t()> now_;
};

} // namespace melodrift::arrangix
