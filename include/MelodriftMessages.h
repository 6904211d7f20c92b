/*
 * Window message numbers of Melodrift: what the program's windows, the audio
 * engine, the playback clock, the progress dialog and the online service post
 * to each other. The numbers are fixed; libraries and the program must agree.
 * Plain C.
 */
#ifndef MELODRIFT_MESSAGES_H
#define MELODRIFT_MESSAGES_H

/* Audio engine notifications, posted to the window given to MM_Play/MM_Record. */
#define UM_ENGINE_STOPPED     0x0501 /* playing or recording ended by itself */
#define UM_TAKE_RECOGNISED    0x0509 /* a take has been analysed */
#define UM_RECORD_VOLUME      0x050A /* wParam: recording volume 0..100 */

/* Progress dialog reports. */
#define UM_PROGRESS_FAILED    0x0505 /* wParam: a result code, not 0 */
#define UM_PROGRESS_STEP      0x0506 /* wParam: per cent 0..100 */
#define UM_PROGRESS_DONE      0x0507
#define UM_PROGRESS_RANGE     0x0521 /* wParam: start per cent; lParam: end per cent, 0 for 100 */

/* Playback clock: every 25 ms while a screen plays or records. */
#define UM_CLOCK_TICK         0x0515

/* Online service. */
#define UM_SERVICE_EVENT      0x0530 /* wParam: class * 65536 + code */
#define UM_SERVICE_FAILED     0x0531 /* wParam: id * 65536 + 32769 or 32770; transport failure */

/* The main window and its screens. */
#define UM_ACTIVATE_INSTANCE  0x1400
#define UM_POPUP_SYSMENU      0x1401 /* wParam, lParam: screen point */
#define UM_LOGIN              0x1404 /* wParam 1: wait for the login result */
#define UM_BARS_CHANGED       0x1405 /* wParam: change flags of a tracker */
#define UM_CHOOSE_STYLE       0x1406
#define UM_OPEN_FILE          0x1407 /* lParam: path length of a hand-over, or 0 */
#define UM_SAVE_PROJECT       0x1408
#define UM_NEW_PROJECT        0x1409
#define UM_AUDIO_EFFECTS      0x140A
#define UM_STEP_ENABLE        0x1411 /* wParam: bit mask of workflow steps */
#define UM_EXPORT_SONG        0x1412
#define UM_UPLOAD_SONG        0x1413
#define UM_MIC_SETUP          0x1414
#define UM_GOTO_STEP          0x1500 /* wParam: page; lParam: asking screen */
#define UM_ABOUT              0x150A
#define UM_MANUAL             0x150B
#define UM_RESTORE_AUTOSAVE   0x1510
#define UM_AUTOSAVE           0x1511 /* wParam 0 stop, 1 save now, 2 clean exit */
#define UM_MORE_SOFTWARE      0x1512
#define UM_CHORDS_RESET       0x1513

#endif
