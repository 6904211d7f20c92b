/*
 * Sonobox, the audio engine: records the sung melody and has it recognised,
 * renders the composer's MIDI files with a SoundFont timbre library, mixes,
 * adds voice effects, plays, exports and stores its block of a project file.
 *
 * Loaded by name ("Sonobox.dll" -> libSonobox.so) by the program. All texts
 * are 8-bit (UTF-8 on Linux). 0 is success unless a function says otherwise.
 * Nothing is thrown across these functions; no function returns memory for
 * the caller to free.
 *
 * Streams: 0 output (speaker), 1 microphone, 2 melody take, 3 base
 * accompaniment, 4 full accompaniment, 5 combined voice (final take).
 *
 * Time: positions are bars as doubles (bar 1.5 is the middle of the second
 * bar), at the tempo and metre last given to MM_SetTempo and
 * MM_SetTimeSignature. Metre codes: 0 4/4, 1 3/4, 2 2/4, 3 6/8.
 *
 * Threads: call from one thread at a time (the GUI thread, or the worker that
 * runs MM_Save, MM_SaveProject and MM_LoadProject). MM_CancelSave may be
 * called from another thread while MM_Save runs. Messages reach windows
 * through MDP_PostMessage from the engine's own threads.
 *
 * Without sound hardware the engine uses its file-backed device: a device
 * name (or the environment variable MELODRIFT_AUDIO) of the form
 *     file:<input.wav>[;out=<output.wav>][;realtime]
 * takes the microphone from a WAV file and writes the speaker to a WAV file
 * (or discards it without out=). Without ;realtime the file device runs as
 * fast as it can, which is what tests and the command-line tool want.
 * MELODRIFT_AUDIO=null gives a device with silence in and nothing out.
 */
#ifndef SONOBOX_H
#define SONOBOX_H

#include <stddef.h>
#include <stdint.h>

#include "MelodriftPlatform.h"
#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Messages the engine posts ----------------------------------------- */

/* Posted to the window of MM_Play / MM_Record when playing or recording ends
 * by itself (end of the material, end of a demo, device lost). wParam 0, or
 * MM_STOPPED_DEVICE_LOST when the device stopped delivering; a take is then
 * kept and analysed as far as it came, as after MM_Stop. */
#ifndef UM_ENGINE_STOPPED
#define UM_ENGINE_STOPPED 0x0501
#endif
#define MM_STOPPED_DEVICE_LOST 1
/* Posted to the window of MM_Record when a take has been analysed.
 * wParam: recognised notes (low 16 bits) | latency in ms (high 16 bits).
 * lParam: lead-in bars (low 16 bits) | valid bars (high 16 bits). */
#ifndef UM_TAKE_RECOGNISED
#define UM_TAKE_RECOGNISED 0x0509
#endif
/* Posted when automatic level control changes the recording volume;
 * wParam is the new volume 0..100. */
#ifndef UM_RECORD_VOLUME
#define UM_RECORD_VOLUME 0x050A
#endif
/* Progress of MM_Save and of the project calls, posted to their window. */
#ifndef UM_PROGRESS_FAILED
#define UM_PROGRESS_FAILED 0x0505 /* wParam: error code, not 0 */
#endif
#ifndef UM_PROGRESS_STEP
#define UM_PROGRESS_STEP 0x0506 /* wParam: per cent 0..100 */
#endif
#ifndef UM_PROGRESS_DONE
#define UM_PROGRESS_DONE 0x0507
#endif

/* ---- Result codes ------------------------------------------------------ */

/* Device failures of MM_Record and MM_RecordTest (the screens map these
 * numbers to their messages). */
#define MM_ERR_NOMEM 1
#define MM_ERR_BADDRIVER 3
#define MM_ERR_BADFORMAT 6
#define MM_ERR_NODEVICE 23
#define MM_ERR_CANTOPEN 37
#define MM_ERR_BUSY 46
/* Other failures. */
#define MM_ERR_FAIL (-1)          /* bad argument, nothing loaded, no engine */
#define MM_ERR_BUSY_ENGINE (-2)   /* already recording or exporting */
#define MM_ERR_NOTHING (-3)       /* no audio to play, export or combine */
#define MM_ERR_IO (-4)            /* a file could not be read or written */
#define MM_ERR_FORMAT (-5)        /* a file or block is malformed */
#define MM_ERR_CANCELLED (-6)     /* MM_CancelSave stopped an export */
#define MM_ERR_UNSUPPORTED (-7)   /* the entry point or format is not available */

/* ---- Modes ------------------------------------------------------------- */

/* MM_Record modes. */
#define MM_RECORD_MELODY 0        /* melody take into stream 2 */
#define MM_RECORD_MELODY_ACC 1    /* melody take with stream 3 playing under it */
#define MM_RECORD_FINAL 2         /* final take into stream 5 over stream 4 */

/* MM_Play modes. */
#define MM_PLAY_TAKE 4            /* melody take (stream 2) */
#define MM_PLAY_BASE 5            /* base accompaniment (3) with the take (2) */
#define MM_PLAY_SONG 10           /* full accompaniment (4) with the voice (5) */
#define MM_PLAY_TEMPO 16          /* click track at the current tempo and metre, until stopped */
#define MM_PLAY_FX_PREVIEW 0x204  /* the voice through the current effects */

/* MM_Save file types and track bits. */
#define MM_FILE_MP3 0
#define MM_FILE_WAV 1
#define MM_FILE_MIDI 2
#define MM_TRACK_VOICE 1          /* the sung voice (stream 5, else 2) */
#define MM_TRACK_ACCOMPANIMENT 2  /* the accompaniment (stream 4, else 3) */

/* Effect ids of MM_SetFxPreset and their states (0 is always off). */
#define MM_FX_ECHO 0        /* 0..1 */
#define MM_FX_EQ 1          /* 0..3 presence lift */
#define MM_FX_COMPRESSOR 2  /* 0..3 */
#define MM_FX_REVERB 3      /* 0..3 small, medium, large */
#define MM_FX_BALANCE 4     /* 0..3 low/high balance (tone) */
#define MM_FX_FLANGER 5     /* 0..3 */
#define MM_FX_SPECIAL 6     /* 0..3 wobble, underwater, flying */
#define MM_FX_SIMULATE 7    /* 0..3 loudspeaker, telephone, handset */
#define MM_FX_ROTATE 8      /* 0..3 wind tunnel, surround, tremolo */
#define MM_FX_SHIFT 256     /* 0..2 octave up, octave down */
#define MM_FX_TUNE 257      /* 0..1 pitch correction toward the recognised notes */

/* ---- Records ----------------------------------------------------------- */

/* One timbre library (SoundFont file). 720 bytes. */
typedef struct FONTINFO {
    char path[256];  /* full path of the file */
    char name[80];   /* display name; the file name when the font has none */
    char info1[128]; /* the font's engine/creator text */
    char info2[256]; /* the font's copyright or comment text */
} FONTINFO;

/* One capture device. 264 bytes. */
typedef struct MM_RecordDeviceInfo {
    int32_t id;      /* stable while the engine lives; pass to the other calls */
    char name[256];
    uint32_t flags;  /* MM_DEVICE_DEFAULT */
} MM_RecordDeviceInfo;
#define MM_DEVICE_DEFAULT 0x2u

/* One input of a capture device. 260 bytes. */
typedef struct MM_RecordInputInfo {
    char name[256];
    uint32_t flags;  /* MM_INPUT_NOT_DEFAULT */
} MM_RecordInputInfo;
#define MM_INPUT_NOT_DEFAULT 0x1u

/* One stretch of the song form for MM_CombineSong. 16 bytes. */
typedef struct MM_VoiceSegment {
    double sourceStart; /* bar in the melody take; -1 for a stretch without voice */
    double length;      /* length in bars */
} MM_VoiceSegment;

MELODRIFT_STATIC_ASSERT(sizeof(FONTINFO) == 720, "FONTINFO is 720 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(FONTINFO, name) == 256, "name follows path");
MELODRIFT_STATIC_ASSERT(offsetof(FONTINFO, info1) == 336, "info1 follows name");
MELODRIFT_STATIC_ASSERT(offsetof(FONTINFO, info2) == 464, "info2 follows info1");
MELODRIFT_STATIC_ASSERT(sizeof(MM_RecordDeviceInfo) == 264, "device record is 264 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(MM_RecordDeviceInfo, name) == 4, "name follows id");
MELODRIFT_STATIC_ASSERT(offsetof(MM_RecordDeviceInfo, flags) == 260, "flags follow name");
MELODRIFT_STATIC_ASSERT(sizeof(MM_RecordInputInfo) == 260, "input record is 260 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(MM_RecordInputInfo, flags) == 256, "flags follow name");
MELODRIFT_STATIC_ASSERT(sizeof(MM_VoiceSegment) == 16, "voice segment is two doubles");
MELODRIFT_STATIC_ASSERT(offsetof(MM_VoiceSegment, length) == 8, "length follows start");

/* ---- Lifecycle --------------------------------------------------------- */

/* Creates the engine: the melody recogniser, the synthesiser with the
 * "Pop default" font from <engineDir>/Fonts, the audio device. mainWindow
 * receives messages that belong to no other window. 0, else -1. */
MELODRIFT_API int32_t MM_InitialObjects(MDP_Window mainWindow, const char* engineDir);
/* Stops everything and frees the engine. 0; -1 when there was none. */
MELODRIFT_API int32_t MM_DestroyObjects(void);

/* ---- Timbre libraries -------------------------------------------------- */

/* Reads a SoundFont's texts without loading its samples. 0 when the file is
 * a usable font (the buffers are filled, NUL-terminated, cut to fit), else -1. */
MELODRIFT_API int32_t MM_GetFontInfo(const char* path, char name[80], char info1[128], char info2[256]);
/* Loads the font of font->path and renders with it from now on; the loaded
 * accompaniments are rendered again. 0, else -1 (the previous font stays). */
MELODRIFT_API int32_t MM_SetFont(const FONTINFO* font);

/* ---- Recording --------------------------------------------------------- */

/* Starts a take at bar start (mode 0/1: a count-in bar comes first when start
 * is 0). punchIn/punchOut (bars) limit what replaces the existing take: -1
 * (modes 0, 1) or 0 (mode 2) for an open end. Returns 0 while recording runs,
 * an MM_ERR_* device code, or a negative failure. */
MELODRIFT_API int32_t MM_Record(MDP_Window window, double start, double punchIn, double punchOut, int32_t mode);

/* Chooses the capture device. *deviceId, *input and *volume (0..1) are in/out:
 * -1 or an unknown id selects the default device, and the values in use are
 * written back; a negative *volume keeps the current volume. deviceName may
 * name the device when its id changed (or be "file:..."). 0, else -1. */
MELODRIFT_API int32_t MM_SetRecordDevice(int32_t* deviceId, const char* deviceName, int32_t* input, float* volume);
/* Fills at most capacity device records; returns the count written. */
MELODRIFT_API int32_t MM_GetRecordDeviceInfo(int32_t capacity, MM_RecordDeviceInfo* devices);
/* Fills at most capacity input records of a device; returns the count
 * written, -1 for an unknown device. */
MELODRIFT_API int32_t MM_GetRecordInputInfo(int32_t deviceId, int32_t capacity, MM_RecordInputInfo* inputs);
/* Opens the device for a live input test (level, latency, automatic level,
 * monitoring) until MM_Stop. 0, or an MM_ERR_* device code. */
MELODRIFT_API int32_t MM_RecordTest(int32_t deviceId, int32_t input, MDP_Window window);
/* Automatic recording level on (1) or off (0). */
MELODRIFT_API int32_t MM_SetRecordAutoAdjust(int32_t on);
/* Monitoring (the input heard on the output) on (1) or off (0). */
MELODRIFT_API int32_t MM_SetRecordMoniter(int32_t on);
/* Clip protection of the input (a limiter before the take) on or off. */
MELODRIFT_API int32_t MM_SetRecordProtect(int32_t on);
/* Input latency of the open device in milliseconds; 0 when none is open. */
MELODRIFT_API double MM_GetLatency(void);

/* ---- The recognised melody --------------------------------------------- */

/* With key null: the note count (rests included), 0 with no melody. With key
 * set: writes the recognised key 0..11 (-1 undecided) and returns it too. */
MELODRIFT_API int32_t MM_GetMelodyInfo(int32_t* key, int32_t reserved1, int32_t reserved2);
/* Copies the notes: pitches (MIDI number, -128 rest) and lengths (ticks at 192
 * a quarter note), each with room for the count. key -1 or the recognised key
 * copies as recognised; another key snaps the melody to that key's scale.
 * Returns the note count, -1 without a melody. */
MELODRIFT_API int32_t MM_GetMelody(int8_t* pitches, uint16_t* lengths, int32_t key);

/* Loads a WAV file as the melody take and recognises it (as a take ends);
 * posts UM_TAKE_RECOGNISED to window. Returns the pitched note count, or a
 * negative failure. */
MELODRIFT_API int32_t MM_LoadAudio(MDP_Window window, const char* path);
/* Takes the melody of a Standard MIDI File (track -1: the first with notes)
 * as the recognised melody. Returns the pitched note count, or -1. */
MELODRIFT_API int32_t MM_LoadMidiMelody(MDP_Window window, const char* path, int32_t track);

/* ---- Accompaniment, playback, live keyboard --------------------------- */

/* Render a Standard MIDI File into stream 3 (base) or 4 (full). The bytes are
 * copied. 0, else negative. */
MELODRIFT_API int32_t MM_LoadBaseCompose(const uint8_t* midi, int32_t size);
MELODRIFT_API int32_t MM_LoadCompose(const uint8_t* midi, int32_t size);

/* Plays from bar start in a mode (MM_PLAY_*). 0 when playing, else negative. */
MELODRIFT_API int32_t MM_Play(MDP_Window window, double start, int32_t mode);
/* Stops playing, recording, the input test and demos. Always 0. */
MELODRIFT_API int32_t MM_Stop(void);
/* Plays a MIDI file once at a tempo (0 keeps the file's). UM_ENGINE_STOPPED
 * goes to the window of the last MM_Play, else the main window. */
MELODRIFT_API int32_t MM_PlayStyleDemo(const uint8_t* midi, int32_t size, int32_t tempo);

/* The live keyboard: a synthesiser voice on its own stream. */
MELODRIFT_API int32_t MM_CreateRealTimeMIDIStream(int32_t reserved);
MELODRIFT_API int32_t MM_FreeRealTimeMIDIStream(int32_t reserved);
MELODRIFT_API int32_t MM_RealTimeMIDINoteOn(int32_t note);
MELODRIFT_API int32_t MM_RealTimeMIDINoteOff(int32_t note);

/* Tempo 20..300 beats a minute and metre code 0..3 for clicks, bar positions
 * and the analysis of the next take. 0, -1 when out of range. */
MELODRIFT_API int32_t MM_SetTempo(int32_t tempo);
MELODRIFT_API int32_t MM_SetTimeSignature(int32_t metre);

/* While the engine records or plays: the stream's peak level over the last
 * clock tick, largest positive sample in the low 16 bits and largest negative
 * magnitude in the high 16 bits (0..32767 each). When idle: the stream's
 * volume 0..100. -1 for a stream that holds no audio or an unknown stream. */
MELODRIFT_API int32_t MM_GetStreamVolume(int32_t stream);
/* Volume 0..1 (clamped) of a stream; stream 1 is the recording volume. */
MELODRIFT_API int32_t MM_SetStreamVolume(int32_t stream, float volume);
/* Length in ms of the audio a stream holds (0 none, -1 unknown stream). */
MELODRIFT_API int32_t MM_GetStreamLength(int32_t stream);
/* Cuts or pads (with silence) a stream to ms. 0, else -1. */
MELODRIFT_API int32_t MM_SetStreamLength(int32_t stream, int32_t ms);

/* Voice effects on streams 2 and 5 (MM_FX_* ids). A running effect preview
 * (MM_PLAY_FX_PREVIEW) continues with the change. 0, -1 for an unknown id or
 * a state outside the preset's choices. */
MELODRIFT_API int32_t MM_SetFxPreset(int32_t effectId, int32_t state);

/* Lays the melody take (stream 2) along the song form into stream 5: each
 * segment copies length bars from sourceStart, or silence for -1. style is
 * not needed. *projectValue (may be null) is the value MM_LoadProject
 * returned: it is set to 0, since a final take restored from the project has
 * now been replaced. 0, else negative. */
MELODRIFT_API int32_t MM_CombineSong(int32_t style, int32_t count, const MM_VoiceSegment* segments, int32_t* projectValue);

/* ---- Export ------------------------------------------------------------ */

/* Writes the mix of the chosen tracks (MM_TRACK_* bits; 0 means both) as MP3,
 * WAV or (type 2) the loaded MIDI file. Runs to the end on the calling thread,
 * posting UM_PROGRESS_STEP, then UM_PROGRESS_DONE or UM_PROGRESS_FAILED, to
 * window. Writes a temporary file beside path and renames it, so path never
 * holds a half-written file. *result (may be null) receives the bytes written
 * or the failure. 0, else an MM_ERR_* failure. */
MELODRIFT_API int32_t MM_Save(MDP_Window window, int32_t tracks, const char* path, int32_t fileType, int32_t* result);
/* Makes a running MM_Save stop soon, remove its temporary file and return
 * MM_ERR_CANCELLED (nothing more is posted). Any thread. */
MELODRIFT_API int32_t MM_CancelSave(void);

/* ---- Project block ----------------------------------------------------- */

/* Appends the engine block (takes, levels, settings, the recogniser's block)
 * to an existing file. Returns the bytes appended (> 0), else negative. */
MELODRIFT_API int32_t MM_SaveProject(MDP_Window window, const char* path);
/* Reads the engine block that starts at offset. version is the project's
 * version word, style its style. Returns 1 when a final take was restored,
 * 0 when not, negative when the block is missing or malformed (the engine is
 * then left empty). */
MELODRIFT_API int32_t MM_LoadProject(MDP_Window window, const char* path, int32_t offset, uint32_t version, int32_t style);

/* Blocks of version-1 projects: compressed audio (any format the audio
 * library reads) of size bytes at offset as the melody take (MM_LoadAudioMP3)
 * or the final take (MM_LoadSongMP3); the recogniser's analysis block at
 * offset (MM_LoadAnalysis, version = the project's version word). Each returns
 * the bytes it consumed, or a negative failure. A take of size 0 means the
 * project has none: the stream is emptied and 0 returned. */
MELODRIFT_API int32_t MM_LoadAudioMP3(const char* path, int32_t offset, int32_t size);
MELODRIFT_API int32_t MM_LoadAnalysis(const char* path, int32_t offset, uint32_t version);
MELODRIFT_API int32_t MM_LoadSongMP3(const char* path, int32_t offset, int32_t size);

/* Not available in this engine: returns MM_ERR_UNSUPPORTED. */
MELODRIFT_API int32_t MM_ActiveAPR(int32_t on);

#ifdef __cplusplus
}
#endif

#endif
