#pragma once

// The song form without pixels: what the resource list offers, how stages are
// named, coloured and described, and the rules of inserting, appending,
// moving and removing compose stages (an outro only at the end, at most one,
// never moved, nothing after it).

#include <QColor>
#include <QString>
#include <vector>

#include "SongRecords.h"

namespace melodrift {

class TSongModel;

// One entry of the resource list: ref is a melody stage index, 256 + v an
// intro/interlude variation or 272 + v an outro variation.
struct ResourceItem {
    int ref = 0;
    QString text;
};

std::vector<ResourceItem> ResourceItems(const TSongModel& song);
// "A段 (伴奏型1)", "前/间奏-2(4小节)", "尾奏-1(2小节)".
QString ComposeStageName(const TSongModel& song, const tagComposeStage& stage);
// By variation or pattern; dark for bars outside a re-record range.
QColor StageColour(const tagComposeStage& stage, bool dark = false);
// Bar count of an intro/interlude or outro variation in the song's style, 0
// when the style has none.
int SectionBars(const TSongModel& song, int ref);

// Heights of the resource and compose panels sharing height h: mode 0 the
// default split, 1 the resource panel shrunk to its header, 2 the compose
// panel shrunk to its header and bottom bar.
struct SidePanelSplit {
    int resource = 0;
    int compose = 0;
};
SidePanelSplit SplitSidePanels(int h, int resourceItems, int mode);

class SongFormEditor {
public:
    explicit SongFormEditor(TSongModel& song) : m_song(song) {}

    int StageCount() const;
    bool EndsWithOutro() const;
    // Total bars and the stage a bar belongs to (-1 past the end).
    int BarCount() const;
    int StageOfBar(int bar) const;
    int FirstBarOf(int stage) const;

    // Whether a drop at insertion position pos (0..count) is allowed.
    bool CanInsert(int ref, int pos) const;
    bool CanMove(int from, int pos) const;

    // Each returns true when the song form changed.
    bool Insert(int ref, int pos);
    bool Append(int ref);
    bool Move(int from, int pos);
    bool Remove(int index);
    bool SetPattern(int index, int pattern);
    // Records the fill for a bar of a melody stage, or removes it when it
    // is the one recorded.
    bool ToggleFill(int index, int offset, int variant);
    // The fill recorded for a bar of a melody stage, -1 none.
    int FillAt(int index, int offset) const;

    bool MoveUpEnabled(int selected) const;
    bool MoveDownEnabled(int selected) const;

    // The stage a resource becomes.
    tagComposeStage NewStage(int ref) const;

private:
    TSongModel& m_song;
};

} // namespace melodrift
