#pragma once

// The complete screen's decisions without pixels: the per-bar level curve of
// the final take, the re-record range and its markers, where a recording
// starts, what each clock tick writes, and the latency shift afterwards.

#include <cstdint>
#include <functional>
#include <vector>

namespace melodrift {

class TSongModel;

constexpr int kMarkerGap = 15;

struct BarMark {
    int bar = -1;       // -1: none (the song's start, or its end)
    int offset = 0;
    bool Set() const { return bar >= 0; }
    int Absolute() const { return bar * 120 + offset; }
    static BarMark FromAbsolute(int x) { return {x / 120, x % 120}; }
};

// What MM_Record receives: positions in bars, a missing marker as 0.
struct RecordStart {
    int cursorBar = 0;
    int cursorOffset = 0;
    double start = 0, punchIn = 0, punchOut = 0;
};

class CompleteState {
public:
    explicit CompleteState(TSongModel& song) : m_song(song) {}

    // Bars of the composed song (sum of the stages).
    int BarCount() const;
    // Builds the levels when none exist: melody-stage bars copy their melody
    // bar's columns, intros, interludes and outros start empty.
    void BuildLevels();

    // Partial mode and the markers. Placing refuses an order the range
    // cannot have; within the gap the marker is pushed to the gap.
    void SetPartial(bool on);
    bool Partial() const { return m_partial; }
    bool PlaceBegin(int bar, int offset);
    bool PlaceEnd(int bar, int offset);
    void ClearBegin() { m_begin = {}; }
    void ClearEnd() { m_end = {}; }
    const BarMark& Begin() const { return m_begin; }
    const BarMark& End() const { return m_end; }
    // Inside the range (begin inclusive, end exclusive); the whole song
    // outside partial mode.
    bool InRange(int bar, int offset) const;

    // Moves the cursor where a recording starts and says what to record.
    RecordStart StartRecording(int cursorBar, int cursorOffset);

    // One clock tick of playing or recording: the cursor moves by the
    // clock's pixels; a live recording writes the columns it passed with
    // level() of the microphone. Returns false when the song's end stopped
    // it. repaint receives bars whose curve changed.
    using LevelSource = std::function<int32_t(int stream)>;
    bool Tick(bool recording, const LevelSource& level, const std::function<void(int bar)>& repaint);
    int CursorBar() const { return m_cursorBar; }
    double CursorOffset() const { return m_cursorOffset; }
    void SetCursor(int bar, double offset) { m_cursorBar = bar; m_cursorOffset = offset; }
    int MeterValue() const { return m_meter; }
    int32_t LastLevel() const { return m_lastLevel; }

    // Shifts the freshly recorded curve left by the latency: every column
    // of the range takes the value d columns later. Returns d, 0 when
    // nothing moved.
    int ShiftForLatency(int latencyMs, int stopBar, int stopOffset);

private:
    int32_t& Column(int absolute);

    TSongModel& m_song;
    bool m_partial = false;
    BarMark m_begin, m_end;
    int m_cursorBar = 0;
    double m_cursorOffset = 0;
    int32_t m_lastLevel = 0;
    int m_meter = 0;
};

} // namespace melodrift
