// The speaker of a simulated ONVIF camera: what arrives on its audio back
// channel, decoded back to 16-bit PCM at 8,000 samples/s and kept with the
// time each piece arrived (for tests and latency figures), and the level it
// shows in the camera's picture, as protocol 1 and 2 cameras show talk-back.
// One receiver serves the RTSP servers of all the camera's profiles.
//
// Use:
//   auto talk = std::make_shared<camsim::TalkReceiver>(camsim::TalkCodec::Pcmu, head);
//   (give it to RtspProfileSettings::talk, or RtspOptions::talk)
//   talk->waitForSamples(8000, 2000);
//   std::vector<int16_t> heard = talk->samples();
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

class CameraHead;

// What the back channel offers in its session description.
enum class TalkCodec {
    Pcmu, // G.711 mu-law, 8 kHz
    Pcma, // G.711 A-law, 8 kHz
    Aac,  // AAC-LC, 16 kHz (MPEG4-GENERIC), for clients that must resample
};

// "pcmu", "pcma", "aac"; false for anything else.
bool parseTalkCodec(const std::string& text, TalkCodec& codec);
const char* talkCodecName(TalkCodec codec);

// How the camera answers a request for its back channel.
enum class TalkRefusal {
    None,               // offers it
    OptionNotSupported, // 551, as a camera without one answers
    Silent,             // never answers (the connection stays open)
    Redirect,           // answers 302 to another loopback address (127.0.0.2)
};

// Samples that arrived together.
struct TalkPiece {
    int64_t arrivalMs = 0; // steady clock
    std::size_t firstSample = 0;
    std::size_t count = 0;
};

class TalkReceiver {
public:
    // `head` shows the level; null shows nothing. At most `keepSeconds` of
    // sound are kept (the oldest goes first).
    explicit TalkReceiver(TalkCodec codec = TalkCodec::Pcmu, std::shared_ptr<CameraHead> head = nullptr,
                          int keepSeconds = 120);

    TalkCodec codec() const { return codec_; }
    void setRefusal(TalkRefusal refusal);
    TalkRefusal refusal() const;

    // From the back channel's pipeline: decoded samples as they arrive.
    void receive(const int16_t* samples, std::size_t count);
    // A client opened (set up) the back channel.
    void sessionOpened();

    // Everything kept, in arrival order.
    std::vector<int16_t> samples() const;
    std::vector<TalkPiece> pieces() const;
    // Samples received since the start (or the last clear).
    std::size_t sampleCount() const;
    int sessionsOpened() const;
    // Waits until at least `count` samples have arrived; false on time-out.
    bool waitForSamples(std::size_t count, int timeoutMs) const;
    void clear();

private:
    const TalkCodec codec_;
    const std::shared_ptr<CameraHead> head_;
    const std::size_t keepSamples_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    TalkRefusal refusal_ = TalkRefusal::None;
    std::vector<int16_t> samples_;
    std::vector<TalkPiece> pieces_;
    std::size_t dropped_ = 0; // samples let go from the front
    int sessions_ = 0;
};

// The level and pitch of a stretch of sound: root mean square (full scale
// 32768) and the frequency from its zero crossings, for checking a tone.
struct ToneMeasure {
    double rms = 0;
    double frequencyHz = 0;
};
ToneMeasure measureTone(const int16_t* samples, std::size_t count, int sampleRate = 8000);

} // namespace camsim
