#include "playback/camera_archive.h"

#include <onvif/device.h>
#include <onvif/soap_transport.h>

#include <algorithm>
#include <mutex>

namespace playback {

struct CameraArchive::Impl {
    explicit Impl(ArchiveCamera c)
        : camera(std::move(c)), transport(onvif::makeHttpSoapTransport()),
          device(*transport,
                 onvif::DeviceSettings{camera.host, camera.port, camera.user, camera.password, camera.callTimeoutMs}),
          search(device), replay(device) {}

    const ArchiveCamera camera;
    std::unique_ptr<onvif::SoapTransport> transport;
    onvif::Device device;
    // The search and the replay addresses each from one thread at a time;
    // the device itself is shared safely.
    std::mutex searchLock;
    onvif::Recordings search;
    std::mutex replayLock;
    onvif::Recordings replay;
    onvif::CallCancel cancel;

    mutable std::mutex stateLock;
    bool connected = false;
    std::vector<ReplayRecording> found; // the camera's clock
    std::optional<onvif::ReplayCapabilities> capabilities;
    std::string reason;

    void setReason(const std::string& why) {
        std::lock_guard lock(stateLock);
        reason = why;
    }
    int64_t offsetMs() const { return onvif::CameraClock::of(device).offsetMs; }
};

CameraArchive::CameraArchive(ArchiveCamera camera) : impl_(std::make_shared<Impl>(std::move(camera))) {}

CameraArchive::~CameraArchive() { cancel(); }

bool CameraArchive::connect() {
    const bool ok = impl_->device.connect();
    std::lock_guard lock(impl_->stateLock);
    impl_->connected = ok;
    if (!ok) impl_->reason = "the camera does not answer: " + impl_->device.lastError();
    return ok;
}

int64_t CameraArchive::clockOffsetMs() const { return impl_->offsetMs(); }

bool CameraArchive::replayOffered() {
    {
        std::lock_guard lock(impl_->stateLock);
        if (!impl_->connected) {
            if (impl_->reason.empty()) impl_->reason = "the camera is not connected";
            return false;
        }
    }
    std::lock_guard lock(impl_->replayLock);
    if (!impl_->replay.searchOffered()) {
        impl_->setReason("the camera offers no recording search (no ONVIF search service)");
        return false;
    }
    if (!impl_->replay.replayOffered()) {
        impl_->setReason("the camera offers no replay of its recordings (no ONVIF replay service)");
        return false;
    }
    const std::optional<onvif::ReplayCapabilities> capabilities = impl_->replay.replayCapabilities();
    std::lock_guard state(impl_->stateLock);
    impl_->capabilities = capabilities;
    return true;
}

onvif::Found<onvif::Recording> CameraArchive::recordings(const onvif::SearchBounds& bounds) {
    onvif::Found<onvif::Recording> found;
    {
        std::lock_guard lock(impl_->searchLock);
        impl_->cancel.reset();
        found = impl_->search.findRecordings(bounds, &impl_->cancel);
        if (!found.complete) impl_->setReason(found.error);
    }
    const int64_t offset = impl_->offsetMs();
    std::vector<ReplayRecording> kept;
    for (onvif::Recording& r : found.items) {
        kept.push_back({r.token, r.span.fromMs, r.span.toMs});
        r.span = {r.span.fromMs - offset, r.span.toMs - offset};
        for (onvif::Track& t : r.tracks) t.data = {t.data.fromMs - offset, t.data.toMs - offset};
    }
    std::lock_guard lock(impl_->stateLock);
    impl_->found = std::move(kept);
    return found;
}

onvif::Found<onvif::RecordedEvent> CameraArchive::events(int64_t fromMs, int64_t toMs,
                                                         const onvif::SearchBounds& bounds) {
    const int64_t offset = impl_->offsetMs();
    onvif::EventQuery query;
    query.span = {fromMs + offset, toMs + offset};
    onvif::Found<onvif::RecordedEvent> found;
    {
        std::lock_guard lock(impl_->searchLock);
        impl_->cancel.reset();
        found = impl_->search.findEvents(query, bounds, &impl_->cancel);
        if (!found.complete) impl_->setReason(found.error);
    }
    for (onvif::RecordedEvent& e : found.items) e.timeMs -= offset;
    std::stable_sort(found.items.begin(), found.items.end(),
                     [](const onvif::RecordedEvent& a, const onvif::RecordedEvent& b) { return a.timeMs < b.timeMs; });
    return found;
}

CameraReplay CameraArchive::replay() const {
    CameraReplay r;
    {
        std::lock_guard lock(impl_->stateLock);
        r.recordings = impl_->found;
        r.reverseOffered = impl_->capabilities && impl_->capabilities->reversePlayback;
    }
    r.user = impl_->camera.user;
    r.password = impl_->camera.password;
    r.clockOffsetMs = impl_->offsetMs();
    r.deadlineMs = std::max(impl_->camera.callTimeoutMs, 5000);
    // The archive lives as long as a player asks it.
    std::shared_ptr<Impl> impl = impl_;
    r.replayUri = [impl](const std::string& token, std::string& why) {
        std::lock_guard lock(impl->replayLock);
        std::optional<std::string> uri = impl->replay.replayUri(token);
        if (!uri) why = "the camera gives no replay address for recording " + token + ": " + impl->replay.lastError();
        return uri;
    };
    return r;
}

void CameraArchive::cancel() { impl_->cancel.abort(); }

std::string CameraArchive::reason() const {
    std::lock_guard lock(impl_->stateLock);
    return impl_->reason;
}

} // namespace playback
