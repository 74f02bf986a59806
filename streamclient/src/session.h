// One connection of an interface object: made by M_KConnect, destroyed by
// M_KDisconnect. It owns the receive, render and event threads, the buffers
// they hand pictures and event headers over in, the renderer, the decoder
// and the audio player.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client_seams.h"
#include "catch_up.h"
#include "client_settings.h"
#include "event_gate.h"
#include "decoder_plugin.h"
#include "picture_scan.h"
#include "platform/event.h"
#include "stream_limits.h"
#include "stream_report.h"
#include "transport_plugin.h"

namespace ostrel {

class AudioPlayer;
class CVideoRenderer;
struct PictureDescriptor;

class Session {
public:
    // owner tags the session's threads, so that isOwnThread can tell them;
    // what they tell goes into report's reasons. The streaming type decides
    // the records expected (isCodecStreamingType).
    Session(TransportPlugin& transport, const ClientSettings& settings, const Seams& seams, StreamReport& report,
            const void* owner, int streamingType = 2);
    // Stops the transport and joins the threads, waking a receive thread still
    // inside the transport's connect; then frees what the threads shared.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the receive thread and waits for its connection on the seams'
    // clock. True when it connected: the render and event threads run too.
    // False leaves a late receive thread to tear its connection down itself.
    bool start();

    // The receive, render and event threads, in that order, for measuring
    // their CPU time; valid while the session runs.
    std::array<std::thread*, 3> threadsForMeasuring() { return {&receiveThread_, &renderThread_, &eventThread_}; }

    // True on a thread of a session made with this owner, i.e. inside one of
    // its callbacks: such a thread cannot wait for itself.
    static bool isOwnThread(const void* owner);

private:
    // Thread bodies, each in its own file.
    void receiveMain();
    void renderMain();
    void eventMain();

    // A codec or record-only stream draws nothing on a thread of its own:
    // its event thread also ends it when pictures stop coming.
    bool eventThreadWatchesPictures() const { return codecStream_ || recordOnly_; }
    // event_thread.cpp: milliseconds until the stream counts as lost, at
    // most zero once it does.
    int64_t msUntilPicturesCountLost(int64_t nowMs) const;
    // Waits for an event header; the picture watch's deadline bounds the
    // wait. False once the stream is lost or the session ends.
    bool awaitEventHeader();
    // Draws picture_ and the overlay, then tells the owner. Called by the
    // render thread for MPEG-4 streams, by the receive thread for the others.
    void drawPicture();
    // The overlay over a drawn picture, the picture shown, the owner told.
    void finishDrawing(platform::Surface* drawn);

    // receive_thread.cpp
    bool connectTransport();
    void streamLoop();
    void firstPicture(const uint8_t* record, int32_t length);
    void laterPicture(const uint8_t* record, int32_t length);
    // H.264, H.265 and JPEG records (kinds 3 to 5).
    void codecPicture(int32_t kind, const uint8_t* record, int32_t length);
    void startStream();
    const uint8_t* decode(const uint8_t* record, int32_t length) const;
    // A codec record decoded by a decoder that writes into the caller's
    // buffer: its picture goes straight into the window's own, or into
    // codecPicture_ when the window lends none.
    void decodeIntoWindow(const uint8_t* record, int32_t length);
    bool decodeIntoPlanes(const PictureSize& size);
    // The box a codec stream's pictures are fitted into: the render
    // rectangle, or none.
    PictureSize codecBox() const;
    void handOverEventHeader(const uint8_t* record);
    // event_thread.cpp: whether the event header would make any callback.
    static bool carriesEvent(const uint8_t* header);
    void handOverPicture(const uint8_t* picture);
    void describeDecodedPicture(const uint8_t* picture);
    void playAudio(const uint8_t* record, int32_t length);
    // Tells the report the camera's own picture size after a decoded picture.
    void noteStreamSize();
    // A record of a stream opened only to be recorded.
    void recordOnlyRecord(int32_t kind, const uint8_t* record);

    void wakeAndJoinReceiveThread();
    // Starts one of the session's threads: named, tagged with the owner,
    // reasons kept in the report.
    std::thread startThread(void (Session::*body)(), const char* name);

    TransportPlugin& transport_;
    const ClientSettings& settings_;
    const Seams& seams_;
    StreamReport& report_;
    const void* owner_;
    const bool codecStream_;
    // Opened only to be recorded: records go to the tap, nothing is decoded.
    const bool recordOnly_;
    const std::size_t receiveBufferSize_;
    std::size_t pictureBufferSize_ = kPictureBufferSize;

    std::thread receiveThread_;
    std::thread renderThread_;
    std::thread eventThread_;
    platform::ManualResetEvent connectDone_;
    platform::ManualResetEvent frameReady_;
    platform::ManualResetEvent eventInfo_;
    // Set by the receive thread as its last step.
    platform::ManualResetEvent receiveEnded_;

    std::atomic<bool> connected_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> disconnecting_{false};
    std::atomic<bool> picturePending_{false};
    std::atomic<bool> eventInfoPending_{false};
    // Set when start gave up waiting: a receive thread that connects late
    // tears its connection down instead of streaming.
    std::atomic<bool> connectAbandoned_{false};
    // Set by a codec stream's receive thread whose connect failed; it wakes
    // start at once instead of letting it wait out its time.
    std::atomic<bool> connectFailed_{false};
    // Decides between a late connect and start giving up.
    std::mutex connectLock_;

    // Receive thread only.
    DecoderPlugin decoder_;
    std::unique_ptr<uint8_t[]> receiveBuffer_;
    std::unique_ptr<AudioPlayer> audioPlayer_;
    int32_t streamWidth_ = 0;
    int32_t streamHeight_ = 0;
    PictureSize fullSize_; // an MPEG-4 stream's own size, from its first picture
    bool streamStarted_ = false;
    CatchUp catchUp_; // codec streams
    EventGate eventGate_;

    // Handed from the receive thread to the render thread; they outlive both.
    // A codec stream's picture_ points into the decoder's picture and is
    // drawn by the receive thread itself.
    std::unique_ptr<uint8_t[]> pictureBuffer_; // MPEG-4 streams only
    std::vector<uint8_t> codecPicture_;        // codec pictures for a window that lends no buffer
    std::unique_ptr<PictureDescriptor> picture_;
    std::unique_ptr<CVideoRenderer> renderer_;
    // Used by the one thread that draws (see drawPicture).
    std::u16string overlay_ = std::u16string(kOverlayCapacity, u'\0'); // no allocation per picture
    platform::SurfaceRect overlayBox_;
    // When the receive thread last drew a codec picture, on the seams' clock.
    static constexpr int64_t kNoPictureYet = INT64_MIN;
    std::atomic<int64_t> lastPictureMs_{kNoPictureYet};
    // When the picture watch began: the first picture is awaited from here.
    int64_t watchStartMs_ = 0;
    // Handed from the receive thread to the event thread.
    uint8_t eventHeader_[kEventHeaderSize] = {};
};

} // namespace ostrel
