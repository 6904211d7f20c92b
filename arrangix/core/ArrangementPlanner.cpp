#include "ArrangementPlanner.h"

#include <algorithm>

namespace melodrift::arrangix {

namespace {

bool minorType(uint8_t type) { return type == 1 || type == 3; }

bool validRecords(const PlanInput& in)
{
    for (const SM_Stage& s : in.stages) {
        if (s.ref < 0 || s.ref >= 272 + 256)
            return false;
        if (s.ref < 256 && (static_cast<size_t>(s.ref) >= in.sections.size() || s.pattern < 0 || s.pattern > 255))
            return false;
    }
    for (const SM_Chord& c : in.chords)
        if (c.code < 0 || c.code > 47)
            return false;
    for (const SM_Fill& f : in.fills)
        if (f.variant < 0 || f.variant > 255)
            return false;
    return in.styleIds.size() >= in.stages.size();
}

}  // namespace

struct ArrangementPlanner::State {
    int64_t T = 0;
    size_t k = 0;
    bool pending = false;
    int64_t F = 0;
    uint8_t R = 0;
    uint8_t M = 0;
    std::span<const SM_Fill> fills;

    void selectFill(size_t index, int32_t bar)
    {
        k = index;
        pending = k < fills.size();
        if (pending)
            F = static_cast<int64_t>(bar) * fills[k].bar;
    }
    bool fillHere() const { return pending && F == T; }
};

void takeMode(Block& block, uint8_t minor)
{
    int root = block.keyRoot;
    if (minor == 1)
        root = root - 3 < 0 ? root + 9 : root - 3;
    else
        root = root + 3 > 11 ? root - 9 : root + 3;
    block.keyRoot = static_cast<uint8_t>(root);
    block.minor = minor;
}

void mergeChordItems(Block& block)
{
    std::vector<ChordItem> merged;
    for (const ChordItem& c : block.chords) {
        if (!merged.empty() && merged.back().type == c.type && merged.back().root == c.root)
            merged.back().duration += c.duration;
        else
            merged.push_back(c);
    }
    block.chords = std::move(merged);
}

std::vector<std::vector<ChordItem>> ArrangementPlanner::sectionChords(const PlanInput& in) const
{
    std::vector<std::vector<ChordItem>> lists(in.sections.size());
    size_t next = 0;
    int64_t previousEnd = 0;
    for (size_t s = 0; s < in.sections.size(); ++s) {
        int64_t end = static_cast<int64_t>(bar_) * (static_cast<int64_t>(in.sections[s].lastBar) + 1);
        int64_t span = end - previousEnd;
        int64_t sum = 0;
        while (next < in.chords.size()) {
            const SM_Chord& c = in.chords[next];
            ChordItem item{c.wholeBar == 1 ? bar_ : bar_ / 2, static_cast<uint8_t>(c.code % 4),
                           static_cast<uint8_t>(c.code / 4)};
            if (sum + item.duration > span)
                break;
            sum += item.duration;
            lists[s].push_back(item);
            ++next;
        }
        previousEnd = end;
    }
    return lists;
}

void ArrangementPlanner::melodyStage(State& st, const std::vector<ChordItem>& items, Block& block,
                                     const SM_Stage& stage, DecodedStyle* style, Plan& out) const
{
    const auto pattern = static_cast<uint8_t>(stage.pattern);
    const int32_t styleId = block.styleId;
    auto freshMain = [&] {
        Block b;
        b.styleId = styleId;
        b.kind = kMain;
        b.id = pattern;
        return b;
    };
    block = freshMain();
    if (!out.empty() && out.back().kind == kIntro && !items.empty()) {
        uint8_t minor = minorType(items.front().type) ? 1 : 0;
        if (minor != out.back().minor) {
            takeMode(out.back(), minor);
            st.R = out.back().keyRoot;
            st.M = out.back().minor;
        }
    }
    const int32_t segLength = style != nullptr ? style->segmentLength(kMain, pattern) : -1;
    size_t j = 0;
    while (j < items.size()) {
        if (!st.fillHere()) {
            block.chords.push_back(items[j]);
            block.duration += items[j].duration;
            st.T += items[j].duration;
            if (block.duration >= segLength && j + 1 != items.size()) {
                out.push_back(std::move(block));
                block = freshMain();
            }
            ++j;
            continue;
        }
        if (!block.chords.empty()) {
            out.push_back(std::move(block));
            block = freshMain();
        }
        block.kind = kFill;
        block.id = static_cast<uint8_t>(st.fills[st.k].variant);
        // The fill lasts as long as the chords it covers (a bar when they fill
        // one), so later blocks stay in time with the melody.
        int32_t sum = 0;
        while (j < items.size() && sum < bar_) {
            block.chords.push_back(items[j]);
            sum += items[j].duration;
            st.T += items[j].duration;
            ++j;
        }
        block.duration = sum;
        st.selectFill(st.k + 1, bar_);
        if (sum >= bar_ && j != items.size()) {
            out.push_back(std::move(block));
            block = freshMain();
        }
    }
}

void ArrangementPlanner::edgeStage(State& st, Block& block, int kind, int id, DecodedStyle* style,
                                   const Plan& out) const
{
    block.kind = static_cast<uint8_t>(kind);
    block.id = static_cast<uint8_t>(id);
    block.keyRoot = st.R;
    block.minor = st.M;
    int32_t length = style != nullptr ? style->segmentLength(kind, id) : -1;
    block.duration = std::max(length, 0);  // a missing segment fails the render anyway
    if (!out.empty()) {
        const Block& prev = out.back();
        uint8_t wanted = st.M;
        if (prev.kind == kIntro || prev.kind == kOutro)
            wanted = prev.minor;
        else if (!prev.chords.empty())
            wanted = minorType(prev.chords.back().type) ? 1 : 0;
        if (wanted != block.minor)
            takeMode(block, wanted);
    }
    st.T += block.duration;
}

int32_t ArrangementPlanner::plan(const PlanInput& in, Plan& out)
{
    out.clear();
    if (!current_ || !validRecords(in))
        return SM_E_RECORD;
    bar_ = current_->barLength();
    auto lists = sectionChords(in);
    State st;
    st.fills = in.fills;
    st.selectFill(0, bar_);
    auto keyByte = static_cast<uint8_t>(in.key & 0xFF);
    st.R = keyByte <= 11 ? keyByte : 0;
    for (size_t i = 0; i < in.stages.size(); ++i) {
        const SM_Stage& stage = in.stages[i];
        Block block;
        block.styleId = in.styleIds[i];
        std::shared_ptr<DecodedStyle> style = current_;
        if (in.styleIds[i] != current_->id)
            style = source_.style(in.styleIds[i], true);
        if (stage.ref < 256) {
            melodyStage(st, lists[static_cast<size_t>(stage.ref)], block, stage, style.get(), out);
        } else if (stage.ref < 272) {
            edgeStage(st, block, kIntro, stage.ref - 256, style.get(), out);
        } else {
            edgeStage(st, block, kOutro, stage.ref - 272, style.get(), out);
        }
        out.push_back(std::move(block));
    }
    size_t leading = 0;
    while (leading < out.size() && (out[leading].kind == kIntro || out[leading].kind == kOutro))
        ++leading;
    if (leading >= 2)
        for (size_t i = 0; i + 1 < leading; ++i) {
            out[i].keyRoot = out[leading - 1].keyRoot;
            out[i].minor = out[leading - 1].minor;
        }
    for (Block& b : out)
        mergeChordItems(b);
    return 0;
}

} // namespace melodrift::arrangix
