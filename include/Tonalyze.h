/*
 * Tonalyze, the melody analyser: decides the key of a note melody and works
 * out its sections, accompaniment patterns, chords and fill bars.
 *
 * Loaded by name ("Tonalyze.dll" -> libTonalyze.so) by the melody recogniser
 * (MA_KeyAnalysis only) and by the style composer (the other three).
 *
 * Note melody: count entries in two parallel arrays, one byte per note (MIDI
 * note number, 69 = A 440 Hz; 128 is a rest, -128 when the caller keeps the
 * bytes signed) and one uint16 per note (length in ticks at ticksPerBeat
 * ticks a beat; the program uses 192 a quarter note).
 *
 * Metre code TS: 0 4/4, 1 3/4, 2 2/4, 3 6/8 (beats per bar 4, 3, 2, 3). Only
 * the low 8 bits of a TS argument are read.
 *
 * Key: 0..11, the tonic pitch class of a major key (C..B); the relative minor
 * shares the number.
 *
 * Ownership: the caller owns every array; nothing is kept beyond a call
 * except the copy of the melody that MA_InputMelody stores. No function
 * returns memory to free. Nothing is thrown across these functions.
 *
 * Threads: MA_KeyAnalysis keeps no state and may run on any thread.
 * MA_InputMelody, MA_MelodyAnalysis and MA_Release share one process-wide
 * analysis without locks: call them from one thread at a time.
 *
 * Log lines go to the platform's debug channel (MDP_DebugOutput). When the
 * environment variable MELODRIFT_TRACE_DIR names a folder, MA_KeyAnalysis
 * appends its profile and rankings to "KeyAnalysis.txt" in it.
 */
#ifndef TONALYZE_H
#define TONALYZE_H

#include <stddef.h>
#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One section of the song: the index of its last bar (0-based) and the
 * accompaniment pattern to play in it (0..3). */
typedef struct MA_Section {
    int32_t lastBar;
    int32_t pattern;
} MA_Section;

/* One chord in bar order. code = root pitch class * 4 + quality (0 major,
 * 1 minor); -1 no chord. wholeBar is 1 when the chord fills its bar, 0 when it
 * is one of the two half-bar chords of a 4/4 bar (two records in a row). */
typedef struct MA_Chord {
    int32_t code;
    int32_t wholeBar;
} MA_Chord;

/* A bar whose end gets a fill; flag is always 1. */
typedef struct MA_Fill {
    int32_t bar;
    int32_t flag;
} MA_Fill;

MELODRIFT_STATIC_ASSERT(sizeof(MA_Section) == 8, "MA_Section is two int32");
MELODRIFT_STATIC_ASSERT(sizeof(MA_Chord) == 8, "MA_Chord is two int32");
MELODRIFT_STATIC_ASSERT(sizeof(MA_Fill) == 8, "MA_Fill is two int32");
MELODRIFT_STATIC_ASSERT(offsetof(MA_Section, pattern) == 4, "pattern follows lastBar");
MELODRIFT_STATIC_ASSERT(offsetof(MA_Chord, wholeBar) == 4, "wholeBar follows code");
MELODRIFT_STATIC_ASSERT(offsetof(MA_Fill, flag) == 4, "flag follows bar");

/*
 * Decides the key of a note melody.
 *   notes, lengths  count entries each (read only)
 *   count           number of notes, rests included; > 0
 *   ticksPerBeat    resolution of lengths; at least 4 (smaller gives -1)
 *   TS              metre code 0..3 (low 8 bits)
 * Returns the tonic 0..11, or -1 for a null pointer, count <= 0, TS above 3,
 * ticksPerBeat below 4 or a melody without any pitched note. Keeps no state.
 */
MELODRIFT_API int32_t MA_KeyAnalysis(const uint8_t* notes, const uint16_t* lengths, int32_t count,
                                     int32_t ticksPerBeat, int32_t TS);

/*
 * Stores a copy of the melody to analyse (replacing the previous one unless
 * it is identical, in which case the previous analysis is kept).
 *   tempo     beats per minute; not used
 *   barCount  out: bars of the melody (total ticks / ticks a bar, rounded up)
 * Returns 0, or -1 for a null pointer, count <= 0, TS above 3, ticksPerBeat
 * below 4, a melody without any pitched note or one longer than 4096 bars;
 * on -1 the previous melody and analysis stay as they were and barCount is
 * not written.
 */
MELODRIFT_API int32_t MA_InputMelody(const uint8_t* notes, const uint16_t* lengths, int32_t count,
                                     int32_t ticksPerBeat, int32_t TS, int32_t tempo, int32_t* barCount);

/*
 * Analyses the stored melody in a key and hands out sections, chords, fills.
 *   key  0..11; any other value means "decide it from the melody".
 * Each count is in/out:
 *   *sectionCount  0: write the sections (at most barCount records) and
 *                  their number. > 0: sections[0..n-1] are the caller's
 *                  sections (their lastBar values, ascending, the last one the
 *                  song's last bar); with the same key as the previous call
 *                  they replace the computed ones and the chords are worked
 *                  out again. Invalid caller sections are ignored.
 *   *chordCount    0: write the chords (at most 2 * barCount records) and
 *                  their number; anything else: chords left alone.
 *   *fillCount     0: write the fills (at most barCount - 1 records) when the
 *                  song has two sections or more, and their number; anything
 *                  else: fills left alone.
 *                  A negative count -N also asks for that output but gives the
 *                  array's capacity N: when the output does not fit, nothing
 *                  is written and the call returns -1.
 * A null count pointer means "do not want that output"; a null array with a
 * count of 0 is an error (-1).
 * Returns 0, or -1 when no melody is stored or an output does not fit.
 */
MELODRIFT_API int32_t MA_MelodyAnalysis(int32_t key, int32_t* sectionCount, MA_Section* sections,
                                        int32_t* chordCount, MA_Chord* chords, int32_t* fillCount,
                                        MA_Fill* fills);

/* Frees the stored melody and its analysis. Returns 0. */
MELODRIFT_API int32_t MA_Release(void);

/* Types for binding the entry points by name (MDP_GetSymbol / dlsym). */
typedef int32_t (*MA_KeyAnalysisFn)(const uint8_t*, const uint16_t*, int32_t, int32_t, int32_t);
typedef int32_t (*MA_InputMelodyFn)(const uint8_t*, const uint16_t*, int32_t, int32_t, int32_t, int32_t,
                                    int32_t*);
typedef int32_t (*MA_MelodyAnalysisFn)(int32_t, int32_t*, MA_Section*, int32_t*, MA_Chord*, int32_t*, MA_Fill*);
typedef int32_t (*MA_ReleaseFn)(void);

#ifdef __cplusplus
}
#endif

#endif
