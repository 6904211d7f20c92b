/*
 * Tunescan, the MIDI melody reader: the notes of one track of a Standard
 * MIDI File (format 0 or 1, any division) as pitches and lengths in ticks of
 * 192 per quarter note. Stateless; any thread.
 */
#ifndef MELODRIFT_TUNESCAN_H
#define MELODRIFT_TUNESCAN_H

#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the Tunescan functions. */
#define SM_OK 0
#define SM_ERR_ARGUMENT (-1)  /* a null pointer or a capacity below 1 */
#define SM_ERR_OPEN (-2)      /* the file cannot be read */
#define SM_ERR_FORMAT (-3)    /* not a Standard MIDI File, or damaged */
#define SM_ERR_NO_TRACK (-4)  /* the selected track does not exist */
#define SM_ERR_NO_NOTES (-5)  /* the selected track (or every track) has no notes */

/* Pitch of a rest in the pitch array. */
#define SM_REST (-1)

/* Reads the melody of one track. source: file path (UTF-8); selector: track
 * index from 0 in file order, -1 for the first track with notes. Writes the
 * metre code (0 4/4, 1 3/4, 2 2/4, 3 6/8; other metres give 0) and the tempo
 * in beats per minute (rounded; 120 when the file sets none). pitches and
 * lengths receive *count entries: MIDI note numbers or SM_REST, lengths in
 * ticks of 192 per quarter note. *count holds the capacity on entry and the
 * number of entries on return; a longer melody is cut at the capacity.
 * Overlapping notes are made monophonic: a later note ends the one before,
 * and of notes starting together the highest is kept. Returns SM_OK or one
 * of the SM_ERR codes (outputs untouched then). */
MELODRIFT_API int32_t SM_RetriveMelody(const char* source, int32_t selector, int32_t* TS, int32_t* tempo,
                                       int32_t* pitches, int32_t* lengths, int32_t* count);

/* Lists the tracks of a MIDI file: noteCounts[i] receives the number of
 * notes of track i for i below *count; *count holds the capacity on entry and
 * the number of tracks in the file on return. Returns SM_OK or an SM_ERR
 * code. Lets a caller pick the selector for SM_RetriveMelody. */
MELODRIFT_API int32_t SM_GetMelodyFile(const char* source, int32_t* noteCounts, int32_t* count);

#ifdef __cplusplus
}
#endif

#endif
