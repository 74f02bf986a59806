#include "camsim/v1_camera.h"

#include "camsim/camera_sources.h"
#include "camsim/tcp_server.h"
#include "fenwa10/md5.h"
#include "message_io.h"
#include "transport/protocol_message.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace camsim {

namespace {

constexpr uint32_t kAskConnectionNumber = 0;
constexpr uint32_t kLogin = 1;
constexpr uint32_t kAttach = 2;
constexpr uint32_t kKeepAlive = 3;
constexpr uint32_t kSerial = 11;
constexpr uint32_t kOutput = 13;
constexpr uint32_t kInputNotice = 0x1000C;
constexpr uint32_t kMotionNotice = 0x1000E;
constexpr uint32_t kSetMotion = 14;
constexpr uint32_t kBye = 18;
constexpr uint32_t kAskMotion = 21;
constexpr uint32_t kAskVideoConfig = 32;
constexpr uint32_t kStreamPrepare = 33;
constexpr uint32_t kStreamStart = 34;
constexpr uint32_t kStreamStartType4 = 35;

constexpr uint32_t kReplyFlag = 0x10000;
constexpr std::size_t kLoginRecordSize = 120;
constexpr std::size_t kMediaPayloadLimit = 256000;
constexpr std::size_t kUnpacedBatchBytes = 128 * 1024;

std::vector<uint8_t> le32(uint32_t v) {
    std::vector<uint8_t> out(4);
    transport::putUint32Le(out.data(), v);
    return out;
}

std::vector<uint8_t> acceptance(bool accepted) {
    std::vector<uint8_t> out(8, 0);
    out[0] = accepted ? 1 : 0;
    return out;
}

std::string fixedText(const uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

} // namespace

struct V1Camera::Impl {
    CameraOptions options;
    FaultSwitches faults;
    Recording recording;
    std::shared_ptr<CameraHead> head;
    TcpServer login;
    TcpServer control;
    TcpServer media;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    CameraVideoSettings video;
    std::vector<uint8_t> motion = std::vector<uint8_t>(68, 0);
    std::shared_ptr<Connection> loginConnection;
    std::shared_ptr<Connection> controlConnection;
    std::shared_ptr<Connection> mediaConnection;
    bool streaming = false;
    bool stopping = false;

    explicit Impl(CameraOptions o)
        : options(std::move(o)), head(std::make_shared<CameraHead>(options.ptzAddress, options.clock)),
          video(options.video) {
        head->setMotionDetection(options.scene.enabled, {});
    }

    std::shared_ptr<Connection> current(Channel channel) const {
        std::lock_guard<std::mutex> lock(mutex);
        switch (channel) {
        case Channel::Login: return loginConnection;
        case Channel::Control: return controlConnection;
        case Channel::Media: return mediaConnection;
        default: return nullptr;
        }
    }

    void setStreaming(bool on) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            streaming = on;
        }
        changed.notify_all();
    }

    bool reply(Connection& c, Channel channel, uint32_t type, const std::vector<uint8_t>& payload) {
        if (channel == Channel::Control && faults.stallControl.load()) return true;
        return sendMessage(c, type, payload);
    }

    void serveLogin(const std::shared_ptr<Connection>& c) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            loginConnection = c;
        }
        uint32_t type = 0;
        std::vector<uint8_t> payload;
        while (readMessage(*c, transport::kMaxMessagePayload, type, payload) == ReadResult::Ok) {
            recording.add(Channel::Login, type, payload);
            if (faults.silentLogin.load()) continue;
            if (type == kAskConnectionNumber) {
                uint32_t number = faults.zeroConnectionNumber.load() ? 0 : options.connectionNumber;
                sendMessage(*c, kReplyFlag | kAskConnectionNumber, le32(number));
            } else if (type == kLogin) {
                bool ok = !faults.refuseLogin.load() && payload.size() >= kLoginRecordSize &&
                          fixedText(payload.data(), 40) == fenwa10::Md5::hexDigest(options.user) &&
                          fixedText(payload.data() + 40, 40) == fenwa10::Md5::hexDigest(options.password) &&
                          transport::getUint32Le(payload.data() + 104) == options.connectionNumber;
                sendMessage(*c, kReplyFlag | kLogin, acceptance(ok));
            }
        }
    }

    void serveControl(const std::shared_ptr<Connection>& c) {
        uint32_t type = 0;
        std::vector<uint8_t> payload;
        while (readMessage(*c, transport::kMaxMessagePayload, type, payload) == ReadResult::Ok) {
            recording.add(Channel::Control, type, payload);
            handleControl(c, type, payload);
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (controlConnection == c) controlConnection.reset();
    }

    void handleControl(const std::shared_ptr<Connection>& c, uint32_t type, const std::vector<uint8_t>& payload) {
        int32_t value = payload.size() >= 4 ? static_cast<int32_t>(transport::getUint32Le(payload.data())) : 0;
        switch (type) {
        case kAttach: {
            bool ok = !faults.refuseControlAttach.load() && payload.size() >= 4 &&
                      static_cast<uint32_t>(value) == options.connectionNumber;
            if (ok) {
                std::lock_guard<std::mutex> lock(mutex);
                controlConnection = c;
            }
            reply(*c, Channel::Control, kReplyFlag | kAttach, acceptance(ok));
            break;
        }
        case kSerial: head->receiveSerial(payload); break;
        case kOutput:
            // The value travels in the high nibble.
            if (!payload.empty()) head->setOutput(payload[0] != 0);
            break;
        case kKeepAlive:
            if (!faults.ignoreKeepAlive.load()) reply(*c, Channel::Control, kReplyFlag | kKeepAlive, {});
            break;
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10: {
            if (payload.size() < 4) break;
            std::lock_guard<std::mutex> lock(mutex);
            switch (type) {
            case 4: video.brightness = value; break;
            case 5: video.contrast = value; break;
            case 6: video.saturation = value; break;
            case 7: video.hue = value; break;
            case 8: video.frameRate = static_cast<uint16_t>(value); break;
            case 9: video.bitRateCode = value; break;
            default: video.resolutionCode = value; break;
            }
            break;
        }
        case kSetMotion:
            if (payload.size() >= 68) {
                std::lock_guard<std::mutex> lock(mutex);
                motion.assign(payload.begin(), payload.begin() + 68);
                applyMotionSettings(payload);
            }
            break;
        case kAskMotion:
            if (!faults.ignoreConfigRequests.load()) {
                std::vector<uint8_t> copy;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    copy = motion;
                }
                reply(*c, Channel::Control, kReplyFlag | kAskMotion, copy);
            }
            break;
        case kAskVideoConfig:
            if (!faults.ignoreConfigRequests.load()) {
                CameraVideoSettings settings;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    settings = video;
                }
                reply(*c, Channel::Control, kReplyFlag | kAskVideoConfig, videoConfigPayload(settings));
            }
            break;
        case kStreamPrepare: {
            // The stream header goes out on the media channel: a 12-byte
            // message header and 21 bytes of the camera's own layer header.
            if (auto m = current(Channel::Media)) {
                std::vector<uint8_t> header21 = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20};
                header21.resize(21, 0x11);
                if (!faults.stallMedia.load()) sendMessage(*m, kReplyFlag | kStreamPrepare, header21);
            }
            reply(*c, Channel::Control, 0x10021, {});
            break;
        }
        case kStreamStart:
        case kStreamStartType4:
            if (!streamingNow()) {
                setStreaming(true);
            } else if (type == kStreamStartType4) {
                // 35 while streaming is the first message of a disconnection.
                setStreaming(false);
            }
            reply(*c, Channel::Control, 0x10021, {});
            break;
        case kBye:
            setStreaming(false);
            if (faults.closeControlOnBye.load()) c->shutdown();
            break;
        default: break;
        }
    }

    // Called under the lock with the 68-byte settings: enabled, region
    // count, then four window values per region.
    void applyMotionSettings(const std::vector<uint8_t>& record) {
        auto value = [&](int index) { return static_cast<int32_t>(transport::getUint32Le(record.data() + 4 * index)); };
        std::vector<std::array<int32_t, 4>> windows;
        for (int r = 0; r < std::clamp(value(1), 0, 3); ++r) {
            windows.push_back({value(2 + 4 * r), value(3 + 4 * r), value(4 + 4 * r), value(5 + 4 * r)});
        }
        int width = 0, height = 0;
        cameraPictureSize(video, width, height);
        head->setMotionDetection(value(0) == 1, motionRegionsFromWindows(windows, width, height));
    }

    bool streamingNow() const {
        std::lock_guard<std::mutex> lock(mutex);
        return streaming;
    }

    void serveMedia(const std::shared_ptr<Connection>& c) {
        uint32_t type = 0;
        std::vector<uint8_t> payload;
        if (readMessage(*c, transport::kMaxMessagePayload, type, payload) != ReadResult::Ok) return;
        recording.add(Channel::Media, type, payload);
        bool ok = type == kAttach && !faults.refuseMediaAttach.load() && payload.size() >= 4 &&
                  transport::getUint32Le(payload.data()) == options.connectionNumber;
        if (ok) {
            std::lock_guard<std::mutex> lock(mutex);
            mediaConnection = c;
        }
        sendMessage(*c, kReplyFlag | kAttach, acceptance(ok));
        if (!ok) return;
        if (options.autoStream) {
            streamFrames(c);
        } else {
            // Nothing more is expected from the client; wait for it to leave.
            while (readMessage(*c, kMediaPayloadLimit, type, payload) == ReadResult::Ok) {
                recording.add(Channel::Media, type, payload);
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (mediaConnection == c) mediaConnection.reset();
    }

    std::unique_ptr<VideoSource> makeSource() {
        if (options.sourceFactory) return options.sourceFactory();
        CameraVideoSettings settings;
        {
            std::lock_guard<std::mutex> lock(mutex);
            settings = video;
        }
        if (options.scene.enabled) return makeSceneVideoSource(settings, options.scene, head);
        return makeCameraVideoSource(settings);
    }

    void streamFrames(const std::shared_ptr<Connection>& c) {
        std::unique_ptr<VideoSource> source;
        auto next = std::chrono::steady_clock::now();
        uint8_t perFrame = 0;
        VideoFrame frame;
        std::vector<uint8_t> batch;
        while (!c->isShutDown()) {
            if (!streamingNow() && !faults.link.stopReading.load() && c->socket().waitReadable(0)) {
                // The client sends nothing after attaching, so this is its close.
                uint8_t byte = 0;
                if (c->socket().receiveSome(&byte, 1).status != platform::RecvStatus::Ok) return;
            }
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait_for(lock, std::chrono::milliseconds(50),
                                 [&] { return stopping || (streaming && mediaConnection == c); });
                if (stopping) return;
                if (!streaming || mediaConnection != c) continue;
            }
            if (faults.stallMedia.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            if (!source) source = makeSource();
            if (!source->nextFrame(frame)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            noticeEvents();
            appendFrame(batch, frame, perFrame++);
            // Unpaced streams go out in batches, as a busy camera's would.
            if (options.paceFrames || batch.size() >= kUnpacedBatchBytes) {
                if (!c->send(batch.data(), batch.size())) return;
                batch.clear();
            }
            if (options.paceFrames) {
                next += std::chrono::microseconds(1000000 / std::max(1, source->frameRate()));
                std::this_thread::sleep_until(next);
            }
        }
    }

    // Events reach the client as control notices, which it latches into the
    // next frame it builds; so they go out before every frame while they last.
    void noticeEvents() {
        auto c = current(Channel::Control);
        if (!c || faults.stallControl.load()) return;
        if (const int bits = head->motionBits(); bits != 0)
            sendMessage(*c, kMotionNotice, {static_cast<uint8_t>(bits)});
        if (const int inputs = head->activeInputs(); inputs != 0) {
            sendMessage(*c, kInputNotice, {static_cast<uint8_t>(inputs)});
        }
    }

    // Appends one video message, with the faults that are switched on.
    void appendFrame(std::vector<uint8_t>& out, const VideoFrame& frame, uint8_t perFrame) {
        const std::size_t at = out.size();
        appendVideoMessage(out, frame, perFrame);
        if (faults.wrongMagicOnce.exchange(false)) out[at] = 'X';
        if (faults.oversizedPayloadOnce.exchange(false)) {
            transport::putUint32Le(out.data() + at + 8, static_cast<uint32_t>(kMediaPayloadLimit + 1));
        }
    }

    bool sendFrame(Connection& c, const VideoFrame& frame, uint8_t perFrame) {
        std::vector<uint8_t> bytes;
        appendFrame(bytes, frame, perFrame);
        return c.send(bytes.data(), bytes.size());
    }
};

V1Camera::V1Camera(CameraOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

V1Camera::~V1Camera() { stop(); }

bool V1Camera::start() {
    Impl& d = *impl_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = false;
    }
    const std::string& host = d.options.host;
    if (!d.login.start(
            host, d.options.loginPort, [&d](const auto& c) { d.serveLogin(c); }, &d.faults.link) ||
        !d.control.start(
            host, d.options.controlPort, [&d](const auto& c) { d.serveControl(c); }, &d.faults.link) ||
        !d.media.start(
            host, d.options.mediaPort, [&d](const auto& c) { d.serveMedia(c); }, &d.faults.link)) {
        stop();
        return false;
    }
    return true;
}

void V1Camera::stop() {
    Impl& d = *impl_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = true;
    }
    d.changed.notify_all();
    d.login.stop();
    d.control.stop();
    d.media.stop();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.loginConnection.reset();
    d.controlConnection.reset();
    d.mediaConnection.reset();
    d.streaming = false;
}

uint16_t V1Camera::loginPort() const { return impl_->login.port(); }
uint16_t V1Camera::controlPort() const { return impl_->control.port(); }
uint16_t V1Camera::mediaPort() const { return impl_->media.port(); }
const CameraOptions& V1Camera::options() const { return impl_->options; }
Recording& V1Camera::recording() { return impl_->recording; }
CameraHead& V1Camera::head() { return *impl_->head; }
FaultSwitches& V1Camera::faults() { return impl_->faults; }

CameraVideoSettings V1Camera::videoSettings() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->video;
}

void V1Camera::setVideoSettings(const CameraVideoSettings& settings) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->video = settings;
}

std::vector<uint8_t> V1Camera::videoConfigPayload(const CameraVideoSettings& s) {
    std::vector<uint8_t> out(48, 0);
    transport::putUint32Le(out.data() + 0, static_cast<uint32_t>(s.videoStandard));
    transport::putUint32Le(out.data() + 8, static_cast<uint32_t>(s.resolutionCode));
    transport::putUint32Le(out.data() + 12, static_cast<uint32_t>(s.bitRateCode));
    transport::putUint32Le(out.data() + 16, static_cast<uint32_t>(s.brightness));
    transport::putUint32Le(out.data() + 20, static_cast<uint32_t>(s.contrast));
    transport::putUint32Le(out.data() + 24, static_cast<uint32_t>(s.saturation));
    transport::putUint32Le(out.data() + 28, static_cast<uint32_t>(s.hue));
    out[40] = static_cast<uint8_t>(s.frameRate);
    out[41] = static_cast<uint8_t>(s.frameRate >> 8);
    out[42] = static_cast<uint8_t>(s.configValue);
    out[43] = static_cast<uint8_t>(s.configValue >> 8);
    return out;
}

bool V1Camera::isStreaming() const { return impl_->streamingNow(); }

bool V1Camera::waitStreaming(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return impl_->streaming; });
}

bool V1Camera::sendControl(uint32_t type, const std::vector<uint8_t>& payload) {
    auto c = impl_->current(Channel::Control);
    return c && sendMessage(*c, type, payload);
}

bool V1Camera::sendControlRaw(const std::vector<uint8_t>& bytes) {
    auto c = impl_->current(Channel::Control);
    return c && c->send(bytes.data(), bytes.size());
}

void V1Camera::appendVideoMessage(std::vector<uint8_t>& out, const VideoFrame& frame, uint8_t perFrame) {
    // 12-byte message header, then the 16-byte camera header: time stamp
    // bytes at 5, 7, 9, 11 and the per-frame byte at 13; the rest is filler
    // the client ignores.
    const std::size_t at = out.size();
    out.resize(at + 12 + 16 + frame.data.size(), 0);
    uint8_t* m = out.data() + at;
    std::memcpy(m, transport::kMessageMagic, 4);
    transport::putUint32Le(m + 4, frame.intra ? 0x10040u : 0x10041u);
    transport::putUint32Le(m + 8, static_cast<uint32_t>(16 + frame.data.size()));
    for (int i = 0; i < 4; ++i) m[12 + 5 + 2 * i] = static_cast<uint8_t>(frame.timeStampMs >> (8 * i));
    m[12 + 13] = perFrame;
    if (!frame.data.empty()) std::memcpy(m + 28, frame.data.data(), frame.data.size());
}

std::vector<uint8_t> V1Camera::videoMessage(const VideoFrame& frame, uint8_t perFrame) {
    std::vector<uint8_t> out;
    appendVideoMessage(out, frame, perFrame);
    return out;
}

bool V1Camera::sendVideo(const VideoFrame& frame, uint8_t perFrame) {
    auto c = impl_->current(Channel::Media);
    return c && impl_->sendFrame(*c, frame, perFrame);
}

bool V1Camera::sendMediaRaw(const std::vector<uint8_t>& bytes) {
    auto c = impl_->current(Channel::Media);
    return c && c->send(bytes.data(), bytes.size());
}

void V1Camera::closeChannel(Channel channel) {
    if (auto c = impl_->current(channel)) c->shutdown();
}

} // namespace camsim
