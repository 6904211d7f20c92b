/*
 * Glyphmint: encodes a text as a QR code symbol.
 *
 * Loaded by name ("Glyphmint.dll" -> libGlyphmint.so) and optional: callers
 * test the bound pointer before calling. Plain C; any thread.
 */
#ifndef MELODRIFT_GLYPHMINT_H
#define MELODRIFT_GLYPHMINT_H

#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Largest buffer a caller needs: the biggest symbol is 177 x 177 modules. */
#define QR_MODULES_MAX (177 * 177)

/*
 * Encodes text (8-bit, NUL-terminated) with medium error correction in the
 * smallest symbol that holds it. Writes n * n bytes row by row into modules,
 * bit 0 set for a dark module, and returns n, the side length in modules.
 * Returns 0 (and writes nothing) when text or modules is NULL, the text is
 * empty or cannot be encoded, or the symbol needs more than capacity bytes.
 */
MELODRIFT_API int32_t QR_Encode(const char* text, uint8_t* modules, int32_t capacity);

typedef int32_t (*QR_Encode_fn)(const char*, uint8_t*, int32_t);

#ifdef __cplusplus
}
#endif

#endif
