#include "Composer.h"

#include "ArrangementPlanner.h"
#include "Log.h"
#include "Renderer.h"
#include "StyleDemo.h"

#include <cmath>
#include <ctime>
#include <vector>

namespace melodrift::arrangix {

namespace {

template <typename T>
std::span<const T> spanOf(const T* p, int32_t n)
{
    return n > 0 && p != nullptr ? std::span<const T>(p, static_cast<size_t>(n)) : std::span<const T>();
}

// The analyser picks main patterns 0..3 and fill variant 1 whatever the
// style holds. Records it made are fitted to the style (by position in the
// kind's list) so that a style with fewer patterns still composes; the
// fitted records go back to the caller. A style without fills gets none.
void fitAnalysedRecords(const DecodedStyle& style, std::span<SM_Section> sections, SM_Fill* fills,
                        int32_t* fillCount)
{
    auto fit = [&](int kind, int32_t id) {
        const auto& list = style.segments[kind];
        for (const StyleSegment& seg : list)
            if (seg.id == id)
                return id;
        size_t position = static_cast<size_t>(id < 0 ? 0 : id) % list.size();
        return static_cast<int32_t>(list[position].id);
    };
    if (!style.segments[kMain].empty())
        for (SM_Section& s : sections)
            s.pattern = fit(kMain, s.pattern);
    if (fills == nullptr || fillCount == nullptr || *fillCount <= 0)
        return;
    if (style.segments[kFill].empty()) {
        *fillCount = 0;
        return;
    }
    for (int32_t i = 0; i < *fillCount; ++i)
        fills[i].variant = fit(kFill, fills[i].variant);
}

}  // namespace

int32_t Composer::composerTempo() const
{
    if (storedTempo_ <= 0)
        return -1;
    return static_cast<int32_t>(std::lround(60000000.0 / storedTempo_));
}

int32_t Composer::inputWavNotes(const uint8_t* pitches, const uint16_t* lengths, int32_t count, int32_t tpq,
                                int32_t metre, int32_t tempo, int32_t* barCount)
{
    storedTempo_ = tempo;
    if (!analyser_.inputMelody)
        return -1;
    return analyser_.inputMelody(pitches, lengths, count, tpq, metre, tempo, barCount);
}

int32_t Composer::baseCompose(int32_t key, int32_t* size, uint8_t* buffer, int32_t* sectionCount,
                              SM_Section* sections, int32_t* chordCount, SM_Chord* chords, int32_t* fillCount,
                              SM_Fill* fills, int32_t styleId)
{
    if (size == nullptr || buffer == nullptr || sectionCount == nullptr || chordCount == nullptr ||
        sections == nullptr || chords == nullptr) {
        log("Invalid params.\n");
        return SM_E_PARAMS;
    }
    const bool analyse = *sectionCount == 0 || *chordCount == 0;
    if (analyse) {
        if (!analyser_.melodyAnalysis ||
            analyser_.melodyAnalysis(key, sectionCount, sections, chordCount, chords, fillCount, fills) < 0)
            return -1;
    }
    const int32_t nSections = *sectionCount;
    if (nSections > 256)
        return SM_E_RECORD;  // stage references from 256 up name intros, not sections
    std::vector<SM_Stage> stages;
    for (int32_t i = 0; i < nSections; ++i)
        stages.push_back(SM_Stage{i, sections[i].pattern});
    std::vector<int32_t> styleIds(stages.size(), styleId);
    auto style = catalog_.style(styleId, true);
    if (!style) {
        log("Get style %d error.\n", styleId);
        return -1;
    }
    if (analyse && nSections > 0) {
        fitAnalysedRecords(*style, std::span<SM_Section>(sections, static_cast<size_t>(nSections)), fills, fillCount);
        for (size_t i = 0; i < stages.size(); ++i)
            stages[i].pattern = sections[i].pattern;
    }
    const int32_t fillN = fillCount != nullptr ? *fillCount : 0;
    PlanInput in{key, spanOf(sections, nSections), spanOf(chords, *chordCount), stages, styleIds,
                 spanOf(fills, fillN)};
    Plan plan;
    int32_t planned = ArrangementPlanner(catalog_, style).plan(in, plan);
    log("Construct return %d.\n", planned);
    if (planned != 0)
        return planned;
    int32_t r = Renderer(catalog_, style, composerTempo()).render(plan, buffer, size);
    log("ComposeStage return %d.\n", r);
    return r;
}

int32_t Composer::compose(int32_t key, int32_t* size, uint8_t* buffer, int32_t sectionCount,
                          const SM_Section* sections, int32_t chordCount, const SM_Chord* chords, int32_t stageCount,
                          const SM_Stage* stages, const int32_t* styleIds, int32_t fillCount, const SM_Fill* fills)
{
    if (sectionCount <= 0 || chordCount <= 0 || stageCount <= 0 || size == nullptr || buffer == nullptr ||
        sections == nullptr || chords == nullptr || stages == nullptr || styleIds == nullptr ||
        (fillCount > 0 && fills == nullptr)) {
        log("Invalid params.\n");
        return SM_E_PARAMS;
    }
    if (styleIds[0] < 0) {
        log("Ivalid style ID!.\n");
        return -1;
    }
    auto style = catalog_.style(styleIds[0], true);
    if (!style)
        return -1;
    const int32_t tempo = composerTempo();
    log("Composer at tempo %d.\n", tempo);
    PlanInput in{key,
                 spanOf(sections, sectionCount),
                 spanOf(chords, chordCount),
                 spanOf(stages, stageCount),
                 spanOf(styleIds, stageCount),
                 spanOf(fills, fillCount)};
    Plan plan;
    int32_t r = ArrangementPlanner(catalog_, style).plan(in, plan);
    log("Construct return %d.\n", r);
    if (r == 0) {
        r = Renderer(catalog_, style, tempo).render(plan, buffer, size);
        log("ComposeStage return %d.\n", r);
    }
    log("Composer return %d.\n", r);
    return r;
}

int32_t Composer::styleDemo(int32_t* size, uint8_t* buffer, int32_t styleId, int32_t type, int32_t segmentId,
                            int32_t key, int32_t mode)
{
    if (size == nullptr || buffer == nullptr)
        return SM_E_PARAMS;
    auto style = catalog_.style(styleId, true);
    if (!style)
        return -1;
    int64_t t = now_ ? now_() : static_cast<int64_t>(std::time(nullptr));
    if (t < 0)
        t = 0;
    if (key < 0 || key > 11)
        key = static_cast<int32_t>(t % 12);
    if (mode != 0 && mode != 1)
        mode = static_cast<int32_t>((t >> 1) & 1);
    Plan plan = demoPlan(*style, type, segmentId, key, mode, t);
    return Renderer(catalog_, style, -1).render(plan, buffer, size);
}

int32_t Composer::styleDemoData(int32_t* size, uint8_t* buffer, int32_t code, int32_t styleId)
{
    if (size == nullptr || buffer == nullptr)
        return SM_E_PARAMS;
    auto style = catalog_.style(styleId, true);
    if (!style)
        return -1;
    Plan plan = segmentDataPlan(*style, code);
    if (plan.empty() && code >= 0)
        return SM_E_SEGMENT;
    return Renderer(catalog_, style, -1).render(plan, buffer, size);
}

} // namespace melodrift::arrangix
