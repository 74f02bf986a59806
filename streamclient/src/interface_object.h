// The interface object behind an Ostrel-M handle.
#pragma once

#include <ostrel/stream_client.h>
#include <transport/contract.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio_device.h"
#include "platform_audio_device.h"
#include "decoder_binding.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/module.h"
#include "platform/processor.h"
#include "transport_binding.h"

namespace ostrel {

class AudioPlayer;
class AudioSender;
class CVideoRenderer;
struct PictureDescriptor;

inline constexpr std::size_t kPictureBufferSize = 1659904;
inline constexpr std::size_t kReceiveBufferSize = 256000;
inline constexpr int kConnectWaitMs = 10000;
inline constexpr int kPictureTimeoutMs = 3000;
inline constexpr std::size_t kEventHeaderSize = 32;
inline constexpr std::size_t kOverlayCapacity = 128;

// What the library takes from its surroundings; tests replace parts of it.
struct Seams {
    const platform::Clock* clock = &platform::SystemClock::instance();
    std::function<platform::ProcessorInfo()> processorInfo = [] { return platform::readProcessorInfo(); };
    // Plug-in names by streaming type 1, 2, 3 and by decoder type 1, 2.
    std::array<std::string, 3> transportNames = {"Fenwa10-M", "Fenwa20-M", "Sorrel-M"};
    std::array<std::string, 2> decoderNames = {"Garnet-M", "Quillon-M"};
    // The waveform output for received audio; null means no device.
    std::function<std::unique_ptr<AudioDevice>()> makeAudioDevice = makeSystemAudioDevice;
};

} // namespace ostrel

// One object per M_KOpenInterface; the handle is its address.
struct OstrelInterface {
    OstrelInterface();
    ~OstrelInterface();
    OstrelInterface(const OstrelInterface&) = delete;
    OstrelInterface& operator=(const OstrelInterface&) = delete;

    // Plug-ins
    platform::Module decoderModule;
    platform::Module transportModule;
    void* decoderInstance = nullptr; // receive thread only
    void* transportInstance = nullptr;
    MediaConfig mediaConfig{};
    ostrel::TransportTable transport;
    ostrel::DecoderTable decoder;

    // Threads and their hand-over
    std::thread receiveThread;
    std::thread renderThread;
    std::thread eventThread;
    platform::ManualResetEvent frameReady;
    platform::ManualResetEvent connectDone;
    platform::ManualResetEvent eventInfo;
    // Set by the receive thread as its last step.
    platform::ManualResetEvent receiveEnded;

    void* ptzHandle = nullptr;

    // Flags: written by one side, polled by the other.
    std::atomic<uint8_t> playAudio{0};
    std::atomic<uint8_t> picturePending{0};
    std::atomic<uint8_t> eventInfoPending{0};
    std::atomic<uint8_t> fourRegions{0};
    std::atomic<uint8_t> connected{0};
    std::atomic<uint8_t> running{0};
    std::atomic<uint8_t> overlayOn{0};
    std::atomic<uint8_t> tokenHeld{0};
    std::atomic<uint8_t> disconnecting{0};
    // Set when M_KConnect gave up waiting: a receive thread that connects late
    // tears its connection down instead of streaming.
    std::atomic<uint8_t> connectAbandoned{0};

    // Per-connection buffers and objects
    std::unique_ptr<uint8_t[]> pictureBuffer;
    std::unique_ptr<uint8_t[]> receiveBuffer;
    std::unique_ptr<ostrel::CVideoRenderer> renderer;
    std::unique_ptr<ostrel::PictureDescriptor> picture;
    std::unique_ptr<ostrel::AudioPlayer> audioPlayer;
    std::unique_ptr<ostrel::AudioSender> audioSender;

    // Callbacks
    M_KNetworkLossCallback networkLossCallback = nullptr;
    M_KAfterRenderCallback afterRenderCallback = nullptr;
    M_KMotionCallback motionCallback = nullptr;
    M_KDICallback diCallback = nullptr;
    void* afterRenderUser = nullptr;
    void* networkLossUser = nullptr;
    void* motionUser = nullptr;
    void* diUser = nullptr;

    RenderInfo renderInfo{};

    // Serialises PTZ command sends.
    std::mutex commandLock;
    // Guards render information and overlay, which the caller may change while
    // the render thread reads them.
    mutable std::mutex settingsLock;
    // The transport's disconnect and stop may come from the caller and from the
    // render thread's time-out; the contract does not allow them concurrently.
    std::mutex transportStopLock;
    // Decides between a late connect and M_KConnect giving up.
    std::mutex connectLock;

    uint8_t eventHeader[ostrel::kEventHeaderSize] = {};
    int32_t overlayX = 0;
    int32_t overlayY = 0;
    int32_t overlayLength = 0;
    int32_t streamingType = 2;
    char16_t overlayText[ostrel::kOverlayCapacity] = {};

    // Width and height from the stream's first video object layer header.
    int32_t streamWidth = 0;
    int32_t streamHeight = 0;
    bool streamStarted = false; // receive thread only

    ostrel::Seams seams;
};

namespace ostrel {

// Transport binding (caller's thread).
bool bindTransport(OstrelInterface& self);
void unbindTransport(OstrelInterface& self);
// Disconnects and stops the transport, in that order, under the stop lock.
void stopTransport(OstrelInterface& self);

// Decoder binding (receive thread).
void bindDecoder(OstrelInterface& self);
void unbindDecoder(OstrelInterface& self);

// Thread bodies.
void receiveThreadMain(OstrelInterface* self);
void renderThreadMain(OstrelInterface* self);
void eventThreadMain(OstrelInterface* self);

// Connection lifecycle.
int32_t connect(OstrelInterface& self);
void disconnect(OstrelInterface& self);
// Ends and joins a receive thread left behind by a connect that gave up
// waiting: wakes it inside the transport rather than waiting out its
// time-outs.
void joinAbandonedReceiveThread(OstrelInterface& self);
// True on the object's own receive, render or event thread, i.e. inside one of
// its callbacks: such a thread cannot wait for itself.
bool onOwnThread(const OstrelInterface& self);

} // namespace ostrel
