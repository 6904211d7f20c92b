/*
 * Arrangix, the style composer: reads styles through the style store
 * (Patbank), asks the melody analyser (Tonalyze) for chords, sections and
 * fills, and renders accompaniments as format-1 Standard MIDI Files.
 *
 * Loaded by name ("Arrangix.dll" -> libArrangix.so). SM_Initialize loads
 * "Tonalyze.dll" and "Patbank.dll" itself and must come first.
 *
 * Ownership: the caller owns every array and buffer; sizes travel in and out
 * through pointers; nothing returned here needs freeing. Nothing is thrown
 * across these functions.
 *
 * Threads: one process-wide state without locks; call from one thread at a
 * time.
 *
 * Time: 192 ticks per quarter note. Segment codes: below 256 main patterns,
 * 256..271 intro or interlude with id code-256, 272 and above outro with id
 * code-272.
 */
#ifndef ARRANGIX_H
#define ARRANGIX_H

#include <stddef.h>
#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Size of a style info record as the style store fills it. */
#define SM_STYLE_INFO_SIZE 1800

/* Result codes besides 0 (success) and -1 (style not loadable, analysis
 * failed, not initialised). */
#define SM_E_FORMAT ((int32_t)(-2147483647 - 1)) /* 0x80000000 style data malformed */
#define SM_E_BUFFER ((int32_t)-2147483646)       /* 0x80000002 output buffer too small */
#define SM_E_METRE ((int32_t)-2147483644)        /* 0x80000004 metre not 0..3 / bad event */
#define SM_E_DERIVE ((int32_t)-2147483643)       /* 0x80000005 group cannot be derived */
#define SM_E_SEGMENT ((int32_t)-2147483639)      /* 0x80000009 block's style or segment missing */
#define SM_E_RECORD ((int32_t)-2147483638)       /* 0x8000000A a record refers past the counts or
                                                    holds an impossible chord code */
#define SM_E_PARAMS ((int32_t)-2)                /* a count of zero or below, or a null pointer */

/* Chord: code = root pitch class (0..11) * 4 + type (0 major, 1 minor,
 * 2 dominant seventh, 3 minor seventh); wholeBar 1 for a whole bar, any
 * other value for half a bar. */
typedef struct SM_Chord {
    int32_t code;
    int32_t wholeBar;
} SM_Chord;

/* Melody section: index of its last bar (inclusive) and main pattern id. */
typedef struct SM_Section {
    int32_t lastBar;
    int32_t pattern;
} SM_Section;

/* Fill: bar index over the whole plan and fill segment id. */
typedef struct SM_Fill {
    int32_t bar;
    int32_t variant;
} SM_Fill;

/* Song-form entry: below 256 a section index; 256..271 intro/interlude id
 * ref-256; 272 and above outro id ref-272. pattern: main pattern id for a
 * section entry. */
typedef struct SM_Stage {
    int32_t ref;
    int32_t pattern;
} SM_Stage;

MELODRIFT_STATIC_ASSERT(sizeof(SM_Chord) == 8, "SM_Chord is two int32");
MELODRIFT_STATIC_ASSERT(sizeof(SM_Section) == 8, "SM_Section is two int32");
MELODRIFT_STATIC_ASSERT(sizeof(SM_Fill) == 8, "SM_Fill is two int32");
MELODRIFT_STATIC_ASSERT(sizeof(SM_Stage) == 8, "SM_Stage is two int32");
MELODRIFT_STATIC_ASSERT(offsetof(SM_Chord, wholeBar) == 4, "wholeBar follows code");
MELODRIFT_STATIC_ASSERT(offsetof(SM_Section, pattern) == 4, "pattern follows lastBar");
MELODRIFT_STATIC_ASSERT(offsetof(SM_Fill, variant) == 4, "variant follows bar");
MELODRIFT_STATIC_ASSERT(offsetof(SM_Stage, pattern) == 4, "pattern follows ref");

/* Binds Tonalyze and Patbank. 0, or -1 when either cannot be bound. */
MELODRIFT_API int32_t SM_Initialize(void);

/* Frees the caches, releases Tonalyze's analysis, unloads Patbank. 0. */
MELODRIFT_API int32_t SM_Release(void);

/* 1 when the style can be decoded (decoding and caching it now if needed). */
MELODRIFT_API uint8_t SM_CheckStyle(int32_t styleId);

/* Copies the style's 1800-byte info record. 0, or -1 when there is none. */
MELODRIFT_API int32_t SM_GetStyleInfo(int32_t styleId, void* record);

/* Number of segments of the code's kind; -1 for a negative code or an
 * unknown style. */
MELODRIFT_API int32_t SM_GetSegmentNum(int32_t code, int32_t styleId);

/* Bars of the intro (256+id) or outro (272+id); 0 when it does not exist;
 * -1 for a code below 256 or an unknown style. */
MELODRIFT_API int32_t SM_GetSegmentBarNum(int32_t code, int32_t styleId);

/* Pass-throughs to the style store's catalogue: (selector, array, count
 * address); the store receives (selector, count address, array). -1 when
 * the store is not bound. */
MELODRIFT_API int32_t SM_GetStyleInfos(int32_t selector, void* array, int32_t* count);
MELODRIFT_API int32_t SM_GetStyleRecomInfos(int32_t selector, void* array, int32_t* count);

/* Remembers tempo (beats per minute) and hands the melody to Tonalyze
 * unchanged; returns its result, -1 when it is not bound. */
MELODRIFT_API int32_t SM_InputWavNotes(const uint8_t* pitches, const uint16_t* lengths, int32_t count,
                                       int32_t ticksPerQuarter, int32_t metre, int32_t tempo,
                                       int32_t* barCount);

/* Base accompaniment in one style. *size: in capacity, out bytes written.
 * When *sectionCount or *chordCount is 0 the melody is analysed and the
 * arrays and counts are filled (the arrays must hold one section and one
 * fill per bar and two chords per bar). 0 or an error code. */
MELODRIFT_API int32_t SM_BaseCompose(int32_t key, int32_t* size, uint8_t* buffer, int32_t* sectionCount,
                                     SM_Section* sections, int32_t* chordCount, SM_Chord* chords,
                                     int32_t* fillCount, SM_Fill* fills, int32_t styleId);

/* Accompaniment along a song form: one stage record and one style id per
 * entry. Counts of sections, chords and stages must be positive. */
MELODRIFT_API int32_t SM_Compose(int32_t key, int32_t* size, uint8_t* buffer, int32_t sectionCount,
                                 const SM_Section* sections, int32_t chordCount, const SM_Chord* chords,
                                 int32_t stageCount, const SM_Stage* stages, const int32_t* styleIds,
                                 int32_t fillCount, const SM_Fill* fills);

/* Demonstration of a style. type 0 main pattern, 1 intro, 2 outro (segmentId
 * names it); -1 or 3 and up the full demonstration. key 0..11 and mode
 * (0 major, 1 minor) are random when out of range. */
MELODRIFT_API int32_t SM_GetStyleDemo(int32_t* size, uint8_t* buffer, int32_t styleId, int32_t type,
                                      int32_t segmentId, int32_t key, int32_t mode);

/* The segment named by code (main position, 256+intro, 272+outro) in C
 * major, or every segment in turn when code is negative. */
MELODRIFT_API int32_t SM_GetStyleDemoData(int32_t* size, uint8_t* buffer, int32_t code, int32_t styleId);

/* Types for binding the entry points by name. */
typedef int32_t (*SM_InitializeFn)(void);
typedef int32_t (*SM_ReleaseFn)(void);
typedef uint8_t (*SM_CheckStyleFn)(int32_t);
typedef int32_t (*SM_GetStyleInfoFn)(int32_t, void*);
typedef int32_t (*SM_GetSegmentNumFn)(int32_t, int32_t);
typedef int32_t (*SM_GetSegmentBarNumFn)(int32_t, int32_t);
typedef int32_t (*SM_GetStyleInfosFn)(int32_t, void*, int32_t*);
typedef int32_t (*SM_GetStyleRecomInfosFn)(int32_t, void*, int32_t*);
typedef int32_t (*SM_InputWavNotesFn)(const uint8_t*, const uint16_t*, int32_t, int32_t, int32_t, int32_t,
                                      int32_t*);
typedef int32_t (*SM_BaseComposeFn)(int32_t, int32_t*, uint8_t*, int32_t*, SM_Section*, int32_t*, SM_Chord*,
                                    int32_t*, SM_Fill*, int32_t);
typedef int32_t (*SM_ComposeFn)(int32_t, int32_t*, uint8_t*, int32_t, const SM_Section*, int32_t,
                                const SM_Chord*, int32_t, const SM_Stage*, const int32_t*, int32_t,
                                const SM_Fill*);
typedef int32_t (*SM_GetStyleDemoFn)(int32_t*, uint8_t*, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*SM_GetStyleDemoDataFn)(int32_t*, uint8_t*, int32_t, int32_t);

#ifdef __cplusplus
}
#endif

#endif
