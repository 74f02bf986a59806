// Where a simulated ONVIF camera's media profiles stream from: the stream
// address it hands out for a profile, and the key picture a client asks for
// with a synchronisation point.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

namespace camsim {

struct OnvifProfile;
class TalkReceiver;

class OnvifStreamSource {
public:
    virtual ~OnvifStreamSource() = default;
    // The rtsp:// address of profile `index` on 127.0.0.1 (no credentials).
    virtual std::string streamUri(std::size_t index, const OnvifProfile& profile) const = 0;
    // Makes the profile's encoder send a key picture next.
    virtual void requestKeyFrame(std::size_t index) = 0;
    // Whether snapshot() draws pictures (GetSnapshotUri is offered then).
    virtual bool drawsSnapshots() const { return false; }
    // The profile's picture now as a JPEG file; empty when none is drawn.
    virtual std::string snapshot(std::size_t, const OnvifProfile&) { return {}; }
    // The speaker the streams' audio back channel reaches; null when they
    // offer none.
    virtual std::shared_ptr<TalkReceiver> talkReceiver() const { return nullptr; }
    // The rtsp:// address a recording of the SD card plays at; empty when
    // nothing replays. refuseReplay() makes replay requests fail with 551.
    virtual std::string replayUri(const std::string&) const { return {}; }
    virtual void refuseReplay(bool) {}
};

// Addresses on a port where nothing needs to listen, for tests of the SOAP
// side alone; counts the key pictures asked for.
class PlaceholderStreamSource final : public OnvifStreamSource {
public:
    explicit PlaceholderStreamSource(int port = 554) : port_(port) {}
    std::string streamUri(std::size_t index, const OnvifProfile& profile) const override;
    std::string replayUri(const std::string& recordingToken) const override;
    void requestKeyFrame(std::size_t) override { ++keyFramesRequested_; }
    int keyFramesRequested() const { return keyFramesRequested_.load(); }

private:
    int port_;
    std::atomic<int> keyFramesRequested_{0};
};

} // namespace camsim
