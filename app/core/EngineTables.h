#pragma once

// The entry points of the libraries the program loads by name, one table per
// library. Everything in the core calls the engines through these tables, so
// tests can install tables of their own functions.

#include <cstdint>

#include "MelodriftMessages.h"
#include "Arrangix.h"
#include "Glyphmint.h"
#include "Sonobox.h"
#include "Tidelink.h"

namespace melodrift {

#define MELODRIFT_SONOBOX_ENTRIES(X)                                                                       \
    X(MM_InitialObjects) X(MM_DestroyObjects) X(MM_GetFontInfo) X(MM_SetFont) X(MM_Record)                \
    X(MM_LoadMidiMelody) X(MM_LoadBaseCompose) X(MM_LoadCompose) X(MM_Play) X(MM_Stop)                     \
    X(MM_SetRecordDevice) X(MM_GetRecordDeviceInfo) X(MM_GetRecordInputInfo) X(MM_RecordTest)              \
    X(MM_SetRecordAutoAdjust) X(MM_SetRecordMoniter) X(MM_SetRecordProtect) X(MM_LoadAudio)                \
    X(MM_GetMelodyInfo) X(MM_GetMelody) X(MM_CreateRealTimeMIDIStream) X(MM_FreeRealTimeMIDIStream)        \
    X(MM_RealTimeMIDINoteOn) X(MM_RealTimeMIDINoteOff) X(MM_PlayStyleDemo) X(MM_SetTempo)                  \
    X(MM_SetTimeSignature) X(MM_GetStreamVolume) X(MM_SetStreamVolume) X(MM_GetLatency)                    \
    X(MM_GetStreamLength) X(MM_SetStreamLength) X(MM_CombineSong) X(MM_Save) X(MM_CancelSave)              \
    X(MM_SaveProject) X(MM_LoadProject) X(MM_LoadAnalysis) X(MM_LoadAudioMP3) X(MM_LoadSongMP3)            \
    X(MM_ActiveAPR) X(MM_SetFxPreset)

#define MELODRIFT_ARRANGIX_ENTRIES(X)                                                                      \
    X(SM_Initialize) X(SM_Release) X(SM_CheckStyle) X(SM_GetSegmentBarNum) X(SM_GetStyleRecomInfos)        \
    X(SM_GetStyleDemo) X(SM_GetStyleInfo) X(SM_GetStyleInfos) X(SM_InputWavNotes) X(SM_BaseCompose)        \
    X(SM_Compose)

#define MELODRIFT_TIDELINK_ENTRIES(X)                                                                      \
    X(CS_InitialService) X(CS_DestroyService) X(CS_Register) X(CS_Login) X(CS_Logoff)                      \
    X(CS_CancelOperation) X(CS_DownloadStyle) X(CS_GetQnA) X(CS_SubmitQnA) X(CS_GetNotice)                 \
    X(CS_GetNewNoticeNum) X(CS_UploadSong) X(CS_GetWebPageURL) X(CS_GetStyleNums)

#define MELODRIFT_GLYPHMINT_ENTRIES(X) X(QR_Encode)

#define MELODRIFT_TABLE_FIELD(name) decltype(&::name) name = nullptr;

struct SonoboxTable {
    MELODRIFT_SONOBOX_ENTRIES(MELODRIFT_TABLE_FIELD)
};
struct ArrangixTable {
    MELODRIFT_ARRANGIX_ENTRIES(MELODRIFT_TABLE_FIELD)
};
struct TidelinkTable {
    MELODRIFT_TIDELINK_ENTRIES(MELODRIFT_TABLE_FIELD)
};
struct GlyphmintTable {
    MELODRIFT_GLYPHMINT_ENTRIES(MELODRIFT_TABLE_FIELD)
};

#undef MELODRIFT_TABLE_FIELD

// Slots 1..4 of the library slot table: module handles of the bound libraries.
enum LibrarySlot : int { kSlotSonobox = 1, kSlotArrangix = 2, kSlotTidelink = 3, kSlotGlyphmint = 4 };

struct EngineTables {
    SonoboxTable mm;
    ArrangixTable sm;
    TidelinkTable cs;
    GlyphmintTable qr;
    void* libraries[5] = {}; // slot 0: window of a running instance
};

// The process-wide tables. Tests overwrite members with their own functions.
EngineTables& Engines();

} // namespace melodrift
