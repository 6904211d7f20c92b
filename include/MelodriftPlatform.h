/*
 * The portability layer every Melodrift deliverable links: loading libraries
 * by name, the libraries' debug-output channel, window messages and the
 * user's data folder. Plain C so that any library may use it.
 */
#ifndef MELODRIFT_PLATFORM_H
#define MELODRIFT_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Libraries loaded by name ------------------------------------------ */

/* Maps a library name as the program knows it ("Tonalyze.dll" or "Tonalyze")
 * to this platform's file name ("libTonalyze.so"). Writes at most cap bytes
 * including the terminator; returns the length needed, excluding it. */
MELODRIFT_EXPORT size_t MDP_LibraryFileName(const char* name, char* out, size_t cap);

/* Loads a library by name: first from the folder that holds the Melodrift
 * libraries, then the running program's folder, then the normal search path.
 * Returns an opaque handle or NULL; on failure error (if given) receives a
 * readable reason (errno and the loader's text). Any thread. */
MELODRIFT_EXPORT void* MDP_LoadLibrary(const char* name, char* error, size_t errorCap);

/* Resolves an export by its exact name; NULL when it is missing. */
MELODRIFT_EXPORT void* MDP_GetSymbol(void* library, const char* symbol);

/* Unloads a library loaded by MDP_LoadLibrary; NULL is ignored. */
MELODRIFT_EXPORT void MDP_FreeLibrary(void* library);

/* Folder of the Melodrift libraries (no trailing slash), e.g. build/bin. */
MELODRIFT_EXPORT const char* MDP_LibraryDir(void);

/* Folder of the read-only data (styles/, Fonts/, samples/, Help/, header/;
 * no trailing slash): the library folder in a build, <prefix>/share/melodrift
 * in an install whose libraries live in <prefix>/lib/melodrift. */
MELODRIFT_EXPORT const char* MDP_DataDir(void);

/* ---- Debug-output channel ---------------------------------------------- */

/* Longest line the channel carries, prefix included. */
#define MDP_DEBUG_LINE_MAX 10240

/* Formats one log line, prefixes "[HH:MM:SS] " in local time, cuts it to
 * MDP_DEBUG_LINE_MAX characters and hands it to the sink. Lines also go to
 * standard error when MELODRIFT_DEBUG is set. Any thread. */
MELODRIFT_EXPORT void MDP_DebugOutput(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

typedef void (*MDP_DebugSink)(const char* line, void* context);

/* Installs a sink that receives every line (tests read the log this way);
 * NULL removes it. */
MELODRIFT_EXPORT void MDP_SetDebugSink(MDP_DebugSink sink, void* context);

/* ---- Window messages --------------------------------------------------- */

/* A window handle crossing a library boundary is opaque. */
typedef void* MDP_Window;

typedef int (*MDP_PostFn)(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context);
typedef intptr_t (*MDP_SendFn)(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void* context);

/* The program registers how messages reach its windows: post queues an event
 * for the window's thread, send delivers it and waits for the result. NULL
 * functions remove the dispatcher. */
MELODRIFT_EXPORT void MDP_SetMessageDispatcher(MDP_PostFn post, MDP_SendFn send, void* context);

/* Queues a message for a window. Returns 1 when it was queued, 0 when there
 * is no dispatcher or no window. Any thread. */
MELODRIFT_EXPORT int MDP_PostMessage(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam);

/* Delivers a message and returns the window's answer; 0 without a dispatcher. */
MELODRIFT_EXPORT intptr_t MDP_SendMessage(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam);

/* ---- Folders ----------------------------------------------------------- */

/* The folder for everything a user's run writes: $MELODRIFT_HOME, else
 * $XDG_DATA_HOME/Melodrift, else ~/.local/share/Melodrift. Created on demand.
 * Writes at most cap bytes; returns the length needed. */
MELODRIFT_EXPORT size_t MDP_UserDataDir(char* out, size_t cap);

#ifdef __cplusplus
}
#endif

#endif
