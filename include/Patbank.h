/*
 * Patbank: the style store. It owns the style files on disk: the shipped
 * library beside the libraries (<MDP_LibraryDir()>/styles/) and the styles the
 * online client downloads (<user data folder>/styles/). The style composer
 * reads styles through it; the online client stores what the service sends.
 *
 * Loaded by name ("Patbank.dll" -> libPatbank.so) and bound by export name;
 * the SF_*_fn typedefs below are the types to bind them with.
 *
 * Conventions: int32 results, 0 = success, -1 = failure unless noted. The
 * caller owns every buffer it passes. Nothing is thrown across the boundary.
 * Calls may come from any thread (the composer on the GUI thread, the online
 * client on its service thread): the store serialises them internally.
 * Every entry point opens the store on first use with the default folders,
 * so the composer may call without SF_Initialize.
 *
 * Plain C (C11); all records are little-endian, packed as laid out here.
 */
#ifndef MELODRIFT_PATBANK_H
#define MELODRIFT_PATBANK_H

#include <stddef.h>
#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SF_INFO_SIZE 1800     /* bytes of one style info record */
#define SF_INFO_REST 1780     /* value of `restSize`: bytes after offset 20 */
#define SF_DETAIL_OFFSET 20   /* the service's detail block starts here */
#define SF_RECOM_MAX 30       /* recommended styles the setup screen shows */
#define SF_DATA_MAX 1000000   /* largest inflated style data the composer takes */

/* `state` values of a style info record. */
#define SF_STATE_UNKNOWN 0    /* not a style (initial record) */
#define SF_STATE_ONLINE 2     /* listed by the service, data not on this machine */
#define SF_STATE_INSTALLED 4  /* data available: can be previewed and chosen */

/* `flags` bits. */
#define SF_FLAG_FEATURED 0x0001 /* offered on the setup screen when the service
                                   has recommended nothing of this metre */

/*
 * Style info record, 1800 bytes. The composer prepares it before SF_GetInfo
 * as: all 0 except restSize 1780, categories 0xFF, reserved -1 and voices all
 * 0xFF. Patbank overwrites the whole record on success.
 *
 * Offsets 0..15 are the service's style list entry (tagStyleListItem);
 * offsets 20..1799 are the service's detail block.
 */
typedef struct tagStyleInfo {
    int32_t id;               /*   0 style id, > 0 */
    int32_t revision;         /*   4 changes whenever the style's details or data change */
    int32_t dataSize;         /*   8 bytes of the compressed style data (0 unknown) */
    int32_t listReserved;     /*  12 0 */
    int32_t state;            /*  16 SF_STATE_* */
    int32_t restSize;         /*  20 SF_INFO_REST */
    int32_t metre;            /*  24 0 4/4, 1 3/4, 2 2/4, 3 6/8 */
    int16_t tempo;            /*  28 the style's own tempo, beats per minute */
    int16_t flags;            /*  30 SF_FLAG_* */
    int8_t categories[4];     /*  32 music type codes, -1 (0xFF) = none; [0] primary,
                                     [1] secondary; the list ends at the first -1 */
    uint8_t segmentCount[4];  /*  36 segments of kind 0 main, 1 fill, 2 intro, 3 outro */
    char author[40];          /*  40 UTF-8, NUL-terminated */
    char name[40];            /*  80 UTF-8, NUL-terminated; also the style's file name */
    char description[120];    /* 120 UTF-8, NUL-terminated */
    uint8_t introBars[8];     /* 240 bars of intro ids 0..7 */
    uint8_t outroBars[8];     /* 248 bars of outro ids 0..7 */
    int32_t reserved[2];      /* 256 -1, -1 */
    /* 264: instruments of each segment. Entry (kind k, j) is voices[8k + j]:
     * for main and fill segments j is the segment's position in its kind;
     * for intro and outro segments entries 2i and 2i+1 are segment i's
     * major-key and minor-key part groups. Each entry lists up to 16 distinct
     * (channel 0..15, program 0..127 or 0xFF none, track count) triples of
     * its tracks in the order they appear; unused triples are 0xFF. */
    uint8_t voices[32][16][3];
} tagStyleInfo;

/* One entry of the service's style list, 16 bytes. */
typedef struct tagStyleListItem {
    int32_t id;           /* style id, > 0 */
    int32_t revision;     /* the service's revision of the style */
    int32_t dataSize;     /* bytes of the compressed data on the service */
    int32_t reserved;     /* 0 */
} tagStyleListItem;

MELODRIFT_STATIC_ASSERT(sizeof(tagStyleInfo) == SF_INFO_SIZE, "style info record is 1800 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, state) == 16, "state at 16");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, restSize) == 20, "restSize at 20");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, metre) == 24, "metre at 24");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, tempo) == 28, "tempo at 28");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, flags) == 30, "flags at 30");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, categories) == 32, "categories at 32");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, segmentCount) == 36, "segment counts at 36");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, author) == 40, "author at 40");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, name) == 80, "name at 80");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, description) == 120, "description at 120");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, introBars) == 240, "intro bars at 240");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, outroBars) == 248, "outro bars at 248");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, reserved) == 256, "reserved at 256");
MELODRIFT_STATIC_ASSERT(offsetof(tagStyleInfo, voices) == 264, "voices at 264");
MELODRIFT_STATIC_ASSERT(sizeof(tagStyleListItem) == 16, "style list entry is 16 bytes");

/* ---- Used by the style composer ---------------------------------------- */

/* Fills *info (1800 bytes) with the style's record; info->id == styleId.
 * Returns 0, or -1 when the style is unknown (or styleId <= 0, info NULL);
 * *info is left as it was on failure. Styles only listed online are known
 * (state SF_STATE_ONLINE). */
MELODRIFT_API int32_t SF_GetInfo(int32_t styleId, tagStyleInfo* info);

/* Gives the style's data: one zlib stream (RFC 1950) of the "KRV" block.
 * Returns 0 with *data and *size set, or -1 when the style has no data here.
 * The memory stays Patbank's: valid until SF_Release, even when the style's
 * data is later replaced. */
MELODRIFT_API int32_t SF_GetData(int32_t styleId, const uint8_t** data, int32_t* size);

/* Selector of SF_GetTSInfos: a metre code, optionally with category boxes.
 * Bits 0..7: metre 0..3, or 0xFF for every metre. Bits 8..17: category mask
 * (0 = no filter); box j (0..8) takes styles whose primary or secondary
 * category is j, box 9 those whose primary or secondary category is 9 or
 * more. A plain metre code is a valid selector; -1 means every style. */
#define SF_SELECT(metre, categoryMask) ((int32_t)(((uint32_t)(categoryMask) & 0x3FFu) << 8 | ((uint32_t)(metre) & 0xFFu)))
#define SF_ALL_METRES 0xFF

/* Lists the styles of a selector (see SF_SELECT), installed and online-only,
 * in library order: shipped styles by id, then the others by id.
 * count is in/out. With infos NULL, *count receives the number of styles.
 * Otherwise *count is the capacity of infos (records) on entry and the number
 * written on return. Returns 0, or -1 for a bad selector or NULL count. */
MELODRIFT_API int32_t SF_GetTSInfos(int32_t metre, int32_t* count, tagStyleInfo* infos);

/* Recommended installed styles of a metre (0..3) for the setup screen: those
 * of the service's recommended list in its order; when none of them is of this
 * metre and installed, the featured styles (SF_FLAG_FEATURED) instead, then
 * the other installed styles, so a fresh install still offers some. At most
 * SF_RECOM_MAX. count is in/out as for SF_GetTSInfos, except that with an
 * array a *count of 0 or less on entry stands for an array of SF_RECOM_MAX
 * records (the setup screen's, which treats count as output only).
 * Returns 0 or -1. */
MELODRIFT_API int32_t SF_GetRecomInfos(int32_t metre, int32_t* count, tagStyleInfo* infos);

/* ---- Used by the online client, in this order -------------------------- */

/* Opens the store. edition: minor version of the program (kept; edition 4
 * keeps one account's style list, see SF_UpdateIDlist). folder: the user data
 * folder; downloaded styles live in <folder>/styles. NULL or "" means
 * MDP_UserDataDir(). Returns 0, or -1 when the folder cannot be created. */
MELODRIFT_API int32_t SF_Initialize(int32_t edition, const char* folder);

/* Stamp of the last complete style list update (0 when never). */
MELODRIFT_API int32_t SF_GetUpdateDate(void);

/* Merges the service's style list into the store. Writes into outIds (room
 * for count ids) the ids whose details must be fetched (new, or revision
 * changed, or details missing) and their number into *outCount.
 * (0, NULL, &n, NULL) says the account has no styles: the online list is
 * emptied (installed styles stay) and n = 0. Returns 0, or -1 on bad
 * arguments or when the store cannot be written. */
MELODRIFT_API int32_t SF_UpdateIDlist(int32_t count, const tagStyleListItem* items,
                                      int32_t* outCount, int32_t* outIds);

/* Stores a style's details. info is a full 1800-byte record whose bytes from
 * offset 20 are the service's detail block (bytes 20..1799 of the style's
 * info record as the style compiler wrote it, so restSize is 1780); bytes
 * 0..19 are not read (the id comes from styleId, the list fields from the
 * stored list, the state from what is installed). The record is refused (-1)
 * when restSize is not 1780, the metre is not 0..3 or a text is not
 * NUL-terminated within its field. Returns 0 or -1. */
MELODRIFT_API int32_t SF_UpdateDetail(int32_t styleId, const tagStyleInfo* info);

/* Stores the stamp of a complete style list update. Returns 0 or -1. */
MELODRIFT_API int32_t SF_SetUpdateDate(int32_t stamp);

/* Replaces the recommended list with count ids (duplicates and ids <= 0 are
 * dropped). Writes into outIds (room for count ids) the recommended ids whose
 * data must be downloaded and their number into *outCount. Returns 0 or -1. */
MELODRIFT_API int32_t SF_UpdateRecomlist(int32_t count, const int32_t* ids,
                                         int32_t* outCount, int32_t* outIds);

/* Stores a downloaded style's data (the zlib stream SF_GetData returns). The
 * stream is checked first: it must inflate completely to at most SF_DATA_MAX
 * bytes holding a "KRV" block whose body fits. Returns 0, or -1 when the data
 * is refused or cannot be written. */
MELODRIFT_API int32_t SF_UpdateData(int32_t styleId, int32_t size, const void* data);

/* *online: styles the service lists; *local: installed styles (shipped or
 * downloaded). Either pointer may be NULL. Returns 0. */
MELODRIFT_API int32_t SF_GetStyleNums(int32_t* online, int32_t* local);

/* Closes the store and frees every buffer SF_GetData gave out. The next call
 * of any entry point opens it again. Returns 0. */
MELODRIFT_API int32_t SF_Release(void);

/* ---- Types to bind the entry points with ------------------------------- */

typedef int32_t (*SF_GetInfo_fn)(int32_t, tagStyleInfo*);
typedef int32_t (*SF_GetData_fn)(int32_t, const uint8_t**, int32_t*);
typedef int32_t (*SF_GetTSInfos_fn)(int32_t, int32_t*, tagStyleInfo*);
typedef int32_t (*SF_GetRecomInfos_fn)(int32_t, int32_t*, tagStyleInfo*);
typedef int32_t (*SF_Initialize_fn)(int32_t, const char*);
typedef int32_t (*SF_GetUpdateDate_fn)(void);
typedef int32_t (*SF_UpdateIDlist_fn)(int32_t, const tagStyleListItem*, int32_t*, int32_t*);
typedef int32_t (*SF_UpdateDetail_fn)(int32_t, const tagStyleInfo*);
typedef int32_t (*SF_SetUpdateDate_fn)(int32_t);
typedef int32_t (*SF_UpdateRecomlist_fn)(int32_t, const int32_t*, int32_t*, int32_t*);
typedef int32_t (*SF_UpdateData_fn)(int32_t, int32_t, const void*);
typedef int32_t (*SF_GetStyleNums_fn)(int32_t*, int32_t*);
typedef int32_t (*SF_Release_fn)(void);

#ifdef __cplusplus
}
#endif

#endif
