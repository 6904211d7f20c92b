#include "RecordLogic.h"

#include <algorithm>
#include <cmath>

#include "SongModel.h"

namespace melodrift {

int CountInBeatsToGo(int metre, double offset)
{
    const int b = metre == 0 ? 4 : metre == 1 ? 3 : 2;
    return b - static_cast<int>(offset * b / 120.0) - 1;
}

QString RecordFailureMessage(int code)
{
    switch (code) {
    case 1: return QStringLiteral("内存空间不足。");
    case 3: return QStringLiteral("指定设备的驱动程序无效。");
    case 6: return QStringLiteral("指定设备不支持所需录音格式。");
    case 23: return QStringLiteral("指定设备不可用。");
    case 37: return QStringLiteral("指定设备无法打开。");
    case 46: return QStringLiteral("指定设备正被其它程序占用。");
    default: return QStringLiteral("未知错误。");
    }
}

bool RecordFailureForgetsDevice(int code)
{
    return code == 3 || code == 6 || code == 23 || code == 37 || code == 46;
}

QString RecognisedInformation(int notes, int bars)
{
    QString text = QStringLiteral("可识别音符数：%1\n有效小节数：%2").arg(notes).arg(bars);
    if (notes < 7)
        text += QStringLiteral("\n能够识别的有效音符数不足，可能导致旋律分析不准确！");
    return text;
}

int MeterSegments(int32_t level)
{
    if (level < 0)
        return 0;
    return std::min(53, (level & 0xFFFF) * 53 / 32768);
}

std::optional<std::pair<int, int>> LevelLine(int32_t level, int centre)
{
    if (level <= 0)
        return std::nullopt;    // nothing, and values with the top bit set
    const int top = centre - (level & 0xFFFF) * 14 / 32768;
    const int bottom = centre + ((level >> 16) & 0xFFFF) * 14 / 32768;
    if (top >= bottom)
        return std::nullopt;
    return std::make_pair(top, bottom);
}

BarPos AddTicks(BarPos at, double ticks)
{
    double total = at.bar * 120.0 + at.offset + ticks;
    total = std::max(0.0, total);
    BarPos r;
    r.bar = static_cast<int>(total / 120.0);
    r.offset = total - r.bar * 120.0;
    return r;
}

static double TicksBetween(BarPos a, BarPos b)
{
    return (b.bar - a.bar) * 120.0 + (b.offset - a.offset);
}

void RecordRange::PlaceBegin(BarPos at)
{
    if (end && TicksBetween(at, *end) < kMinTicks)
        at = AddTicks(*end, -kMinTicks);
    begin = at;
}

void RecordRange::PlaceEnd(BarPos at)
{
    if (begin && TicksBetween(*begin, at) < kMinTicks)
        at = AddTicks(*begin, kMinTicks);
    end = at;
}

bool RecordRange::Contains(BarPos at) const
{
    return (!begin || !(at < *begin)) && (!end || at < *end);
}

BarPos PartialStart(BarPos cursor, const RecordRange& range)
{
    if (!range.begin)
        return cursor;
    // One bar to come in with; a cursor already in that bar stays.
    const BarPos lead{std::max(0, range.begin->bar - 1), 0};
    if (cursor < *range.begin && !(cursor < lead))
        return cursor;
    return lead;
}

SongBeforeTake SongBeforeTake::Of(const TSongModel& song)
{
    return {song.bars,           song.stages,         song.songForm,       song.barVols,    song.flags,
            song.key,            song.lastComposeKey, song.melodyBarCount, song.voiceVolume};
}

void SongBeforeTake::RestoreInto(TSongModel& song) const
{
    song.bars = bars;
    song.stages = stages;
    song.songForm = songForm;
    song.barVols = barVols;
    song.flags = flags;
    song.key = key;
    song.lastComposeKey = lastComposeKey;
    song.melodyBarCount = melodyBarCount;
    song.voiceVolume = voiceVolume;
}

void AlignRecognisedTake(TSongModel& song, int leadInBars, int validBars, int latencyMs)
{
    auto& bars = song.bars;
    const auto lead = static_cast<size_t>(std::clamp(leadInBars, 0, static_cast<int>(bars.size())));
    bars.erase(bars.begin(), bars.begin() + static_cast<std::ptrdiff_t>(lead));
    // The engine may count more bars than the clock drew (a take that ran
    // ahead of the screen): those bars come in empty.
    const auto valid = static_cast<size_t>(std::max(0, validBars));
    if (bars.size() > valid)
        bars.resize(valid);
    while (bars.size() < valid)
        song.AddBar().levels.fill(0);
    for (tagMelodyBar& bar : bars) {
        bar.voiced = false;
        bar.leadIn = false;
    }
    if (latencyMs <= 0 || song.msPerBar <= 0 || bars.empty())
        return;
    const int shift = static_cast<int>(latencyMs / (song.msPerBar / 120.0));
    if (shift <= 0)
        return;
    const size_t total = bars.size() * 120;
    auto at = [&](size_t i) -> int32_t& { return bars[i / 120].levels[i % 120]; };
    for (size_t i = 0; i < total; ++i)
        at(i) = i + static_cast<size_t>(shift) < total ? at(i + static_cast<size_t>(shift)) : 0;
}

void TakeTracker::StartRecording(BarPos at, bool withCountIn, bool isPartial, const RecordRange& range,
                                 int32_t level)
{
    cursor = at;
    running = recording = true;
    countIn = withCountIn;
    partial = isPartial;
    m_range = range;
    lastLevel = level;
    lastTick = static_cast<int>(at.offset) - 1;
    takeEnd = at;
    m_live = !isPartial || range.Contains(at);
}

void TakeTracker::StartPlaying(BarPos at)
{
    cursor = at;
    running = true;
    recording = countIn = false;
}

TakeTracker::Tick TakeTracker::Advance(TSongModel& song, int32_t level)
{
    Tick t;
    if (level < 0)
        level = 0;
    const BarPos prev = cursor;
    BarPos next{prev.bar, prev.offset + song.ticksPerClockTick};
    if (next.offset >= 120) {
        next.offset -= 120;
        ++next.bar;
    }
    const bool live = recording && (!partial || m_range.Contains(next));
    const bool wasLive = m_live;
    m_live = live;
    if (live && partial)
        melodyChanged = true;
    if (countIn && next.bar == 0)
        t.beatsToGo = CountInBeatsToGo(song.metre, next.offset);

    auto& bars = song.bars;
    if (next.bar != prev.bar) {
        t.newBar = true;
        if (recording) {
            if (wasLive && prev.bar >= 0 && prev.bar < static_cast<int>(bars.size()))
                std::fill(bars[static_cast<size_t>(prev.bar)].levels.begin() + std::max(0, lastTick + 1),
                          bars[static_cast<size_t>(prev.bar)].levels.end(), lastLevel);
            if (next.bar >= static_cast<int>(bars.size())) {
                countIn = false;
                tagMelodyBar& added = song.AddBar();
                added.voiced = true;
                added.levels.fill(0);
                added.levels[0] = lastLevel;
                t.appended = true;
            }
            lastTick = -1;
        } else if (next.bar >= static_cast<int>(bars.size())) {
            t.reachedEnd = true;
            cursor = next;
            return t;
        }
    }
    const int tick = std::clamp(static_cast<int>(next.offset), 0, 119);
    t.bar = next.bar;
    if (t.newBar || tick != static_cast<int>(prev.offset)) {
        t.moved = true;
        if (next.bar < static_cast<int>(bars.size())) {
            tagMelodyBar& bar = bars[static_cast<size_t>(next.bar)];
            if (live) {
                bar.voiced = true;
                const int from = std::max(0, lastTick + 1);
                std::fill(bar.levels.begin() + from, bar.levels.begin() + tick, lastLevel);
                bar.levels[static_cast<size_t>(tick)] = level;
                lastLevel = level;
                t.fromTick = from;
                t.toTick = tick;
                lastTick = tick;
                takeEnd = next;
            } else if (!recording) {
                bar.voiced = false;
                t.fromTick = 0;
                t.toTick = 119;
            }
        }
    }
    cursor = next;
    return t;
}

int KeyboardNoteAt(int x, int y, int height, int blackHeight, int octaves)
{
    constexpr int kWhite = 20, kOctave = 7 * kWhite, kBlackWidth = 12;
    if (x < 0 || y < 0 || y >= height || x >= octaves * kOctave)
        return -1;
    const int octave = x / kOctave;
    const int ox = x % kOctave;
    if (y < blackHeight) {
        constexpr int blackLeft[5] = {12, 32, 72, 92, 112};
        constexpr int blackSemitone[5] = {1, 3, 6, 8, 10};
        for (int i = 0; i < 5; ++i)
            if (ox >= blackLeft[i] && ox < blackLeft[i] + kBlackWidth)
                return octave * 12 + blackSemitone[i] + 48;
    }
    constexpr int whiteSemitone[7] = {0, 2, 4, 5, 7, 9, 11};
    return octave * 12 + whiteSemitone[ox / kWhite] + 48;
}

} // namespace melodrift
