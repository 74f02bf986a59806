/* Tiltra-M: turns named pan/tilt/zoom commands into the bytes a PTZ head
 * understands, from a protocol file or a built-in protocol text. */
#ifndef TILTRA_PTZ_H
#define TILTRA_PTZ_H

#include <stddef.h>
#include <stdint.h>

#define TILTRA_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by the caller, read only during the open call. Text fields of
 * width n hold at most n - 1 characters. */
typedef struct PTZOpenRecord {
    int32_t addressId;  /* PTZ address ID of the camera */
    int32_t outputMode; /* 1 command bytes, 2 hex text or URL command */
    char vendor[32];
    char protocol[32];
    char protocolFile[512]; /* used only by PTZOpenInterfaceWithFile */
    char cameraIp[16];      /* the last three only for URL commands */
    char userName[16];
    char password[16];
} PTZOpenRecord;

#ifdef __cplusplus
static_assert(sizeof(PTZOpenRecord) == 632, "PTZ open record is 632 bytes");
static_assert(offsetof(PTZOpenRecord, outputMode) == 4, "output mode at 4");
static_assert(offsetof(PTZOpenRecord, vendor) == 8, "vendor at 8");
static_assert(offsetof(PTZOpenRecord, protocol) == 40, "protocol at 40");
static_assert(offsetof(PTZOpenRecord, protocolFile) == 72, "file path at 72");
static_assert(offsetof(PTZOpenRecord, cameraIp) == 584, "camera IP at 584");
static_assert(offsetof(PTZOpenRecord, userName) == 600, "user name at 600");
static_assert(offsetof(PTZOpenRecord, password) == 616, "password at 616");
#else
_Static_assert(sizeof(PTZOpenRecord) == 632, "PTZ open record is 632 bytes");
#endif

/* Opaque PTZ context. */
typedef struct PTZContext* PTZHandle;

TILTRA_API int PTZStartup(void);
TILTRA_API int PTZCleanup(void);

TILTRA_API PTZHandle PTZOpenInterface(const PTZOpenRecord* record);
TILTRA_API PTZHandle PTZOpenInterfaceWithFile(const PTZOpenRecord* record);
TILTRA_API int PTZCloseInterface(PTZHandle handle);

TILTRA_API PTZHandle PTZSetServerHandle(PTZHandle handle, int value);
TILTRA_API int PTZGetMousePTZ(PTZHandle handle);

/* kind 1 sections, 2 command names, 3 catalogue (no handle needed), 5 panel */
TILTRA_API const char* PTZEnumerate(PTZHandle handle, int kind, int* length);
TILTRA_API const char* PTZEnumerateProtocol(const char* vendor, int* length);

TILTRA_API const unsigned char* PTZGetString(PTZHandle handle, const char* command, int param1, int param2, int* count);
TILTRA_API const char* PTZGetStringURL(PTZHandle handle, const char* command, int param1, int param2, int* count);
TILTRA_API const char* GetURLCommand(const char* ip, const char* user, const char* password, const char* hex);

/* Results in the context's output mode: bytes (mode 1) or text (mode 2). */
TILTRA_API const void* PTZMove(PTZHandle handle, int code, int param1, int param2, int* count);
TILTRA_API const void* PTZZoom(PTZHandle handle, int code, int* count);
TILTRA_API const void* PTZFocus(PTZHandle handle, int code);
TILTRA_API const void* PTZIris(PTZHandle handle, int code);
TILTRA_API const void* PTZOSD(PTZHandle handle, int code);
TILTRA_API int PTZPreset(PTZHandle handle, int code, int number);
TILTRA_API int PTZDayNight(PTZHandle handle, int code);
TILTRA_API int PTZBLC(PTZHandle handle, int code);

#ifdef __cplusplus
}
#endif

#endif
