#include "stream/shared_streams.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "live/live_stream.h"

namespace tavolin::ui {

namespace {

template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}

} // namespace

SharedStreams::~SharedStreams() = default;

std::string SharedStreams::cameraOf(const StreamSettings& settings) {
    const MediaConfig& c = settings.connection;
    // An RTSP camera with a second stream is known by that stream's address:
    // the address of the connection tells which of the two it is.
    const std::string host = settings.subStreamAddress.empty() ? fieldText(c.cameraAddress) : std::string();
    return std::to_string(settings.streamingType) + '\n' + host + '\n' + std::to_string(c.registerPort) + ':' +
           std::to_string(c.streamingPort) + ':' + std::to_string(c.httpPort) + ':' + std::to_string(c.controlPort) +
           '\n' + fieldText(c.userName) + '\n' + fieldText(c.password) + '\n' + settings.subStreamAddress;
}

std::string SharedStreams::keyOf(const StreamSettings& settings) {
    return cameraOf(settings) + '\n' + std::to_string(settings.connection.channel) + '\n' +
           fieldText(settings.connection.cameraAddress);
}

void SharedStreams::hold(LiveStream& stream, const StreamSettings& settings, Holder holder,
                         std::function<void()> start) {
    Held held;
    held.stream = &stream;
    held.raw = &stream;
    held.key = keyOf(settings);
    held.camera = cameraOf(settings);
    held.holder = holder;
    held.frames = settings.frames;
    LiveStream* s = &stream;
    connect(s, &LiveStream::closed, this, [this, s] { gone(s); });
    connect(s, &QObject::destroyed, this, [this, s] { gone(s); });

    const bool alone = std::none_of(held_.begin(), held_.end(), [&](const Held& h) { return h.key == held.key; });
    std::vector<QPointer<LiveStream>> asked;
    if (!alone) {
        held.start = std::move(start);
        if (holder == Holder::View) {
            for (Held& other : held_) {
                if (other.key != held.key || std::exchange(other.askedToLetGo, true)) continue;
                asked.push_back(other.stream);
            }
        }
    }
    const std::string key = held.key;
    held_.push_back(std::move(held));
    emit changed(QString::fromStdString(key));
    // Told once the books are right: a holder may close at once.
    for (const QPointer<LiveStream>& other : asked) {
        if (other) emit letGo(other);
    }
    if (alone && start) start();
}

void SharedStreams::gone(LiveStream* stream) {
    const auto it = std::find_if(held_.begin(), held_.end(), [stream](const Held& h) { return h.raw == stream; });
    if (it == held_.end()) return;
    const std::string key = it->key;
    held_.erase(it);
    startWaiting(key);
    emit changed(QString::fromStdString(key));
}

void SharedStreams::startWaiting(const std::string& key) {
    const auto first = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.key == key; });
    if (first == held_.end() || !first->start) return;
    std::function<void()> start = std::exchange(first->start, nullptr);
    start();
}

std::shared_ptr<FrameFanOut> SharedStreams::frames(const std::string& key) const {
    std::shared_ptr<FrameFanOut> newest;
    bool newestLetsGo = true;
    for (const Held& h : held_) {
        if (h.key != key) continue;
        // One that is letting go is taken only when there is no other.
        if (!h.askedToLetGo || newestLetsGo) {
            newest = h.frames;
            newestLetsGo = h.askedToLetGo;
        }
    }
    return newest;
}

LiveStream* SharedStreams::holderOf(const std::string& key) const {
    LiveStream* newest = nullptr;
    bool newestLetsGo = true;
    for (const Held& h : held_) {
        if (h.key != key) continue;
        if (!h.askedToLetGo || newestLetsGo) {
            newest = h.stream;
            newestLetsGo = h.askedToLetGo;
        }
    }
    return newest;
}

bool SharedStreams::viewHoldsCamera(const std::string& camera) const {
    return std::any_of(held_.begin(), held_.end(),
                       [&](const Held& h) { return h.camera == camera && h.holder == Holder::View; });
}

} // namespace tavolin::ui
