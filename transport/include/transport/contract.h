// The transport plug-in contract: the records that cross between the stream
// client and a transport plug-in, and the types of the functions a plug-in
// exports (bound by name, in the order of the stream client's binding table).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Connection settings, copied whole into the plug-in instance. Which fields a
// plug-in reads depends on its streaming type (transport/streaming_types.h).
struct MediaConfig {
    int32_t connectionType; // 1 video only, 2 control and video, 3 control only
    // Types 1 and 2: the video server's channel, 0 = none. Type 5: the ONVIF
    // profile, 1 for the first, 0 = the smallest H.264/H.265 one.
    int32_t channel;
    // Types 1 and 2: dotted IPv4 text (at most 15 characters). Type 4: a host
    // name or address, or the stream's whole rtsp:// URL. Type 5: the
    // camera's host name or address.
    char cameraAddress[288];
    char userName[64];
    char password[64];
    int32_t registerPort;  // protocol 1 login channel
    int32_t streamingPort; // media (video) channel; type 4: the RTSP port of a bare host, 554 when 0
    int32_t controlPort;
    uint8_t reserved436[12]; // the caller's, copied but not read
    int32_t httpPort;        // the camera's web server; type 5: its device service, 80 when 0
    uint8_t reserved452[12]; // the caller's, copied but not read
    int32_t connectTimeoutSeconds;
};

// Encoder settings (eight int32).
struct VideoConfig {
    int32_t videoStandard;  // 0 NTSC, 1 PAL
    int32_t resolutionCode; // see kResolutionCodes
    int32_t bitRateCode;    // see kBitRateTexts
    int32_t brightness;
    int32_t contrast;
    int32_t saturation;
    int32_t hue;
    int32_t frameRate; // 1..30
};

// Motion-detection settings: enabled, region count, 3 x 4 window values,
// then the fifth value of each region.
struct MotionInfo {
    int32_t enabled;
    int32_t regionCount;
    int32_t window[3][4];
    int32_t fifth[3];
};

// Argument of M_XSendCommand. The pointer fields take the platform's width.
struct TransportCommand {
    int32_t type;
    const void* data;
    int32_t length;
    void* replyBuffer; // only the pointing requests (type 21) take one
    int32_t replyCapacity;
};

// The 44-byte header of every frame record handed out by M_XGetNextFrame.
struct FrameHeader {
    uint8_t startCode[4]; // 00 00 01 B2
    // 1 MPEG-4 video, 2 audio (types 1 and 2); types 4 and 5 add 3 H.264,
    // 4 H.265 and 5 JPEG, each record one Annex-B access unit or picture.
    uint8_t streamKind;
    uint8_t zero5[3];     // types 4 and 5: byte 5 bit 0 marks a picture a decoder may start at
    uint32_t lengthAfter; // record length - 12
    uint8_t timeStamp[4]; // types 1 and 2: as the camera sent it; 4 and 5: milliseconds, little-endian
    uint8_t perFrame;
    uint8_t status;
    uint8_t motion;       // one bit per region
    uint8_t digitalInput; // active low, 3 = none
    uint8_t zero20[4];
    uint8_t resolutionCode;
    uint8_t bitRateCode;
    uint8_t cameraConfig;
    uint8_t frameRate;
    uint8_t zero28[16];
};

typedef void (*ControlDataCallback)(void* context, const void* data, int32_t length);

// The contract's functions, declared once; everything else is generated from
// this list: the function types, the declarations each plug-in includes
// (transport/plugin_exports.h), and the stream client's binding table. Each
// entry: exported name, table slot, result, parameters, and what the stream
// client needs of it:
//   Required   - called without a check, so a plug-in without it is refused;
//   Optional   - checked before each call;
//   EngineOnly - offered only by the streaming-engine plug-in (outside this
//                system); looked up only for streaming type 2.
// The order is the lookup order of the binding table.
//
// The back-channel functions carry talk-back to a camera whose audio-out
// path is part of its stream protocol (ONVIF's audio back channel): check
// whether the camera has one (asking it; 1 yes or not known, 0 no with a
// one-line reason), open it (1 open, 0 with a one-line reason), send 16-bit
// mono PCM at 8,000 samples/s to it (from any thread while open), close it.
// A plug-in whose protocol has none answers 0 and says so.
#define TRANSPORT_CONTRACT_FUNCTIONS(X)                                                                                \
    X(M_XInit, init, void*, (void), Required)                                                                          \
    X(M_XSetMediaConfig, setMediaConfig, int32_t, (void* handle, const MediaConfig* config), Required)                 \
    X(M_XConnect, connect, int32_t, (void* handle), Required)                                                          \
    X(M_XSetVideoConfig, setVideoConfig, int32_t, (void* handle, const VideoConfig* config), Optional)                 \
    X(M_XGetVideoConfig, getVideoConfig, int32_t, (void* handle, VideoConfig* config), Optional)                       \
    X(M_XStartStreaming, startStreaming, int32_t, (void* handle), Required)                                            \
    X(M_XStopStreaming, stopStreaming, int32_t, (void* handle), Required)                                              \
    X(M_XGetNextFrame, getNextFrame, int32_t, (void* handle, int32_t* frameKind, uint8_t* buffer, int32_t bufferSize), \
      Required)                                                                                                        \
    X(M_XGetNextIFrame, getNextIFrame, int32_t, (void* handle), Optional)                                              \
    X(M_XGetPrevFrame, getPrevFrame, int32_t, (void* handle), Optional)                                                \
    X(M_XGetPrevIFrame, getPrevIFrame, int32_t, (void* handle), Optional)                                              \
    X(M_XDisconnect, disconnect, int32_t, (void* handle), Required)                                                    \
    X(M_XSendCommand, sendCommand, int32_t, (void* handle, const TransportCommand* command, void* unused), Required)   \
    X(M_XExit, exit, void, (void* handle), Required)                                                                   \
    X(M_XSetControlDataCallBack, setControlDataCallBack, int32_t,                                                      \
      (void* handle, void* context, ControlDataCallback callback), Optional)                                           \
    X(M_XSetMotionInfo, setMotionInfo, int32_t, (void* handle, const MotionInfo* info), Optional)                      \
    X(M_XGetMotionInfo, getMotionInfo, int32_t, (void* handle, MotionInfo* info), Optional)                            \
    X(M_XGetBeginTime, getBeginTime, int32_t, (void* handle, void* unused), Optional)                                  \
    X(M_XGetEndTime, getEndTime, int32_t, (void* handle, void* unused), Optional)                                      \
    X(M_XSetDebugMessageLevel, setDebugMessageLevel, int32_t, (void* handle, int32_t level), Optional)                 \
    X(M_XGetVersion, getVersion, void, (void* handle, char* buffer), Optional)                                         \
    X(M_XSetEventsWanted, setEventsWanted, int32_t, (void* handle, int32_t wanted), Optional)                          \
    X(M_XSetEngineConfig, setEngineConfig, int32_t, (void* handle, const void* config), EngineOnly)                    \
    X(M_XStartTransferStreamingEngineData, startTransferStreamingEngineData, int32_t, (void* handle), EngineOnly)      \
    X(M_XCheckBackChannel, checkBackChannel, int32_t, (void* handle, char* reason, int32_t reasonSize), Optional)      \
    X(M_XOpenBackChannel, openBackChannel, int32_t, (void* handle, char* reason, int32_t reasonSize), Optional)        \
    X(M_XSendBackChannelAudio, sendBackChannelAudio, int32_t, (void* handle, const int16_t* samples, int32_t count),   \
      Optional)                                                                                                        \
    X(M_XCloseBackChannel, closeBackChannel, int32_t, (void* handle), Optional)

// M_XInit_fn is the function type, M_XInit_t the pointer type.
#define TRANSPORT_DECLARE_FUNCTION_TYPES(name, slot, result, params, need)                                             \
    typedef result name##_fn params;                                                                                   \
    typedef name##_fn* name##_t;
TRANSPORT_CONTRACT_FUNCTIONS(TRANSPORT_DECLARE_FUNCTION_TYPES)
#undef TRANSPORT_DECLARE_FUNCTION_TYPES

} // extern "C"

namespace transport {

enum class Need { Required, Optional, EngineOnly };

// The binding table: one slot per contract function, null where the plug-in
// lacks it.
struct FunctionTable {
#define TRANSPORT_TABLE_SLOT(name, slot, result, params, need) name##_t slot = nullptr;
    TRANSPORT_CONTRACT_FUNCTIONS(TRANSPORT_TABLE_SLOT)
#undef TRANSPORT_TABLE_SLOT
};

// Calls visit(name, need, slot) for every function, in lookup order.
template <typename Visit>
void forEachFunction(FunctionTable& table, Visit&& visit) {
#define TRANSPORT_VISIT_SLOT(name, slot, result, params, need) visit(#name, Need::need, table.slot);
    TRANSPORT_CONTRACT_FUNCTIONS(TRANSPORT_VISIT_SLOT)
#undef TRANSPORT_VISIT_SLOT
}

inline constexpr std::size_t kFunctionCount = 0
#define TRANSPORT_COUNT_FUNCTION(name, slot, result, params, need) +1
    TRANSPORT_CONTRACT_FUNCTIONS(TRANSPORT_COUNT_FUNCTION)
#undef TRANSPORT_COUNT_FUNCTION
    ;

inline constexpr std::size_t kMediaConfigSize = 468;
inline constexpr std::size_t kFrameHeaderSize = 44;
inline constexpr int kFrameBufferSize = 256000;
inline constexpr char kVersionText[] = "V 1.0.00";
inline constexpr int32_t kNetworkLossNotice = static_cast<int32_t>(0xA0010001u);

// Command numbers of TransportCommand::type.
inline constexpr int32_t kCommandSerial = 11;
inline constexpr int32_t kCommandDigitalOutput = 13;
inline constexpr int32_t kCommandSerialSetting = 17;
inline constexpr int32_t kCommandA0000051 = static_cast<int32_t>(0xA0000051u);
// Pointing requests to a camera that moves by positions (ONVIF): the data is
// a PtzAimRequest, the reply buffer a PtzAimReply the plug-in fills. The call
// returns once the camera answered; 1 when it took the request. Plug-ins
// that do not know the type answer 0.
inline constexpr int32_t kCommandPtzAim = 21;

enum class PtzAimOperation : int32_t {
    Spaces = 1,          // reply.spaces: the kPtzAim... flags
    FovRelative = 2,     // pan, tilt in the field-of-view space; zoom the view's ratio (1 keeps it)
    GenericRelative = 3, // pan, tilt, zoom in the generic translation spaces
    Absolute = 4,        // pan, tilt, zoom in the generic position spaces
    Position = 5,        // reply: pan, tilt, zoom, moving
};
inline constexpr uint32_t kPtzAimFovPanTilt = 1;
inline constexpr uint32_t kPtzAimFovZoom = 2;
inline constexpr uint32_t kPtzAimRelative = 4;
inline constexpr uint32_t kPtzAimAbsolute = 8;
inline constexpr uint32_t kPtzAimPosition = 16;
inline constexpr uint32_t kPtzAimZoom = 32;

struct PtzAimRequest {
    PtzAimOperation operation;
    float pan;
    float tilt;
    float zoom;
};
struct PtzAimReply {
    uint32_t spaces;
    float pan;
    float tilt;
    float zoom;
    int32_t moving;
};
static_assert(sizeof(PtzAimRequest) == 16);
static_assert(sizeof(PtzAimReply) == 20);

inline constexpr uint8_t kFrameStartCode[4] = {0x00, 0x00, 0x01, 0xB2};
inline constexpr uint8_t kGroupOfVopStartCode[4] = {0x00, 0x00, 0x01, 0xB3};
inline constexpr std::size_t kIFrameGovOffset = 75;

struct ResolutionCode {
    int code;
    const char* text;
    int width;
    int height;
};

inline constexpr ResolutionCode kResolutionCodes[] = {
    {0, "N720x480", 720, 480}, {1, "N352x240", 352, 240},  {2, "N160x112", 160, 112},
    {3, "P720x576", 720, 576}, {4, "P352x288", 352, 288},  {5, "P176x144", 176, 144},
    {6, "N176x120", 176, 120}, {64, "N640x480", 640, 480}, {192, "P640x480", 640, 480},
};

inline constexpr const char* kBitRateTexts[] = {
    "28K", "56K", "128K", "256K", "384K", "500K", "750K", "1M", "1.2M", "1.5M", "2M", "2.5M", "3M",
};

// The resolution entry for a code, or nullptr when the code is unknown.
inline constexpr const ResolutionCode* findResolution(int code) {
    for (const auto& r : kResolutionCodes) {
        if (r.code == code) return &r;
    }
    return nullptr;
}

// A record is an I-frame record when it carries the group-of-VOP start code
// right after its sequence headers.
inline bool isIFrameRecord(const uint8_t* record, std::size_t length) {
    if (length <= 80) return false;
    const uint8_t* p = record + kIFrameGovOffset;
    return p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01 && p[3] == 0xB3;
}

// Where the PCM payload of an audio record starts (16-bit mono, 8,000
// samples/s), or 0 for record lengths that carry no playable audio.
inline constexpr std::size_t audioPayloadOffset(std::size_t recordLength) {
    switch (recordLength) {
    case 484:
    case 564:
    case 668: return 28;
    case 548:
    case 652: return 12;
    default: return 0;
    }
}

} // namespace transport

static_assert(sizeof(MediaConfig) == transport::kMediaConfigSize);
static_assert(offsetof(MediaConfig, channel) == 4);
static_assert(offsetof(MediaConfig, cameraAddress) == 8);
static_assert(offsetof(MediaConfig, userName) == 296);
static_assert(offsetof(MediaConfig, password) == 360);
static_assert(offsetof(MediaConfig, registerPort) == 424);
static_assert(offsetof(MediaConfig, streamingPort) == 428);
static_assert(offsetof(MediaConfig, controlPort) == 432);
static_assert(offsetof(MediaConfig, httpPort) == 448);
static_assert(offsetof(MediaConfig, connectTimeoutSeconds) == 464);
static_assert(sizeof(VideoConfig) == 32);
static_assert(offsetof(VideoConfig, frameRate) == 28);
static_assert(sizeof(MotionInfo) == 68);
static_assert(offsetof(MotionInfo, window) == 8);
static_assert(offsetof(MotionInfo, fifth) == 56);
static_assert(sizeof(FrameHeader) == transport::kFrameHeaderSize);
static_assert(offsetof(FrameHeader, streamKind) == 4);
static_assert(offsetof(FrameHeader, lengthAfter) == 8);
static_assert(offsetof(FrameHeader, timeStamp) == 12);
static_assert(offsetof(FrameHeader, perFrame) == 16);
static_assert(offsetof(FrameHeader, status) == 17);
static_assert(offsetof(FrameHeader, motion) == 18);
static_assert(offsetof(FrameHeader, digitalInput) == 19);
static_assert(offsetof(FrameHeader, resolutionCode) == 24);
static_assert(offsetof(FrameHeader, bitRateCode) == 25);
static_assert(offsetof(FrameHeader, cameraConfig) == 26);
static_assert(offsetof(FrameHeader, frameRate) == 27);
// TransportCommand holds pointers, so it is checked by field order, not size.
static_assert(offsetof(TransportCommand, type) == 0);
static_assert(offsetof(TransportCommand, data) > offsetof(TransportCommand, type));
static_assert(offsetof(TransportCommand, length) > offsetof(TransportCommand, data));
static_assert(offsetof(TransportCommand, replyBuffer) > offsetof(TransportCommand, length));
static_assert(offsetof(TransportCommand, replyCapacity) > offsetof(TransportCommand, replyBuffer));
