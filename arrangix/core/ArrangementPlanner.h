#pragma once

#include "Arrangix.h"
#include "Plan.h"
#include "StyleCatalog.h"

#include <memory>
#include <span>

namespace melodrift::arrangix {

struct PlanInput {
    int32_t key = -1;
    std::span<const SM_Section> sections;
    std::span<const SM_Chord> chords;
    std::span<const SM_Stage> stages;
    std::span<const int32_t> styleIds;  // one per stage
    std::span<const SM_Fill> fills;
};

// Turns chords, sections, a song form and fills into blocks of style
// segments. Keeps nothing between calls.
class ArrangementPlanner {
public:
    ArrangementPlanner(StyleSource& source, std::shared_ptr<DecodedStyle> current)
        : source_(source), current_(std::move(current))
    {
    }

    // 0, or SM_E_RECORD when a stage names a section past the count or a
    // chord code is not 0..47 (nothing planned then).
    int32_t plan(const PlanInput& in, Plan& out);

private:
    struct State;
    std::vector<std::vector<ChordItem>> sectionChords(const PlanInput& in) const;
    void melodyStage(State& st, const std::vector<ChordItem>& items, Block& block, const SM_Stage& stage,
                     DecodedStyle* style, Plan& out) const;
    void edgeStage(State& st, Block& block, int kind, int id, DecodedStyle* style, const Plan& out) const;

    StyleSource& source_;
    std::shared_ptr<DecodedStyle> current_;
    int32_t bar_ = 768;
};

// Relative key: up a minor third from minor to major, down when turning minor.
void takeMode(Block& block, uint8_t minor);

void mergeChordItems(Block& block);

} // namespace melodrift::arrangix
