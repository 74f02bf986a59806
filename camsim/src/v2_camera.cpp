#include "camsim/v2_camera.h"

#include "audio_token.h"
#include "camsim/camera_sources.h"
#include "camsim/tcp_server.h"
#include "message_io.h"
#include "transport/contract.h"
#include "transport/protocol_message.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace camsim {

namespace {

constexpr std::size_t kLoginBlockSize = 128;
constexpr uint32_t kLoginCodeControl = 1;
constexpr uint32_t kLoginCodeAudioToken = 2;
constexpr uint32_t kSerialMessage = 54;
constexpr uint32_t kOutputMessage = 50;
constexpr uint32_t kAudioPacketMessage = 55;

std::string fixedText(const uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Reads and drops whatever the client sends until it leaves.
void waitUntilClosed(Connection& c) {
    uint8_t scratch[512];
    while (c.waitUntilReading()) {
        if (!c.socket().waitReadable(50) || !c.waitUntilReading()) continue;
        if (c.socket().receiveSome(scratch, sizeof scratch).status != platform::RecvStatus::Ok) return;
    }
}

// Visual-object-sequence and visual-object headers (10 bytes), then a
// video-object and video-object-layer header of 21 bytes.
std::vector<uint8_t> syntheticSequenceHeader() {
    std::vector<uint8_t> h = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5,
                              0x09, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20};
    h.resize(31, 0x11);
    return h;
}

std::string bitRateText(int32_t code) {
    if (code >= 0 && code < static_cast<int32_t>(std::size(transport::kBitRateTexts))) {
        return transport::kBitRateTexts[code];
    }
    return "1M";
}

std::string resolutionText(int32_t code) {
    const auto* r = transport::findResolution(code);
    return r != nullptr ? r->text : "N720x480";
}

int32_t toInt(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

std::vector<int32_t> numberList(const std::string& text) {
    std::vector<int32_t> out;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        out.push_back(toInt(text.substr(pos, end - pos)));
        pos = end + 1;
    }
    return out;
}

} // namespace

struct V2Camera::Impl {
    CameraOptions options;
    V2FaultSwitches faults;
    Recording recording;
    TcpServer control;
    TcpServer video;
    HttpServer http{&recording};
    AudioToken audioToken{recording, faults.refuseAudioToken};
    std::shared_ptr<CameraHead> head;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    CameraVideoSettings videoSettings;
    V2MotionSettings motion;
    std::string serial;
    int display = -1;
    std::shared_ptr<Connection> controlConnection;
    std::shared_ptr<Connection> videoConnection;
    std::vector<uint8_t> sequenceHeader = syntheticSequenceHeader();
    std::atomic<int> videoLogins{0};
    std::atomic<int> controlLogins{0};
    std::atomic<int> videoAtOnce{0};
    std::atomic<int> mostVideoAtOnce{0};

    explicit Impl(CameraOptions o)
        : options(std::move(o)), head(std::make_shared<CameraHead>(options.ptzAddress, options.clock)),
          videoSettings(options.video) {
        head->setMotionDetection(options.scene.enabled, {});
        audioToken.setPacketHandler([h = head](uint32_t type, const std::vector<uint8_t>& payload) {
            if (type == kAudioPacketMessage) h->receiveTalk(payload.data(), payload.size());
        });
    }

    std::shared_ptr<Connection> current(Channel channel) const {
        std::lock_guard lock(mutex);
        if (channel == Channel::Control) return controlConnection;
        if (channel == Channel::VideoV2) return videoConnection;
        return nullptr;
    }

    void setCurrent(Channel channel, const std::shared_ptr<Connection>& c) {
        {
            std::lock_guard lock(mutex);
            (channel == Channel::Control ? controlConnection : videoConnection) = c;
        }
        changed.notify_all();
    }

    void clearCurrent(Channel channel, const std::shared_ptr<Connection>& c) {
        std::lock_guard lock(mutex);
        auto& slot = channel == Channel::Control ? controlConnection : videoConnection;
        if (slot == c) slot.reset();
    }

    void serveControl(const std::shared_ptr<Connection>& c) {
        std::vector<uint8_t> block(kLoginBlockSize);
        if (!receiveExactly(*c, block.data(), block.size())) return;
        recording.add(Channel::Control, kLoginBlockType, block);
        const uint32_t code = transport::getUint32Le(block.data() + 32);
        if (code == kLoginCodeAudioToken) {
            serveAudioToken(c);
            return;
        }
        if (faults.silentControlLogin.load()) {
            waitUntilClosed(*c);
            return;
        }
        const bool ok = code == kLoginCodeControl && !faults.refuseControlLogin.load() &&
                        fixedText(block.data(), 32) == options.user.substr(0, 32) &&
                        fixedText(block.data() + 64, 64) == options.password;
        std::vector<uint8_t> answer(kLoginBlockSize, 0);
        transport::putUint32Le(answer.data(), ok ? 0 : 1);
        if (!c->send(answer.data(), answer.size()) || !ok) return;
        ++controlLogins;
        setCurrent(Channel::Control, c);
        uint32_t type = 0;
        std::vector<uint8_t> payload;
        while (readMessage(*c, transport::kMaxMessagePayload, type, payload) == ReadResult::Ok) {
            if (type == kSerialMessage) head->receiveSerial(payload);
            if (type == kOutputMessage && !payload.empty()) head->setOutput(payload[0] != 0);
            recording.add(Channel::Control, type, payload);
        }
        clearCurrent(Channel::Control, c);
    }

    // An audio-out token request (login code 2).
    void serveAudioToken(const std::shared_ptr<Connection>& c) { audioToken.serve(c); }

    void serveVideo(const std::shared_ptr<Connection>& c) {
        std::vector<uint8_t> block(kLoginBlockSize);
        if (!receiveExactly(*c, block.data(), block.size())) return;
        recording.add(Channel::VideoV2, kLoginBlockType, block);
        const bool ok = !faults.refuseVideoLogin.load() && fixedText(block.data(), 64) == options.user &&
                        fixedText(block.data() + 64, 64) == options.password;
        std::vector<uint8_t> answer(kLoginBlockSize, 0);
        answer[0] = ok ? 0 : 1;
        transport::putUint32Le(answer.data() + 4, ok ? kVideoLoginValue : 0);
        if (!c->send(answer.data(), answer.size()) || !ok) return;
        ++videoLogins;
        const int atOnce = ++videoAtOnce;
        for (int most = mostVideoAtOnce.load();
             atOnce > most && !mostVideoAtOnce.compare_exchange_weak(most, atOnce);) {}
        if (faults.oneVideoClient.load() && atOnce > 1) {
            // Another client has the stream.
            waitUntilClosed(*c);
            --videoAtOnce;
            return;
        }
        setCurrent(Channel::VideoV2, c);
        if (options.autoStream) {
            streamFrames(c);
        } else {
            waitUntilClosed(*c);
        }
        clearCurrent(Channel::VideoV2, c);
        --videoAtOnce;
    }

    std::unique_ptr<VideoSource> makeSource() {
        if (options.sourceFactory) return options.sourceFactory();
        CameraVideoSettings settings;
        {
            std::lock_guard lock(mutex);
            settings = videoSettings;
        }
        if (options.scene.enabled) return makeSceneVideoSource(settings, options.scene, head);
        return makeCameraVideoSource(settings);
    }

    void streamFrames(const std::shared_ptr<Connection>& c) {
        std::unique_ptr<VideoSource> source = makeSource();
        if (std::vector<uint8_t> h = source->sequenceHeader(); h.size() == 31) {
            std::lock_guard lock(mutex);
            sequenceHeader = std::move(h);
        }
        auto next = std::chrono::steady_clock::now();
        uint8_t perFrame = 0;
        // Audio records follow the video records they belong with in time.
        std::unique_ptr<AudioSource> audio = options.streamAudio ? makeCameraAudioSource() : nullptr;
        AudioBlock block;
        uint8_t audioCount = 0;
        bool audioPending = audio && audio->nextBlock(block);
        while (!c->isShutDown()) {
            if (!faults.link.stopReading.load() && c->socket().waitReadable(0)) {
                // The client sends nothing after its login, so this is its close.
                uint8_t byte = 0;
                if (c->socket().receiveSome(&byte, 1).status != platform::RecvStatus::Ok) return;
            }
            if (faults.stallVideo.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            VideoFrame frame;
            if (!source->nextFrame(frame)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            std::vector<uint8_t> record = frameRecord(frame, 1, perFrame++);
            // Events ride in the header: one bit per region with motion, and
            // the inputs active low.
            record[18] = static_cast<uint8_t>(head->motionBits());
            record[19] = static_cast<uint8_t>(3 & ~head->activeInputs());
            if (!sendRecord(*c, std::move(record))) return;
            while (audioPending && block.timeStampMs <= frame.timeStampMs) {
                const std::vector<uint8_t> record = audioRecord(block, audioCount++);
                if (!c->send(record.data(), record.size())) return;
                audioPending = audio->nextBlock(block);
            }
            if (options.paceFrames) {
                next += std::chrono::microseconds(1000000 / std::max(1, source->frameRate()));
                std::this_thread::sleep_until(next);
            }
        }
    }

    bool sendRecord(Connection& c, std::vector<uint8_t> record) {
        if (faults.badStartCodeOnce.exchange(false)) record[3] = 0xB3;
        return c.send(record.data(), record.size());
    }

    std::vector<uint8_t> frameRecord(const VideoFrame& frame, uint8_t kind, uint8_t perFrame) const {
        CameraVideoSettings s;
        std::vector<uint8_t> headers;
        {
            std::lock_guard lock(mutex);
            s = videoSettings;
            if (kind == 1 && frame.intra) headers = sequenceHeader;
        }
        const std::size_t total = transport::kFrameHeaderSize + headers.size() + frame.data.size();
        std::vector<uint8_t> record(total, 0);
        std::memcpy(record.data(), transport::kFrameStartCode, 4);
        record[4] = kind;
        transport::putUint32Le(record.data() + 12, frame.timeStampMs);
        record[16] = perFrame;
        record[19] = 3; // no digital input active
        record[24] = static_cast<uint8_t>(s.resolutionCode);
        record[25] = static_cast<uint8_t>(s.bitRateCode);
        record[26] = static_cast<uint8_t>(s.configValue);
        record[27] = static_cast<uint8_t>(s.frameRate);
        uint8_t* body = record.data() + transport::kFrameHeaderSize;
        if (!headers.empty()) std::memcpy(body, headers.data(), headers.size());
        if (!frame.data.empty()) std::memcpy(body + headers.size(), frame.data.data(), frame.data.size());
        transport::putUint32Le(record.data() + 8, static_cast<uint32_t>(total - 12));
        return record;
    }

    HttpResponse answerMpeg4(const HttpRequest& request) {
        const auto params = request.parameters();
        std::string user, password;
        for (const auto& [name, value] : params) {
            if (name == "USER" && value) user = *value;
            if (name == "PWD" && value) password = *value;
        }
        if (user != options.user || password != options.password) return {401, "unauthorized\n"};
        std::lock_guard lock(mutex);
        std::string body;
        int motionEntries = 0;
        bool motionChanged = false;
        for (const auto& [name, value] : params) {
            if (name == "USER" || name == "PWD" || name == "CHANNEL") continue;
            if (value) {
                applySetting(name, *value, motionEntries);
                motionChanged = motionChanged || name.rfind("MOTION_", 0) == 0;
            } else {
                body += reportSetting(name);
            }
        }
        if (motionEntries > 0) motion.regionCount = motionEntries;
        if (motionChanged) {
            std::vector<std::array<int32_t, 4>> windows;
            for (int r = 0; r < std::clamp(motion.regionCount, 0, 3); ++r) {
                const auto& g = motion.regions[static_cast<std::size_t>(r)];
                windows.push_back({g[0], g[1], g[2], g[3]});
            }
            int width = 0, height = 0;
            cameraPictureSize(videoSettings, width, height);
            head->setMotionDetection(motion.enabled == 1, motionRegionsFromWindows(windows, width, height));
        }
        return {200, body.empty() ? "OK\n" : body};
    }

    void applySetting(const std::string& name, const std::string& value, int& motionEntries) {
        CameraVideoSettings& v = videoSettings;
        if (name == "VIDEO_BITRATE") {
            v.bitRateCode = toInt(value);
        } else if (name == "VIDEO_RESOLUTION") {
            for (const auto& r : transport::kResolutionCodes) {
                if (value == r.text) {
                    v.resolutionCode = r.code;
                    v.videoStandard = r.text[0] == 'P' ? 1 : 0;
                }
            }
        } else if (name == "VIDEO_FPS_NUM") {
            v.frameRate = static_cast<uint16_t>(toInt(value));
        } else if (name == "VIDEO_BRIGHTNESS") {
            v.brightness = toInt(value);
        } else if (name == "VIDEO_CONTRAST") {
            v.contrast = toInt(value);
        } else if (name == "VIDEO_HUE") {
            v.hue = toInt(value);
        } else if (name == "VIDEO_SATURATION") {
            v.saturation = toInt(value);
        } else if (name == "MOTION_ENABLED") {
            motion.enabled = toInt(value);
        } else if (name == "MOTION_SETTING") {
            const std::vector<int32_t> n = numberList(value);
            if (n.size() == 6 && n[0] >= 1 && n[0] <= 3) {
                for (int k = 0; k < 5; ++k) motion.regions[n[0] - 1][k] = n[1 + k];
                ++motionEntries;
            }
        } else if (name == "SERIAL_SETTING") {
            serial = value;
        }
    }

    std::string reportSetting(const std::string& name) const {
        const CameraVideoSettings& v = videoSettings;
        auto quoted = [&](const std::string& text) { return name + "='" + text + "'\n"; };
        if (name == "VIDEO_BITRATE") return quoted(bitRateText(v.bitRateCode));
        if (name == "VIDEO_RESOLUTION") return quoted(resolutionText(v.resolutionCode));
        if (name == "VIDEO_FPS_NUM") return quoted(std::to_string(v.frameRate));
        if (name == "VIDEO_BRIGHTNESS") return quoted(std::to_string(v.brightness));
        if (name == "VIDEO_CONTRAST") return quoted(std::to_string(v.contrast));
        if (name == "VIDEO_HUE") return quoted(std::to_string(v.hue));
        if (name == "VIDEO_SATURATION") return quoted(std::to_string(v.saturation));
        if (name == "MOTION_ENABLED") {
            char text[16];
            std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(motion.enabled & 0xFF));
            return quoted(text);
        }
        if (name == "MOTION_STATUS") {
            std::string lines;
            for (int r = 0; r < std::clamp(motion.regionCount, 0, 3); ++r) {
                lines += "MOTION_STATUS=" + std::to_string(r + 1);
                for (int32_t value : motion.regions[r]) lines += "," + std::to_string(value);
                lines += "\n";
            }
            return lines;
        }
        return {};
    }

    HttpResponse answerQuad(const HttpRequest& request) {
        for (const auto& [name, value] : request.parameters()) {
            if (name == "DISPLAY" && value) {
                std::lock_guard lock(mutex);
                display = toInt(*value);
                head->setQuadMode(display);
            }
        }
        return {200, "OK\n"};
    }

    HttpResponse answer(const HttpRequest& request) {
        if (request.path == "/cgi-bin/mpeg4") return answerMpeg4(request);
        if (request.path == "/cgi-bin/quad") return answerQuad(request);
        return {404, "not found\n"};
    }
};

V2Camera::V2Camera(CameraOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

V2Camera::~V2Camera() { stop(); }

bool V2Camera::start() {
    Impl& d = *impl_;
    const std::string& host = d.options.host;
    if (!d.control.start(
            host, d.options.controlPort, [&d](const auto& c) { d.serveControl(c); }, &d.faults.link) ||
        !d.video.start(
            host, d.options.videoPort, [&d](const auto& c) { d.serveVideo(c); }, &d.faults.link) ||
        !d.http.start(host, d.options.httpPort, [&d](const HttpRequest& r) { return d.answer(r); })) {
        stop();
        return false;
    }
    return true;
}

void V2Camera::stop() {
    Impl& d = *impl_;
    d.control.stop();
    d.video.stop();
    d.http.stop();
    std::lock_guard lock(d.mutex);
    d.controlConnection.reset();
    d.videoConnection.reset();
}

uint16_t V2Camera::controlPort() const { return impl_->control.port(); }
uint16_t V2Camera::videoPort() const { return impl_->video.port(); }

int V2Camera::videoLogins() const { return impl_->videoLogins.load(); }

int V2Camera::controlLogins() const { return impl_->controlLogins.load(); }

int V2Camera::mostVideoAtOnce() const { return impl_->mostVideoAtOnce.load(); }
uint16_t V2Camera::httpPort() const { return impl_->http.port(); }
const CameraOptions& V2Camera::options() const { return impl_->options; }
Recording& V2Camera::recording() { return impl_->recording; }
CameraHead& V2Camera::head() { return *impl_->head; }
V2FaultSwitches& V2Camera::faults() { return impl_->faults; }
HttpServer& V2Camera::http() { return impl_->http; }

CameraVideoSettings V2Camera::videoSettings() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->videoSettings;
}

void V2Camera::setVideoSettings(const CameraVideoSettings& settings) {
    std::lock_guard lock(impl_->mutex);
    impl_->videoSettings = settings;
}

V2MotionSettings V2Camera::motionSettings() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->motion;
}

void V2Camera::setMotionSettings(const V2MotionSettings& settings) {
    std::lock_guard lock(impl_->mutex);
    impl_->motion = settings;
}

std::string V2Camera::serialSetting() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->serial;
}

int V2Camera::displayMode() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->display;
}

void V2Camera::setAudioTokenHolder(const std::array<uint8_t, 4>& address) {
    impl_->audioToken.setForcedHolder(address);
}

bool V2Camera::waitControlLogin(int timeoutMs) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return impl_->controlConnection != nullptr; });
}

bool V2Camera::waitVideoLogin(int timeoutMs) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return impl_->videoConnection != nullptr; });
}

bool V2Camera::sendControl(uint32_t type, const std::vector<uint8_t>& payload) {
    auto c = impl_->current(Channel::Control);
    return c && sendMessage(*c, type, payload);
}

bool V2Camera::sendControlRaw(const std::vector<uint8_t>& bytes) {
    auto c = impl_->current(Channel::Control);
    return c && c->send(bytes.data(), bytes.size());
}

bool V2Camera::sendVideoRaw(const std::vector<uint8_t>& bytes) {
    auto c = impl_->current(Channel::VideoV2);
    return c && c->send(bytes.data(), bytes.size());
}

bool V2Camera::sendFrame(const VideoFrame& frame, uint8_t kind) {
    auto c = impl_->current(Channel::VideoV2);
    return c && impl_->sendRecord(*c, impl_->frameRecord(frame, kind, 0));
}

std::vector<uint8_t> V2Camera::frameRecord(const VideoFrame& frame, uint8_t kind, uint8_t perFrame) const {
    return impl_->frameRecord(frame, kind, perFrame);
}

void V2Camera::closeChannel(Channel channel) {
    if (auto c = impl_->current(channel)) c->shutdown();
}

} // namespace camsim
