/*
 * Tidelink, the online service client: accounts, style downloads, song
 * uploads, notices and questions, over UDP or TCP to the service host.
 *
 * Loaded by name ("Tidelink.dll" -> libTidelink.so) by the main program. It
 * loads the style store Patbank ("Patbank.dll") itself unless the edition code
 * is 3.
 *
 * One service per process. A service thread keeps the connection, greets the
 * server, logs the user in and keeps styles, notices and questions in step in
 * the background; its results reach the caller as posted window messages
 * (MDP_PostMessage). The caller's thread sends its own requests over the same
 * connection.
 *
 * The service host and port come from MELODRIFT_SERVICE ("host:port"),
 * otherwise the deployment address on port 12071. Local notice and question
 * files live in "<user data folder>/Help/".
 *
 * Texts crossing these functions are 8-bit UTF-8. The caller owns every
 * record; the service keeps a pointer to the user record of the last
 * CS_Login or CS_Register while it runs, so that record must stay alive.
 * Nothing is thrown across these functions.
 */
#ifndef TIDELINK_H
#define TIDELINK_H

#include <stddef.h>
#include <stdint.h>

#include "MelodriftPlatform.h"
#include "melodrift_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Window messages ---------------------------------------------------- */

/* wParam = reply id * 65536 + result code; lParam depends on the reply id. */
#define CS_UM_SERVICE_EVENT 0x0530
/* wParam = reply id * 65536 + 32769 or 32770; lParam 0. */
#define CS_UM_SERVICE_FAILURE 0x0531
/* Upload progress: wParam = percent sent. */
#define CS_UM_UPLOAD_PROGRESS 0x0506
/* Upload complete. */
#define CS_UM_UPLOAD_DONE 0x0507

/* ---- Result codes ------------------------------------------------------- */

#define CS_OK 0
#define CS_ERR_WAIT 32768             /* waiting for the service thread failed */
#define CS_ERR_SOCKET 32769           /* socket error while waiting for a reply */
#define CS_ERR_TIMEOUT 32770          /* no reply, or a wait ran out */
#define CS_ERR_SERVER 32771           /* server fault (server code) */
#define CS_ERR_BAD_PASSWORD 32773     /* login refused: wrong password */
#define CS_ERR_UNKNOWN_USER 32774     /* login refused: unknown user */
#define CS_ERR_NO_USER 32775          /* upload without user */
#define CS_ERR_BAD_STYLE 32776        /* style no longer valid (server code) */
#define CS_ERR_CANCELLED 32777        /* cancelled, or the server ended the login */
#define CS_ERR_NO_SERVICE 32778       /* no service, stopped, or update required */
#define CS_ERR_LOGIN_WAIT 32779       /* semaphore failure while waiting for a login */
#define CS_ERR_CHUNK_MISMATCH 32780   /* chunk reply for another handle or index */
#define CS_ERR_TRANSFER 32781         /* transfer refused by the server (server code) */
#define CS_ERR_LIMIT 32784            /* upload limit reached (server code) */
#define CS_ERR_NAME_TAKEN 32786       /* registration: name exists (server code) */
#define CS_ERR_FILE 32787             /* upload file missing, empty or too large */

/* ---- Records ------------------------------------------------------------ */

/* Version record given to CS_InitialService (the main program's 1044-byte
 * client record). The greeting rewrites the server's version into it. */
typedef struct CS_VersionRecord {
    int32_t size;           /* 0: not read (the program stores 1044) */
    uint16_t major;         /* 4 */
    uint16_t minor;         /* 6: also the edition code */
    uint16_t modify;        /* 8 */
    uint16_t build;         /* 10 */
    int32_t serverValueA;   /* 12: written by the greeting reply */
    int32_t serverValueB;   /* 16: written by the greeting reply */
    char serverText[1024];  /* 20: written by the greeting reply */
} CS_VersionRecord;

#define CS_VERSION_TEXT_MAX 1023

/* Largest info block the service copies into a user record. */
#define CS_INFO_BLOCK_MAX 256

/* User record given to CS_Login and CS_Register. */
typedef struct CS_UserRecord {
    char userName[32];      /* 0 */
    char password[80];      /* 32 */
    char nickname[32];      /* 112: written by the service */
    /* 144: the server's info block as it stands, at most CS_INFO_BLOCK_MAX
     * bytes; its first int32 is its own length. */
    int32_t infoSize;       /* 144 */
    int32_t userId;         /* 148: non-zero while logged on */
    int32_t accountFlags;   /* 152: 12 after a registration */
    int32_t balance;        /* 156 */
    int32_t popularity;     /* 160 */
    int32_t fans;           /* 164 */
    int32_t songs;          /* 168 */
    uint8_t infoRest[CS_INFO_BLOCK_MAX - 28]; /* 172 */
} CS_UserRecord;

/* A notice (title, text) or a question (question, answer). */
typedef struct CS_TextRecord {
    char title[320];
    char text[640];
} CS_TextRecord;

/* Filled by a successful upload. */
typedef struct CS_UploadResult {
    int32_t songId;
    char firstPage[256];
    char secondPage[256];
} CS_UploadResult;

/* Size of the song description block sent ahead of an uploaded file. */
#define CS_SONG_INFO_SIZE 1008

/* Capacity the caller gives CS_InitialService's web address buffer. */
#define CS_WEB_ADDRESS_CAPACITY 257
/* Capacity the caller gives CS_GetWebPageURL's buffer. */
#define CS_WEB_URL_CAPACITY 1024

MELODRIFT_STATIC_ASSERT(sizeof(CS_VersionRecord) == 1044, "version record is 1044 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(CS_VersionRecord, major) == 4, "major at 4");
MELODRIFT_STATIC_ASSERT(offsetof(CS_VersionRecord, build) == 10, "build at 10");
MELODRIFT_STATIC_ASSERT(offsetof(CS_VersionRecord, serverValueA) == 12, "server value at 12");
MELODRIFT_STATIC_ASSERT(offsetof(CS_VersionRecord, serverValueB) == 16, "server value at 16");
MELODRIFT_STATIC_ASSERT(offsetof(CS_VersionRecord, serverText) == 20, "server text at 20");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, password) == 32, "password at 32");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, nickname) == 112, "nickname at 112");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, infoSize) == 144, "info block at 144");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, userId) == 148, "user id at 148");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, accountFlags) == 152, "flags at 152");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UserRecord, songs) == 168, "songs at 168");
MELODRIFT_STATIC_ASSERT(sizeof(CS_UserRecord) == 144 + CS_INFO_BLOCK_MAX, "user record size");
MELODRIFT_STATIC_ASSERT(sizeof(CS_TextRecord) == 960, "text record is 960 bytes");
MELODRIFT_STATIC_ASSERT(offsetof(CS_TextRecord, text) == 320, "text at 320");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UploadResult, firstPage) == 4, "first page at 4");
MELODRIFT_STATIC_ASSERT(offsetof(CS_UploadResult, secondPage) == 260, "second page at 260");

/* ---- Lifecycle ---------------------------------------------------------- */

/* Starts the service. webAddress receives the web site address (at least
 * CS_WEB_ADDRESS_CAPACITY bytes); folder is the program's folder, handed to
 * the style store. Returns 0 (also when the style store fails to load: then
 * no service runs) or 1 when the network cannot be started. */
MELODRIFT_API int32_t CS_InitialService(MDP_Window window, CS_VersionRecord* versionRecord, char* webAddress,
                                        const char* folder);

/* Stops and frees the service, saves the local lists. Returns 0. */
MELODRIFT_API int32_t CS_DestroyService(void);

/* Ends a waiting operation with 32777 and forgets the download window. */
MELODRIFT_API int32_t CS_CancelOperation(void);

/* ---- Account ------------------------------------------------------------ */

/* sync 0: returns at once, the outcome arrives as CS_UM_SERVICE_EVENT with
 * wParam 34 * 65536 + code and lParam = the record. sync 1: waits. */
MELODRIFT_API int32_t CS_Login(CS_UserRecord* user, int32_t sync);
MELODRIFT_API int32_t CS_Register(CS_UserRecord* user);
MELODRIFT_API int32_t CS_Logoff(void);

/* ---- Styles ------------------------------------------------------------- */

/* window non-NULL: queued, completion posted to window (wParam 0x660000,
 * lParam = style id). window NULL: downloads now on the caller's thread. */
MELODRIFT_API int32_t CS_DownloadStyle(int32_t styleId, MDP_Window window);
MELODRIFT_API int32_t CS_GetStyleNums(int32_t* online, int32_t* local);

/* ---- Uploads, notices, questions ---------------------------------------- */

/* info: CS_SONG_INFO_SIZE bytes or NULL (then only the permission is asked).
 * result may be NULL. */
MELODRIFT_API int32_t CS_UploadSong(int32_t userId, const void* info, const char* path, MDP_Window window,
                                    CS_UploadResult* result);

/* count in: records available; out: notices of that owner. */
MELODRIFT_API int32_t CS_GetNotice(int32_t* count, CS_TextRecord* records, int32_t owner);
MELODRIFT_API int32_t CS_GetNewNoticeNum(int32_t owner);
/* own 1: the user's questions (owner userId or 0); 0: the public list. */
MELODRIFT_API int32_t CS_GetQnA(int32_t* count, CS_TextRecord* records, uint8_t own, int32_t userId);
MELODRIFT_API int32_t CS_SubmitQnA(int32_t userId, const char* text);

/* buffer: at least CS_WEB_URL_CAPACITY bytes. */
MELODRIFT_API int32_t CS_GetWebPageURL(int32_t action, char* buffer);

#ifdef __cplusplus
}
#endif

#endif
