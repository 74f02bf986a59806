// One RTSP session on libavformat's client: open (OPTIONS to SETUP), play,
// then frame records one by one. Every blocking call is bounded by a
// deadline that libavformat's interrupt callback enforces, and abort() from
// any thread wakes whichever call is blocked. TCP-interleaved transport only.
#pragma once

#include "corvel/camera_url.h"
#include "corvel/frame_record.h"
#include "corvel/record_clock.h"

#include "platform/libav_owners.h"
#include "rtsp_password/challenge_preflight.h"
#include "rtsp_password/password_rule.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace platform {
class LibavLogWatch;
}

namespace corvel {

class AudioConverter;
class ConversationWatch;

// How a session may answer a camera that asks for the password (the
// streaming type's, see rtsp_password/password_rule.h).
using rtsp_password::Authentication;

struct Deadlines {
    int connectMs = 10000; // open and play, each
    int silenceMs = 5000;  // a record call without any data
    int closeMs = 200;     // the farewell to the camera
};

// Why an open or a read failed, for the one line a person gets.
enum class Failure {
    None,
    Unauthorized,     // wrong user name or password
    Refused,          // nothing listens there
    NotFound,         // no such stream path
    UnsupportedCodec, // video in a codec we do not decode, or no video
    TimedOut,         // no (complete) answer before the deadline
    Aborted,          // abort() was called
    GuardRefused,     // loopback-only mode refused a second connection
    BasicRefused,     // the camera asked for Basic authentication under DigestOnly
    Other,
};

class RtspSession {
public:
    // `name` prefixes the diagnostics ("Corvel-M").
    explicit RtspSession(std::string name, Authentication authentication = Authentication::AsTheCameraAsks);
    ~RtspSession();
    RtspSession(const RtspSession&) = delete;
    RtspSession& operator=(const RtspSession&) = delete;

    // Opens the session at `where` (its url with the credentials inside, its
    // redacted form for the diagnostics). Under DigestOnly the camera's
    // challenge is read first without credentials, and libavformat gets the
    // password only when the camera asked for digest. False with failure()
    // set and the reason told to the diagnostics (the stream's one store of
    // reasons keeps it; the session keeps only the kind).
    bool open(const CameraUrl& where, const Deadlines& deadlines);
    // Starts the stream (PLAY).
    bool play();
    // Writes the next record into `out` and its kind into *kind; returns its
    // length, 0 when the camera ended the stream, -1 on failure, silence for
    // deadlines.silenceMs or abort().
    int32_t nextRecord(int32_t* kind, std::span<uint8_t> out);
    // From any thread: the blocked call (if any) returns within about 100 ms.
    void abort();
    // Says goodbye to the camera (bounded by deadlines.closeMs) and frees
    // everything; a record call blocked meanwhile is woken first.
    void close();

    Failure failure() const;
    // The video kind of the open session (H264, H265 or Jpeg).
    RecordKind videoKind() const { return videoKind_; }
    bool hasAudio() const { return audio_ != nullptr; }

private:
    static int interrupted(void* self);
    void setDeadline(int ms);
    void closeLocked();
    void fail(Failure failure, const std::string& why);
    bool chooseStreams();
    int32_t videoRecord(int32_t* kind, std::span<uint8_t> out);
    int32_t audioRecord(int32_t* kind, std::span<uint8_t> out);
    void watchConversation(AVFormatContext* context);
    // The URL libav gets: under DigestOnly without the password unless the
    // camera's challenge asks for digest. Empty after a failure it told.
    std::string urlForLibav(const CameraUrl& where, const Deadlines& deadlines);
    bool basicRefused() const;
    // Tells the reason for a failed call (libav's `result`) when the
    // conversation with the camera explains it.
    bool failedForConversation(int result);

    const std::string name_;
    const Authentication authentication_;
    std::mutex operation_; // one blocking call at a time; close waits for it
    std::atomic<bool> abort_{false};
    std::atomic<int64_t> deadlineNs_{0};
    std::atomic<bool> deadlinePassed_{false};

    // Loopback-only mode: after the first connection every further one
    // (a redirect) is refused by emptying the protocol list.
    bool refuseFurtherConnections_ = false;
    bool furtherConnectionsRefused_ = false;
    AVFormatContext* opening_ = nullptr;

    // Reads the camera's challenge before libav may get the password.
    rtsp_password::ChallengePreflight preflight_;

    // What libav says and hears on the control connection, from the trace
    // messages of its context: the reasons it gives no code for, and under
    // DigestOnly a later request for Basic authentication (a second line
    // behind the preflight, as far as libav's trace lines tell it).
    std::unique_ptr<ConversationWatch> conversation_;
    std::unique_ptr<platform::LibavLogWatch> logWatch_;

    platform::av::InputContextPtr context_;
    platform::av::PacketPtr packet_;
    Deadlines deadlines_;
    std::string redacted_;
    bool playing_ = false;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    RecordKind videoKind_ = RecordKind::H264;
    std::vector<uint8_t> parameterSets_; // the newest, from the description or the stream, Annex-B
    bool awaitingRandomAccess_ = false;  // after a refused picture
    std::unique_ptr<AudioConverter> audio_;
    std::vector<uint8_t> audioSlice_;
    int64_t audioClockMs_ = 0; // time of the next audio slice
    RecordClock videoTimes_;   // the stream's times made steady
    RecordClock audioTimes_;

    std::atomic<Failure> failure_{Failure::None};
};

} // namespace corvel
