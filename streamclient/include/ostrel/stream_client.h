/* Ostrel-M: one interface object per camera connection. It binds a transport
 * plug-in and a decoder plug-in, runs the receive, render and event threads,
 * reports network loss, motion and digital-input events, and carries the
 * caller's control requests to the camera.
 *
 * Every function takes the handle from M_KOpenInterface first; a null handle
 * does nothing and returns 0. Results are 1 for success and 0 for failure
 * unless noted. Callbacks run on the library's threads. */
#ifndef OSTREL_STREAM_CLIENT_H
#define OSTREL_STREAM_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#define OSTREL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* The 468-byte connection settings record of the transport contract
 * (transport/contract.h). */
struct MediaConfig;

/* Opaque interface object. */
typedef struct OstrelInterface OstrelInterface;

/* Where to draw: 24 bytes, copied whole by M_KSetRenderInfo. The window
 * handle is 32 bits on every platform: it names a registered window surface
 * (platform/surface.h), 0 draws nowhere. */
typedef struct RenderInfo {
    int32_t flags;   /* OSTREL_RENDER_ flags; 0 for plain drawing */
    uint32_t window; /* window handle of the video window */
    int32_t top;     /* destination y in window pixels */
    int32_t left;    /* destination x */
    int32_t width;   /* destination width */
    int32_t height;  /* destination height */
} RenderInfo;

/* RenderInfo.flags: MPEG-4 pictures are decoded no larger than the
 * destination, their aspect kept (the decoder scales each picture once, and
 * a small window never receives a large picture); without it they come in
 * the stream's own size. */
#define OSTREL_RENDER_FIT_PICTURES 1

/* PTZ protocol source types of PTZEnableInfo.sourceType. */
#define OSTREL_PTZ_SOURCE_FILE 1
#define OSTREL_PTZ_SOURCE_BUILTIN 2

/* Read only during M_KEnablePTZProtocol. */
typedef struct PTZEnableInfo {
    int32_t sourceType; /* 1 protocol file, 2 built-in vendor protocol */
    char vendorName[32];
    char protocolName[32];
    char fileName[512];
    int32_t addressId; /* PTZ address ID of the camera */
} PTZEnableInfo;

typedef void (*M_KNetworkLossCallback)(void* user);
typedef void (*M_KAfterRenderCallback)(void* user);
typedef void (*M_KMotionCallback)(void* user, int32_t region1, int32_t region2, int32_t region3, int32_t region4);
typedef void (*M_KDICallback)(void* user, int32_t input1, int32_t input2);
/* Each frame record the transport hands out, before it is decoded: frameKind
 * as the transport reported it (1 MPEG-4 video, 2 audio, 3 H.264, 4 H.265,
 * 5 JPEG), the whole record with its 44-byte header. Called on the receive
 * thread, which waits for it: copy what you keep and return at once. The
 * record is valid only during the call. When a stream that ran ends (lost,
 * or disconnected) it is called once more with a null record and length 0. */
typedef void (*M_KFrameTapCallback)(void* user, int32_t frameKind, const uint8_t* record, int32_t length);

/* Lifecycle and settings */
OSTREL_API OstrelInterface* M_KOpenInterface(void);
OSTREL_API void M_KCloseInterface(OstrelInterface* handle);
OSTREL_API void M_KSetStreamingType(OstrelInterface* handle, int32_t type);
OSTREL_API int32_t M_KSetMediaConfig(OstrelInterface* handle, const struct MediaConfig* config);
OSTREL_API void M_KSetRenderInfo(OstrelInterface* handle, const RenderInfo* info);
OSTREL_API void M_KSetNetworkLossCallback(OstrelInterface* handle, void* user, M_KNetworkLossCallback callback);
OSTREL_API void M_KSetAfterRenderCallback(OstrelInterface* handle, void* user, M_KAfterRenderCallback callback);
OSTREL_API void M_KSetMotionDetectionCallback(OstrelInterface* handle, void* user, M_KMotionCallback callback,
                                              uint8_t fourRegions);
OSTREL_API void M_KSetDICallback(OstrelInterface* handle, void* user, M_KDICallback callback);
/* A null callback removes the tap; it may be set or changed at any time. */
OSTREL_API void M_KSetFrameTapCallback(OstrelInterface* handle, void* user, M_KFrameTapCallback callback);
OSTREL_API void M_KSetMute(OstrelInterface* handle, uint8_t playAudio);
/* recordOnly 1: the next M_KConnect opens the stream only to record it.
 * Nothing is decoded, drawn or played; the records reach the frame tap,
 * motion and inputs their callbacks, and a stream that sends no picture for
 * three seconds ends as a network loss. 0 (the default): watched as usual. */
OSTREL_API void M_KSetRecordOnly(OstrelInterface* handle, uint8_t recordOnly);
OSTREL_API void M_KSetTextout(OstrelInterface* handle, uint8_t enable, int32_t x, int32_t y, const char* text);
OSTREL_API int32_t M_KEnablePTZProtocol(OstrelInterface* handle, int32_t enable, const PTZEnableInfo* info);
OSTREL_API int32_t M_KConnect(OstrelInterface* handle);
OSTREL_API void M_KDisconnect(OstrelInterface* handle);

/* Pan, tilt, zoom, presets */
OSTREL_API int32_t M_KPTZ_UP(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_DOWN(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_LEFT(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_RIGHT(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_UP_LEFT(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_UP_RIGHT(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_DOWN_LEFT(OstrelInterface* handle, int32_t speed);
OSTREL_API int32_t M_KPTZ_DOWN_RIGHT(OstrelInterface* handle, int32_t speed);
/* direction: 0 all, 1 up, 2 down, 3 left, 4 right */
OSTREL_API int32_t M_KPTZ_STOP(OstrelInterface* handle, int32_t direction);
OSTREL_API int32_t M_KPTZ_ZOOM_IN(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_ZOOM_OUT(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_ZOOM_STOP(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_GOTO_PRESET(OstrelInterface* handle, int32_t preset);
OSTREL_API int32_t M_KPTZ_SET_PRESET(OstrelInterface* handle, int32_t preset);

/* The camera's on-screen menu */
OSTREL_API int32_t M_KPTZ_OSD_ON(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_OFF(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_UP(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_DOWN(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_LEFT(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_RIGHTT(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_ENTER(OstrelInterface* handle);
OSTREL_API int32_t M_KPTZ_OSD_LEAVE(OstrelInterface* handle);

/* Video server, digital output, serial port */
OSTREL_API int32_t M_KQuadSetDisplayMode(OstrelInterface* handle, int32_t mode);
OSTREL_API void M_KSendDO(OstrelInterface* handle, uint8_t value);
OSTREL_API int32_t M_KSendRS232Setting(OstrelInterface* handle, uint8_t dataFormat, uint8_t baudRateIndex);

/* Talking to the camera. On a camera whose transport plug-in carries
 * talk-back itself (streaming type 5, ONVIF: the camera's audio back channel)
 * M_KGetAudioToken opens the back channel (the holder text stays empty; the
 * reason of a refusal comes from M_KGetAudioOutReason), M_KStartAudioTransfer
 * sends the microphone on it and M_KFreeAudioToken closes it. */
OSTREL_API int32_t M_KGetAudioToken(OstrelInterface* handle, char* holder);
OSTREL_API void M_KFreeAudioToken(OstrelInterface* handle);
OSTREL_API int32_t M_KStartAudioTransfer(OstrelInterface* handle);
OSTREL_API void M_KStopAudioTransfer(OstrelInterface* handle);
/* Whether talking to the camera can work, asked of the camera where it can
 * tell (an ONVIF camera's audio outputs; up to about 2 s): 1 yes or not
 * known, 0 no with the reason in one line (reason may be null). */
OSTREL_API int32_t M_KCheckAudioOut(OstrelInterface* handle, char* reason, int32_t reasonSize);
/* Why the last back channel check or opening said no, one line; 1 when there
 * is a reason, 0 (and "") when there is none. */
OSTREL_API int32_t M_KGetAudioOutReason(OstrelInterface* handle, char* reason, int32_t reasonSize);
/* Sends 16-bit mono PCM at 8,000 samples/s on an open back channel while the
 * microphone is not captured (a program without a microphone talking from
 * a file); 1 when taken. */
OSTREL_API int32_t M_KSendAudioOut(OstrelInterface* handle, const int16_t* samples, int32_t count);

/* Why the stream failed: the last reason told on this handle's behalf (a
 * refused connect, a lost connection, a plug-in that could not be loaded), by
 * the library or its plug-ins, on the handle's own threads, on the threads
 * its plug-in starts from them (a camera's command or event thread), or in
 * M_KSetMediaConfig, M_KEnablePTZProtocol, M_KConnect and M_KDisconnect.
 * It is kept whether or not diagnostics are printed (TAVOLIN_DEBUG), stays
 * until a later reason replaces it, and is never another handle's. The text
 * is one line of valid UTF-8 without control characters, at most 1024 bytes,
 * starting with the name of the part that told it ("Corvel-M: ...").
 * Copies it into buffer (size bytes, NUL-terminated, cut at a character's
 * end) and returns its length without the NUL; 0 and an empty buffer when no
 * reason was told. A null handle or buffer, or a size below 1, returns 0 and
 * writes nothing. Any thread may call it, also from inside a callback. */
OSTREL_API int32_t M_KGetLastReason(OstrelInterface* handle, char* buffer, int32_t size);

/* The size of the camera's pictures as its stream carries them, before any
 * fitting to the render rectangle: 1 and the size of the latest decoded
 * picture, or 0 and 0 x 0 before the first one. Either pointer may be null.
 * A null handle returns 0 and writes nothing. Any thread may call it. */
OSTREL_API int32_t M_KGetStreamSize(OstrelInterface* handle, int32_t* width, int32_t* height);

/* Pointing the camera at a point of its picture.
 * M_KPTZ_GET_SPACES: 1 and the camera's pointing spaces (OSTREL_PTZ_SPACE_
 * flags) when its transport tells them (ONVIF: asked once per connection,
 * up to about 2 s); 0 and none for cameras driven only by the protocol
 * file's direction commands. The moves wait for the camera's answer and go
 * out in turn with the other PTZ commands: 1 when the camera took them.
 * Like every PTZ request they need PTZ enabled and a connection that is not
 * video only. */
#define OSTREL_PTZ_SPACE_FOV_PANTILT 1 /* RelativeMove in the field-of-view translation space */
#define OSTREL_PTZ_SPACE_FOV_ZOOM 2    /* its zoom as the view's ratio (target / current) */
#define OSTREL_PTZ_SPACE_RELATIVE 4    /* RelativeMove in the generic translation spaces */
#define OSTREL_PTZ_SPACE_ABSOLUTE 8    /* AbsoluteMove in the generic position spaces */
#define OSTREL_PTZ_SPACE_POSITION 16   /* M_KPTZ_GET_POSITION answers */
#define OSTREL_PTZ_SPACE_ZOOM 32       /* the camera zooms */
OSTREL_API int32_t M_KPTZ_GET_SPACES(OstrelInterface* handle, uint32_t* spaces);
/* fov 1: pan and tilt in the field-of-view space (-1..1 the picture's
 * edges, up positive) and zoom the view's ratio (1 keeps it); fov 0: all
 * three in the generic translation spaces (zoom 0 keeps it). */
OSTREL_API int32_t M_KPTZ_RELATIVE_MOVE(OstrelInterface* handle, int32_t fov, float pan, float tilt, float zoom);
OSTREL_API int32_t M_KPTZ_ABSOLUTE_MOVE(OstrelInterface* handle, float pan, float tilt, float zoom);
/* The position in the generic spaces (pan, tilt -1..1, zoom 0..1) and 1 in
 * moving while it moves. Any pointer may be null. */
OSTREL_API int32_t M_KPTZ_GET_POSITION(OstrelInterface* handle, float* pan, float* tilt, float* zoom, int32_t* moving);

/* A grey copy of the next picture drawn after the call, scaled to width x
 * height (2 to 4096 each), written into gray (width * height bytes, rows
 * top-down): 1, or 0 when none was drawn within timeoutMs. The stream's own
 * pictures are used: nothing is opened. Not from inside a callback. */
OSTREL_API int32_t M_KGetPictureSample(OstrelInterface* handle, uint8_t* gray, int32_t width, int32_t height,
                                       int32_t timeoutMs);

#ifdef __cplusplus
}

static_assert(sizeof(RenderInfo) == 24);
static_assert(offsetof(RenderInfo, window) == 4);
static_assert(offsetof(RenderInfo, top) == 8);
static_assert(offsetof(RenderInfo, left) == 12);
static_assert(offsetof(RenderInfo, width) == 16);
static_assert(offsetof(RenderInfo, height) == 20);
static_assert(offsetof(PTZEnableInfo, vendorName) == 4);
static_assert(offsetof(PTZEnableInfo, protocolName) == 36);
static_assert(offsetof(PTZEnableInfo, fileName) == 68);
static_assert(offsetof(PTZEnableInfo, addressId) == 580);
#endif

#endif
