/*
 * Pitchlore, the melody recogniser: turns per-frame magnitude spectra of a
 * sung take (44100 Hz) into a note melody on the tempo's beat grid.
 *
 * One analyser per process, held by the library; no locks, so every function
 * must be called from one thread at a time. Every function except
 * MR_CreateAnalyser and MR_DestroyAnalyser returns -1 (MR_FrameAnalysis does
 * nothing) while no analyser exists. The caller owns every buffer.
 *
 * Paths are 8-bit text; on Linux that is UTF-8 for the "narrow" and the
 * "wide" entry points alike.
 */
#ifndef MELODRIFT_PITCHLORE_H
#define MELODRIFT_PITCHLORE_H

#include <stddef.h>
#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One note of the analyser's melody as the analysis block stores it:
 * fractional MIDI note number (-1.0 for a rest) and length in frames. */
#pragma pack(push, 1)
typedef struct MR_NoteRecord {
    float pitch;
    int32_t frames;
} MR_NoteRecord;
#pragma pack(pop)

MELODRIFT_STATIC_ASSERT(sizeof(MR_NoteRecord) == 8, "note record is 8 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(MR_NoteRecord, frames) == 4, "frames follow the pitch");

/* Note number of a rest in the note arrays. */
#define MR_REST 128

/* Creates the analyser (destroying an existing one first) and binds
 * libTonalyze.so and libTunescan.so by name; a missing library only disables
 * key detection or MIDI input. Returns 0, or -1 when out of memory. */
MELODRIFT_API int32_t MR_CreateAnalyser(void);

/* Clears the analyser and configures it for a take: tempo 50..220 beats per
 * minute, TS 0 4/4, 1 3/4, 2 2/4, 3 6/8, 4 (three beats), FFT the transform
 * size (0..262144; bin i is i*44100/FFT Hz), FPB analysis frames per beat
 * (1..4096). Returns 0, or -1 without analyser or for a value out of range,
 * in which case the analyser stays empty and ignores frames. */
MELODRIFT_API int32_t MR_ResetAnalyser(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB);

/* Destroys the analyser and releases Tonalyze. Always 0. */
MELODRIFT_API int32_t MR_DestroyAnalyser(void);

/* Estimates the fundamental of one frame. spectrum holds FFT/2 non-negative
 * magnitudes from bin 0. An index at or above the frame count appends the
 * frame; a smaller one overwrites that frame. A frame that cannot be stored
 * (out of memory) is dropped. */
MELODRIFT_API void MR_FrameAnalysis(uint32_t frameIndex, const float* spectrum);

/* Segments the frame tracks into notes on the grid, decides the key (key -1)
 * or snaps to the given key (0..11), and writes the whole bars of leading
 * rest removed and the bar count. Returns the number of pitched notes; 0 when
 * no beat is complete (outputs untouched). */
MELODRIFT_API int32_t MR_MelodyAnalysis(int32_t* leadInBars, int32_t* barCount, int32_t key);

/* Chooses how frames become notes in MR_MelodyAnalysis: MR_METHOD_NOTES (the
 * default: the note tracker for real voices, which splits repeated notes and
 * takes each note's pitch from its stable middle) or MR_METHOD_SEGMENTS
 * (steady segments and glides merged on the grid). Kept across resets.
 * Returns 0, or -1 without analyser or for an unknown method. */
#define MR_METHOD_NOTES 0
#define MR_METHOD_SEGMENTS 1
MELODRIFT_API int32_t MR_SetMethod(int32_t method);

/* Writes key, TS and tempo into the pointers that are not null and returns
 * the note count, rests included. */
MELODRIFT_API int32_t MR_GetMelodyInfo(int32_t* key, int32_t* TS, int32_t* tempo);

/* Copies the melody: note numbers (MR_REST for a rest) and lengths in ticks
 * of 192 per beat, each buffer with room for the note count. A key 0..11
 * other than the current one re-keys the melody first; -1 keeps it. With
 * both buffers null only the note count is returned. Returns the count. */
MELODRIFT_API int32_t MR_GetMelody(uint8_t* notes, uint16_t* lengths, int32_t key);

/* Pitch-correction events: offsets[k] semitones to add to the recorded voice
 * from ticks[k] on (192 per beat). With offsets null only counts. Returns
 * the number of events. */
MELODRIFT_API int32_t MR_GetPitchRevise(float* offsets, int32_t* ticks);

/* Appends the analysis block to the end of an existing file. Returns the
 * bytes written (block size + 4), 0 when the file cannot be opened, -1 when
 * writing fails (the file is cut back to its old length). */
MELODRIFT_API int32_t MR_SaveProject(const char* path);

/* Reads an analysis block at offset and rebuilds the melody from its note
 * records. Returns the stored block size + 4 (for a block size of 0 the
 * analyser is left as it was), 0 when the file cannot be opened or the block
 * is damaged or does not fit in the file (analyser unchanged). */
MELODRIFT_API int32_t MR_LoadProject(const char* path, int32_t offset, int32_t unused);

/* Writes the analysis block at offset of an existing file. Returns the bytes
 * written (block size + 4), 0 when the file cannot be opened, -1 when
 * writing fails. */
MELODRIFT_API int32_t MR_SaveAnalysis(const char* path, int32_t offset);

/* Reads an analysis block at offset. version (low 16 bits) 3 and above reads
 * note records; 2 or less reads the older layout and segments the stored
 * frame tracks again. Returns the stored block size, 0 when the file cannot
 * be opened or the block is damaged (analyser unchanged). */
MELODRIFT_API int32_t MR_LoadAnalysis(const char* path, int32_t offset, int32_t version);

/* Fills the analyser with the melody of a Standard MIDI File read by
 * libTunescan.so: source is the file path, selector the track (-1 the first
 * track with notes). Writes lead-in bars and bar count. Returns the number of
 * pitched notes, 0 on any failure (analyser unchanged). */
MELODRIFT_API int32_t MR_MidiAnalysis(const char* source, int32_t selector, int32_t* leadInBars,
                                      int32_t* barCount);

#ifdef __cplusplus
}
#endif

#endif
