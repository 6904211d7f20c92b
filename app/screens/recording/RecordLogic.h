#pragma once

// The record screen's decisions without pixels: the count-in, what each clock
// tick writes into the bars while a take runs, the re-record markers, the
// alignment of a recognised take and the screen's messages.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "SongModel.h"

namespace melodrift {

struct BarPos {
    int bar = 0;
    double offset = 0;          // ticks 0 <= offset < 120
    double Bars() const { return bar + offset / 120.0; }
    bool operator<(const BarPos& o) const { return bar < o.bar || (bar == o.bar && offset < o.offset); }
    bool operator==(const BarPos&) const = default;
};

// Beats of the count-in bar still to come at a tick offset: 3, 2, 1, 0 in 4/4.
int CountInBeatsToGo(int metre, double offset);
// MM_Record's failures as the screen says them; true for the codes that make
// the chosen device forgotten.
QString RecordFailureMessage(int code);
bool RecordFailureForgetsDevice(int code);
QString RecognisedInformation(int notes, int bars);
constexpr const char* kInvalidTakeMessage = "无效的音频输入\n请调整话筒音量后重新录音！";
// The engine lost the device mid-take; what came before is analysed as after a stop.
constexpr const char* kDeviceLostMessage = "录音设备已断开，录音已停止。";
// Lit segments of the input meter for a packed peak level (-1 counts as 0).
int MeterSegments(int32_t level);
// The vertical line of a level around a centre: (top, bottom), or nothing.
std::optional<std::pair<int, int>> LevelLine(int32_t level, int centre);

// The re-record range between two markers.
struct RecordRange {
    static constexpr double kMinTicks = 15;
    std::optional<BarPos> begin, end;
    void Clear() { begin.reset(); end.reset(); }
    // The begin stays before the end: an end is kept 15 ticks after the
    // begin, a begin closer than that moves back to 15 ticks before the end.
    void PlaceBegin(BarPos at);
    void PlaceEnd(BarPos at);
    // Inside [begin, end); an open side reaches to the song's edge.
    bool Contains(BarPos at) const;
};
BarPos AddTicks(BarPos at, double ticks);

// Where a partial re-recording starts: the start of the bar before the begin
// marker, or the cursor when it already lies between that and the marker.
BarPos PartialStart(BarPos cursor, const RecordRange& range);

// Drops the lead-in bars, clears the recorded-now marks of the valid bars,
// drops what follows them and moves the levels earlier by the latency.
void AlignRecognisedTake(TSongModel& song, int leadInBars, int validBars, int latencyMs);

// What a take changes in the song, kept at its start so that a take without
// bars (silence, cancelled in the count-in) leaves the previous melody, bars
// and song as they were; the engine keeps its take and melody likewise.
struct SongBeforeTake {
    std::vector<tagMelodyBar> bars;
    std::vector<tagMelodyStage> stages;
    std::vector<tagComposeStage> songForm;
    std::vector<tagBarVols> barVols;
    std::array<bool, kStateFlagCount> flags{};
    int32_t key = -1;
    int32_t lastComposeKey = -1;
    int32_t melodyBarCount = 0;
    float voiceVolume = 1;

    static SongBeforeTake Of(const TSongModel& song);
    void RestoreInto(TSongModel& song) const;
};

// The cursor of a running take or playback and what each clock tick writes.
class TakeTracker {
public:
    struct Tick {
        bool newBar = false;        // the cursor crossed into another bar
        bool appended = false;      // a bar was added to the song
        bool reachedEnd = false;    // playback passed the last bar: stop
        bool moved = false;         // bar or whole tick changed
        int beatsToGo = -1;         // count-in notice picture, -1 hidden
        int bar = 0, fromTick = 0, toTick = 0;   // columns written
    };

    void StartRecording(BarPos at, bool countIn, bool partial, const RecordRange& range, int32_t lastLevel);
    void StartPlaying(BarPos at);
    void Stop() { running = false; recording = false; countIn = false; }
    // One clock tick with the level the engine reported.
    Tick Advance(TSongModel& song, int32_t level);

    BarPos cursor;
    bool running = false, recording = false, countIn = false, partial = false;
    bool melodyChanged = false;
    int32_t lastLevel = 0;
    int lastTick = -1;
    BarPos takeEnd;

private:
    RecordRange m_range;
    bool m_live = false;    // the last tick wrote the take
};

// On-screen keyboard: the note under a point of an octave-wide pattern of
// seven 20-pixel white keys, from note 48; -1 outside.
int KeyboardNoteAt(int x, int y, int height, int blackHeight, int octaves);

} // namespace melodrift
