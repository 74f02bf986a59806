#include "replay_fixture.h"

#include <camsim/time_strip.h>

#include <chrono>

namespace playback::test {

namespace {

std::optional<int64_t> stripOf(const platform::RecordingSurface::Snapshot& s) {
    if (s.bitCount != 32 || s.width <= 0 || s.height <= 0) return std::nullopt;
    std::vector<uint8_t> luma(static_cast<std::size_t>(s.width) * s.height);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const uint8_t* p = s.pixels.data() + y * s.stride + x * 4; // blue, green, red
            luma[static_cast<std::size_t>(y) * s.width + x] =
                static_cast<uint8_t>((29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8);
        }
    }
    return camsim::readTimeStrip(luma.data(), s.width, s.width, s.height);
}

} // namespace

SimulatedCard::SimulatedCard(int64_t clockOffsetMs) {
    camsim::SdCardOptions o;
    o.width = 320;
    o.height = 240;
    o.frameRate = 10;
    card_ = std::make_shared<camsim::SdCard>(o);
    card_->setClockOffsetMs(clockOffsetMs);
    options_.user = kUser;
    options_.password = kPassword;
    options_.sdCard = card_;
    options_.profiles = {{"profile_main", "MainStream", "H264", 320, 240, 10, 500, 10}};
    camsim::RtspProfileSettings settings;
    settings.audio = false;
    streams_ = std::make_shared<camsim::RtspProfileStreams>(options_, std::make_shared<camsim::CameraHead>(), settings);
}

SimulatedCard::~SimulatedCard() {
    if (onvif_) onvif_->stop();
    streams_->stop();
}

bool SimulatedCard::start() {
    if (!streams_->start()) return false;
    onvif_ = std::make_unique<camsim::OnvifCamera>(options_, nullptr, streams_);
    if (!onvif_->start()) return false;
    // The camera's clock, as its services tell it, is its card's.
    if (const int64_t offset = card_->clockOffsetMs(); offset != 0) {
        camsim::OnvifFaultSettings skew;
        skew.clockOffsetSeconds = static_cast<int>(offset / 1000);
        onvif_->setFault(camsim::OnvifFault::SkewedClock, skew);
    }
    return true;
}

camsim::CardRecording SimulatedCard::finished() const {
    const auto all = card_->recordings(card_->nowMs());
    return all.at(all.size() - 2);
}

CameraReplay SimulatedCard::replay() const {
    CameraReplay r;
    for (const camsim::CardRecording& c : card_->recordings(card_->nowMs()))
        r.recordings.push_back({c.token, c.span.fromMs, c.span.toMs});
    auto streams = streams_;
    r.replayUri = [streams](const std::string& token, std::string&) -> std::optional<std::string> {
        return streams->replayUri(token);
    };
    r.user = kUser;
    r.password = kPassword;
    r.clockOffsetMs = card_->clockOffsetMs();
    r.deadlineMs = 5000;
    return r;
}

PictureWatcher::PictureWatcher()
    : surface_(std::make_shared<platform::RecordingSurface>()), handle_(platform::SurfaceRegistry::add(surface_)) {}

PictureWatcher::~PictureWatcher() { platform::SurfaceRegistry::remove(handle_); }

PlayerOutput PictureWatcher::output() {
    PlayerOutput out;
    out.surface = handle_;
    out.callbacks.picture = [this](const PictureShown& shown) {
        // The surface holds this picture until the player draws the next,
        // which it does on this same thread after this returns.
        SeenPicture seen{
            shown, stripOf(surface_->snapshot()),
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count()};
        std::lock_guard lock(mutex_);
        seen_.push_back(seen);
        changed_.notify_all();
    };
    out.callbacks.status = [this](const PlayerStatus& status) {
        std::lock_guard lock(mutex_);
        statuses_.push_back(status);
        changed_.notify_all();
    };
    return out;
}

std::vector<SeenPicture> PictureWatcher::awaitPictures(std::size_t count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return seen_.size() >= count; });
    return seen_;
}

PlayerStatus PictureWatcher::awaitMode(PlayerMode mode, int timeoutMs) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return !statuses_.empty() && statuses_.back().mode == mode; });
    return statuses_.empty() ? PlayerStatus{} : statuses_.back();
}

std::vector<SeenPicture> PictureWatcher::pictures() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

} // namespace playback::test
