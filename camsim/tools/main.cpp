// tavolin-camsim: runs one or more simulated cameras until interrupted,
// printing what they serve and what they receive; can write a settings file
// for the viewer that points at them.
#include "camsim/encoding_delays.h"
#include "camsim/onvif_camera.h"
#include "camsim/onvif_rtsp_streams.h"
#include "camsim/rtsp_camera.h"
#include "camsim/settings_file.h"
#include "camsim/simulated_camera.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef CAMSIM_WITH_RTSP
#define CAMSIM_WITH_RTSP 0
#endif

#ifndef CAMSIM_PTZ_SOURCE_DIR
#define CAMSIM_PTZ_SOURCE_DIR ""
#endif

namespace {

std::atomic<bool> gInterrupted{false};

void onSignal(int) { gInterrupted.store(true); }

constexpr int kPortsPerCamera = 10;
constexpr int kInputPulseMs = 2000;

// What an ONVIF camera's PTZ offers for pointing.
bool parsePtzSpaces(const char* text, camsim::OnvifPtzSpaces& out) {
    const std::string t = text;
    if (t == "fov")
        out = camsim::OnvifPtzSpaces::FieldOfView;
    else if (t == "generic")
        out = camsim::OnvifPtzSpaces::Generic;
    else if (t == "continuous")
        out = camsim::OnvifPtzSpaces::ContinuousOnly;
    else
        return false;
    return true;
}

// A head fault, added to those given before.
bool parseHeadFault(const char* text, camsim::HeadFaults& out) {
    const std::string t = text;
    if (t == "inverted-pan")
        out.invertPan = true;
    else if (t == "inverted-tilt")
        out.invertTilt = true;
    else if (t == "curved-zoom")
        out.curvedZoom = true;
    else
        return false;
    return true;
}

void usage() {
    std::printf("usage: tavolin-camsim [--cameras N] [--protocol 1|2 | --protocols LIST] [--host ADDR]\n"
                "                      [--login-port N] [--control-port N] [--media-port N] [--video-port N]\n"
                "                      [--http-port N] [--user NAME] [--password TEXT] [--name TEXT]\n"
                "                      [--resolution CODE] [--frame-rate N] [--connection-number N]\n"
                "                      [--inputs-every SECONDS] [--quad-camera N] [--test-pattern]\n"
                "                      [--write-settings FILE] [--time-strip]\n"
                "       tavolin-camsim --onvif [--cameras N] [--http-port N] [--user NAME] [--password TEXT]\n"
                "                      [--onvif-fault NAME] [--answer-delay MS] [--name TEXT]\n"
                "                      [--talk-codec pcmu|pcma|aac]\n"
                "                      [--frame-rate N] [--key-interval N] [--no-audio]\n"
                "                      [--size WxH] [--sub-size WxH] [--bitrate KBITS] [--pre-encoded SECONDS]\n"
                "                      [--no-sd-card] [--ring-hours N] [--recordings-per-day N]\n"
                "                      [--events-per-day N] [--search-page N]\n"
                "                      [--discovery-port N] [--write-settings FILE]\n"
                "                      [--ptz-spaces fov|generic|continuous] [--head-fault NAME]\n"
                "       tavolin-camsim --rtsp [--cameras N] [--port N] [--codec h264|h265|mjpeg]\n"
                "                      [--size WxH] [--frame-rate N] [--bitrate KBITS] [--key-interval N]\n"
                "                      [--no-audio] [--pre-encoded SECONDS] [--fault NAME] [--trickle-ms N]\n"
                "                      [--session-timeout SECONDS] [--time-strip] [--clock-rate FACTOR]\n"
                "                      [--encoding-delay]\n"
                "                      [--user NAME] [--password TEXT] [--name TEXT] [--write-settings FILE]\n"
                "Runs N cameras (default 1), protocol 2 unless told otherwise; LIST gives one\n"
                "protocol per camera (\"2,1,2\"; 4 an RTSP and 5 an ONVIF camera). Pictures are\n"
                "352 x 240 (resolution code 1) at 30 pictures/s unless --resolution and\n"
                "--frame-rate say otherwise.\n"
                "Camera k (from 1) uses the given ports plus\n"
                "10 x (k - 1) (the web server port plus k - 1); port 0 picks free ports.\n"
                "Binds 127.0.0.1 unless --host says otherwise. Each camera draws a scene that\n"
                "answers PTZ (Pelco-D or Pelco-P at PTZ address 1 + (k - 1) mod 5), presets,\n"
                "the on-screen menu, the digital output and the quad display mode.\n"
                "--write-settings writes the viewer's settings file for the cameras; with three\n"
                "or more cameras the last protocol 2 camera is marked as a quad server unless\n"
                "--quad-camera says which (0 = none).\n"
                "--onvif runs ONVIF cameras instead: the device service at\n"
                "http://127.0.0.1:PORT/onvif/device_service (PORT from --http-port, default\n"
                "8080, plus k - 1), with WS-UsernameToken or HTTP digest authentication for\n"
                "the user and password, media profiles, PTZ with presets, pull-point events\n"
                "and the relay output; --onvif-fault makes every camera misbehave (stall,\n"
                "trickle, soap-fault, skewed-clock, foreign-xaddrs, huge-reply; for events:\n"
                "pull-at-once, expiring-pull-points (ended 60 s after made or renewed),\n"
                "reboot (every 30 s, refusing connections for 3 s), token-flood (32 new\n"
                "input tokens in every pull answer), two-pull-points; for the audio back\n"
                "channel: no-back-channel, back-channel-551, back-channel-silent,\n"
                "back-channel-redirect; for the SD card: no-replay (no replay service),\n"
                "replay-551 (replay requests answered 551), recording-gap (no pictures for\n"
                "a minute from ten minutes before start), recording-ends (the card stops\n"
                "recording 30 s after start), many-recordings (500 recordings and 10000\n"
                "events a day), paged-search (5 results a search answer)) and\n"
                "--answer-delay makes it answer slowly; --write-settings writes streaming\n"
                "type 5 records for them. --ptz-spaces chooses what PTZ offers for pointing:\n"
                "fov (the field-of-view spaces, default), generic (generic relative and\n"
                "absolute spaces only) or continuous (no relative or absolute moves);\n"
                "--head-fault inverted-pan, inverted-tilt or curved-zoom (repeatable) makes\n"
                "the head of every camera misbehave. Each profile (H.264, a main one of --size, default\n"
                "640x480, at --bitrate, and a second one of --sub-size, default 320x240, at\n"
                "500 kbit/s, both of the same scene) streams from an RTSP server of its own\n"
                "on a free port of 127.0.0.1, with a key picture every --key-interval\n"
                "pictures (default one a second) and none at a client's start unless it asks\n"
                "with a synchronisation point. --pre-encoded serves each profile from a loop\n"
                "encoded once for all the cameras (they then all show the first one's\n"
                "picture), so that 16 cameras of 1920x1080 and 640x360 run on two cores.\n"
                "Each camera has an SD card (unless --no-sd-card): it has recorded its main\n"
                "stream around the clock for the last --ring-hours (default 24), cut into\n"
                "--recordings-per-day recordings (default 24), with --events-per-day motion\n"
                "and input events (default 96) at fixed times; the search service lists\n"
                "them (at most --search-page results an answer, default 100) and the\n"
                "replay service plays them over RTSP as ONVIF replay (Require:\n"
                "onvif-replay, Range: clock=, Scale, Frames: intra, Rate-Control: no, the\n"
                "0xABAC header extension) from a server of their own, with digest\n"
                "authentication. A recorded picture shows its date and time, and along\n"
                "its bottom a strip of blocks that spells its milliseconds since 1970.\n"
                "WS-Discovery\n"
                "probes sent to 127.0.0.1:--discovery-port (default 3702; 0: none) are\n"
                "answered for every camera. Every stream also takes talk-back on the ONVIF\n"
                "audio back channel (G.711 mu-law unless --talk-codec says pcma or aac), whose\n"
                "level the picture shows.\n"
                "While running, type \"input K MASK\" to raise digital inputs of camera K\n"
                "(MASK 1 input 1, 2 input 2, 3 both) for two seconds.\n"
                "\n"
                "--rtsp runs RTSP cameras instead (always on 127.0.0.1): each serves its scene\n"
                "and a 1000 Hz tone (G.711 mu-law) at rtsp://127.0.0.1:PORT/h264, /h265 and\n"
                "/mjpeg, with digest authentication for --user and --password (default\n"
                "admin/admin). Camera k listens on --port (default 8554; 0 picks a free port)\n"
                "plus k - 1. Pictures are 640x480 at 25 pictures/s and 2000 kbit/s with a key\n"
                "picture a second unless --size, --frame-rate, --bitrate and --key-interval say\n"
                "otherwise. --pre-encoded SECONDS encodes that much of the scene once and\n"
                "serves it in a loop (for sizes too heavy to encode live), one loop for all\n"
                "the cameras. --fault makes the\n"
                "cameras misbehave: silent, trickle (one byte every --trickle-ms, default 50),\n"
                "stall (nothing after PLAY), 401, garbage, oversized (a 9 MB picture),\n"
                "close-mid-frame, no-parameter-sets, unsupported-codec (the video named\n"
                "VP8 in the session description), basic-only (Basic authentication instead\n"
                "of digest), basic-after-digest (a Basic challenge alone after the first\n"
                "request digest let in), close-after-401, basic-on-back-channel (digest for\n"
                "the picture, a Basic challenge alone for the audio back channel; also for\n"
                "--onvif cameras' streams), session-timeout (drops a client\n"
                "no request kept alive for --session-timeout, default 20 s),\n"
                "get-parameter-454 (the same, GET_PARAMETER refused and not offered, so\n"
                "only OPTIONS keeps it alive), get-parameter-454-offered (refused though\n"
                "offered), content-base-double-scheme (rtsp://rtsp://...),\n"
                "content-base-without-scheme, timestamp-jump (the video's RTP times three\n"
                "hours on), clock-step-back (its clock an hour back, sender reports too) or\n"
                "one-client (one video connection at a time: a second one takes the stream\n"
                "and the first is starved; also for --onvif cameras' streams).\n"
                "Digest challenges carry no qop (RFC 2069). --write-settings writes streaming type 4\n"
                "records whose CameraIP is the --codec mount's whole URL.\n"
                "--time-strip draws each picture's capture time (wall clock, ms) into its\n"
                "bottom rows as a machine-readable strip, for latency measurements.\n"
                "--clock-rate (RTSP and ONVIF cameras, live encoding) runs the camera's clock\n"
                "that much fast or slow (1.001: 0.1 %% fast, 0.9 to 1.1): its pictures leave\n"
                "and are time-stamped by that clock.\n"
                "--encoding-delay (RTSP cameras, live encoding) prints at exit how long its\n"
                "live pictures took from capture (the strip's time) to the encoded picture\n"
                "reaching the RTP payloader: median and 95th percentile.\n");
}

bool parseInt(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

bool parsePort(const char* text, uint16_t& out) {
    long v = 0;
    if (!parseInt(text, 0, 65535, v)) return false;
    out = static_cast<uint16_t>(v);
    return true;
}

bool parseProtocols(const std::string& text, std::vector<int>& out) {
    std::stringstream in(text);
    std::string item;
    out.clear();
    while (std::getline(in, item, ',')) {
        long v = 0;
        if (!parseInt(item.c_str(), 1, 5, v) || v == 3) return false;
#if !CAMSIM_WITH_RTSP
        if (v == camsim::kRtspStreamingType) return false;
#endif
        out.push_back(static_cast<int>(v));
    }
    return !out.empty();
}

uint16_t offsetPort(uint16_t base, int offset) {
    if (base == 0) return 0;
    const int port = base + offset;
    return port > 65535 ? 0 : static_cast<uint16_t>(port);
}

// A shipped PTZ protocol file beside the program, or the one in the sources.
std::string shippedPtzFile(const char* name) {
    std::error_code error;
    const auto exe = std::filesystem::canonical("/proc/self/exe", error);
    if (!error) {
        const auto beside = exe.parent_path() / "protocol" / name;
        if (std::filesystem::exists(beside, error)) return beside.string();
    }
    const std::filesystem::path source = std::filesystem::path(CAMSIM_PTZ_SOURCE_DIR) / name;
    if (!source.empty() && std::filesystem::exists(source, error)) return source.string();
    return {};
}

// "2026-12-08T09:30:10.240Z".
std::string utcText(int64_t unixMs) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(unixMs % 1000));
    return text;
}

bool parseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    long w = 0, h = 0;
    if (x == std::string::npos || !parseInt(text.substr(0, x).c_str(), 16, 3840, w) ||
        !parseInt(text.substr(x + 1).c_str(), 16, 2160, h)) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

void describe(int number, const camsim::SimulatedCamera& camera) {
    const auto& o = camera.settings().options;
    const camsim::OnvifFault onvifFault = camera.settings().onvifFault;
    const camsim::OnvifCamera* onvif = camera.onvif();
    const camsim::V1Camera* v1 = camera.v1();
    const camsim::V2Camera* v2 = camera.v2();
#if CAMSIM_WITH_RTSP
    if (const camsim::RtspCamera* rtsp = camera.rtsp()) {
        const auto& r = camera.settings().rtsp;
        std::printf("camera %d \"%s\": RTSP %s, %s, %s (%dx%d, %d pictures/s%s%s%s)\n", number, o.scene.name.c_str(),
                    rtsp->url(camsim::RtspCodec::H264).c_str(), rtsp->url(camsim::RtspCodec::H265).c_str(),
                    rtsp->url(camsim::RtspCodec::Mjpeg).c_str(), r.width, r.height, r.frameRate,
                    r.audio ? ", audio" : "", r.fault != camsim::RtspFault::None ? ", fault " : "",
                    r.fault != camsim::RtspFault::None ? camsim::rtspFaultName(r.fault) : "");
        return;
    }
#endif
    if (onvif) {
        std::printf("camera %d \"%s\": ONVIF at %s (user %s)%s%s\n", number, o.scene.name.c_str(),
                    onvif->deviceServiceUrl().c_str(), o.user.c_str(),
                    onvifFault != camsim::OnvifFault::None ? ", fault " : "",
                    onvifFault != camsim::OnvifFault::None ? camsim::onvifFaultName(onvifFault) : "");
        for (std::size_t i = 0; i < onvif->options().profiles.size(); ++i) {
            const auto& p = onvif->options().profiles[i];
#if CAMSIM_WITH_RTSP
            const std::string uri = camera.onvifStreams() ? camera.onvifStreams()->streamUri(i, p) : std::string("-");
#else
            const std::string uri = "no stream (built without RTSP)";
#endif
            std::printf("  profile %s: %s %dx%d, key picture every %d pictures, %s\n", p.token.c_str(),
                        p.encoding.c_str(), p.width, p.height, p.govLength, uri.c_str());
        }
        if (const camsim::SdCard* card = camera.sdCard()) {
            const int64_t now = card->nowMs();
            const auto recordings = card->recordings(now);
            const camsim::CardSpan data = card->data(now);
            std::printf("  SD card: %zu recordings from %s to %s\n", recordings.size(), utcText(data.fromMs).c_str(),
                        utcText(data.toMs).c_str());
            for (const auto& r : recordings) {
                for (const auto& gap : r.gaps) {
                    std::printf("  no pictures in %s from %s to %s\n", r.token.c_str(), utcText(gap.fromMs).c_str(),
                                utcText(gap.toMs).c_str());
                }
            }
#if CAMSIM_WITH_RTSP
            if (!recordings.empty() && camera.onvifStreams()) {
                std::printf("  the newest plays at %s\n",
                            camera.onvifStreams()->replayUri(recordings.back().token).c_str());
            }
#endif
        }
    } else if (v1) {
        std::printf("camera %d \"%s\": protocol 1 on %s, login %u, control %u, media %u; PTZ address %d\n", number,
                    o.scene.name.c_str(), o.host.c_str(), v1->loginPort(), v1->controlPort(), v1->mediaPort(),
                    o.ptzAddress);
    } else {
        std::printf("camera %d \"%s\": protocol 2 on %s, control %u, video %u, web server %u; PTZ address %d\n", number,
                    o.scene.name.c_str(), o.host.c_str(), v2->controlPort(), v2->videoPort(), v2->httpPort(),
                    o.ptzAddress);
    }
}

// "input K MASK" from standard input.
void handleCommand(const std::string& line, std::vector<std::unique_ptr<camsim::SimulatedCamera>>& cameras) {
    std::stringstream in(line);
    std::string word;
    long number = 0, mask = 0;
    if (!(in >> word)) return;
    if (word == "input" && (in >> number >> mask) && number >= 1 && number <= static_cast<long>(cameras.size()) &&
        mask >= 0 && mask <= 3) {
        cameras[static_cast<std::size_t>(number - 1)]->head().pulseInputs(static_cast<int>(mask), kInputPulseMs);
        std::printf("camera %ld: inputs %ld for %d ms\n", number, mask, kInputPulseMs);
    } else {
        std::printf("commands: input K MASK (camera K from 1, MASK 0 to 3)\n");
    }
}

int serveUntilInterrupted(std::vector<std::unique_ptr<camsim::SimulatedCamera>>& cameras) {
    std::fflush(stdout);
    std::vector<std::size_t> printed(cameras.size(), 0);
    bool readStdin = true;
    std::string pending;
    while (!gInterrupted.load()) {
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        if (readStdin && poll(&fd, 1, 200) > 0) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                readStdin = false;
            } else {
                pending.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                    handleCommand(pending.substr(0, end), cameras);
                }
            }
        } else if (!readStdin) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        for (std::size_t k = 0; k < cameras.size(); ++k) {
            if (cameras[k]->onvif()) {
                const auto log = cameras[k]->onvif()->requestLog();
                for (; printed[k] < log.size(); ++printed[k]) {
                    const auto& r = log[printed[k]];
                    std::printf("camera %zu received %s %s\n", k + 1, r.service.empty() ? "?" : r.service.c_str(),
                                r.operation.empty() ? "(unreadable)" : r.operation.c_str());
                }
                continue;
            }
            if (cameras[k]->recording() == nullptr) continue;
            const auto messages = cameras[k]->recording()->snapshot();
            for (; printed[k] < messages.size(); ++printed[k]) {
                const auto& m = messages[printed[k]];
                if (m.channel == camsim::Channel::Http) {
                    const std::string head = m.payloadText();
                    std::printf("camera %zu received on http: %s\n", k + 1, head.substr(0, head.find('\r')).c_str());
                } else if (m.channel != camsim::Channel::AudioOut || m.type != 55) {
                    std::printf("camera %zu received on %s: type %u, %zu payload bytes\n", k + 1,
                                camsim::channelName(m.channel), m.type, m.payload.size());
                }
            }
        }
        std::fflush(stdout);
    }
    for (auto& c : cameras) c->stop();
    std::printf("stopped\n");
    return 0;
}

#if CAMSIM_WITH_RTSP
void printEncodingDelay(const camsim::DelayFigures& f) {
    if (f.count == 0) {
        std::printf("encoding delay: no live picture encoded\n");
    } else {
        std::printf("encoding delay: median %.1f ms, 95th percentile %.1f ms, %ld pictures (capture to the encoded "
                    "picture at the RTP payloader: drawing, queueing, encoding)\n",
                    static_cast<double>(f.median) / 1000, static_cast<double>(f.percentile95) / 1000, f.count);
    }
    std::fflush(stdout);
}
#endif

} // namespace

int main(int argc, char** argv) {
    camsim::CameraOptions options;
    options.loginPort = 6000;
    options.controlPort = 6001;
    options.mediaPort = 6002;
    options.videoPort = 6002; // protocol 2 streaming port
    options.httpPort = 8080;  // protocol 2 web server (80 would need privileges)
    options.scene.enabled = true;
    options.video.resolutionCode = 1; // 352 x 240: several cameras fit beside a viewer
    std::vector<int> protocols;
    long cameraCount = 1;
    long inputsEvery = 0;
    long quadCamera = -1;
    std::string namePrefix = "Camera";
    std::string settingsPath;
    bool onvif = false;
    camsim::OnvifFault onvifFault = camsim::OnvifFault::None;
    camsim::OnvifPtzSpaces ptzSpaces = camsim::OnvifPtzSpaces::FieldOfView;
    camsim::HeadFaults headFaults;
    camsim::TalkCodec talkCodec = camsim::TalkCodec::Pcmu;
    long answerDelayMs = 0;
    uint16_t discoveryPort = 3702;
    bool rtsp = false;
#if CAMSIM_WITH_RTSP
    camsim::RtspOptions rtspOptions;
    rtspOptions.port = 8554;
    camsim::RtspCodec rtspCodec = camsim::RtspCodec::H264;
    int subWidth = 320;
    int subHeight = 240;
    bool sizeGiven = false;
#endif
    std::optional<camsim::SdCardOptions> sdCard = camsim::SdCardOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long number = 0;
        bool ok = value != nullptr;
        bool takesValue = true;
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (arg == "--time-strip") {
            options.scene.timeStrip = true;
#if CAMSIM_WITH_RTSP
            rtspOptions.timeStrip = true;
#endif
            takesValue = false;
            ok = true;
        } else if (arg == "--test-pattern") {
            options.scene.enabled = false;
            takesValue = false;
            ok = true;
        } else if (arg == "--onvif") {
            onvif = true;
            takesValue = false;
            ok = true;
        } else if (arg == "--onvif-fault" && ok) {
            ok = camsim::parseOnvifFault(value, onvifFault);
        } else if (arg == "--talk-codec" && ok) {
            ok = camsim::parseTalkCodec(value, talkCodec);
        } else if (arg == "--discovery-port" && ok) {
            ok = parsePort(value, discoveryPort);
        } else if (arg == "--no-sd-card") {
            sdCard.reset();
            takesValue = false;
            ok = true;
        } else if ((arg == "--ring-hours" || arg == "--recordings-per-day" || arg == "--events-per-day" ||
                    arg == "--search-page") &&
                   ok) {
            const bool ring = arg == "--ring-hours";
            ok = parseInt(value, ring ? 1 : 0, ring ? 168 : 100000, number) && sdCard.has_value();
            if (arg == "--ring-hours") sdCard->ringHours = static_cast<int>(number);
            if (arg == "--recordings-per-day") sdCard->recordingsPerDay = std::max(1, static_cast<int>(number));
            if (arg == "--events-per-day") sdCard->eventsPerDay = static_cast<int>(number);
            if (arg == "--search-page") sdCard->maxResultsPerAnswer = std::max(1, static_cast<int>(number));
        } else if (arg == "--ptz-spaces" && ok) {
            ok = parsePtzSpaces(value, ptzSpaces);
        } else if (arg == "--head-fault" && ok) {
            ok = parseHeadFault(value, headFaults);
        } else if (arg == "--answer-delay" && ok) {
            ok = parseInt(value, 0, 60000, answerDelayMs);
        } else if (arg == "--cameras" && ok) {
            ok = parseInt(value, 1, camsim::kSettingsSections, cameraCount);
        } else if (arg == "--protocol" && ok) {
            ok = parseInt(value, 1, 2, number);
            protocols = {static_cast<int>(number)};
        } else if (arg == "--protocols" && ok) {
            ok = parseProtocols(value, protocols);
        } else if (arg == "--host" && ok) {
            options.host = value;
        } else if (arg == "--login-port" && ok) {
            ok = parsePort(value, options.loginPort);
        } else if (arg == "--control-port" && ok) {
            ok = parsePort(value, options.controlPort);
        } else if (arg == "--video-port" && ok) {
            ok = parsePort(value, options.videoPort);
        } else if (arg == "--http-port" && ok) {
            ok = parsePort(value, options.httpPort);
        } else if (arg == "--media-port" && ok) {
            ok = parsePort(value, options.mediaPort);
        } else if (arg == "--user" && ok) {
            options.user = value;
        } else if (arg == "--password" && ok) {
            options.password = value;
        } else if (arg == "--name" && ok) {
            namePrefix = value;
        } else if (arg == "--resolution" && ok) {
            ok = parseInt(value, 0, 5, number);
            options.video.resolutionCode = static_cast<int32_t>(number);
        } else if (arg == "--frame-rate" && ok) {
            ok = parseInt(value, 1, 30, number);
            options.video.frameRate = static_cast<uint16_t>(number);
#if CAMSIM_WITH_RTSP
            rtspOptions.frameRate = static_cast<int>(number);
#endif
        } else if (arg == "--connection-number" && ok) {
            ok = parseInt(value, 0, 0x7fffffff, number);
            options.connectionNumber = static_cast<uint32_t>(number);
        } else if (arg == "--inputs-every" && ok) {
            ok = parseInt(value, 0, 3600, inputsEvery);
        } else if (arg == "--quad-camera" && ok) {
            ok = parseInt(value, 0, camsim::kSettingsSections, quadCamera);
        } else if (arg == "--write-settings" && ok) {
            settingsPath = value;
#if CAMSIM_WITH_RTSP
        } else if (arg == "--rtsp") {
            rtsp = true;
            takesValue = false;
            ok = true;
        } else if (arg == "--no-audio") {
            rtspOptions.audio = false;
            takesValue = false;
            ok = true;
        } else if (arg == "--port" && ok) {
            ok = parsePort(value, rtspOptions.port);
        } else if (arg == "--codec" && ok) {
            ok = camsim::parseRtspCodec(value, rtspCodec);
        } else if (arg == "--size" && ok) {
            ok = parseSize(value, rtspOptions.width, rtspOptions.height);
            sizeGiven = true;
        } else if (arg == "--sub-size" && ok) {
            ok = parseSize(value, subWidth, subHeight);
        } else if (arg == "--bitrate" && ok) {
            ok = parseInt(value, 16, 100000, number);
            rtspOptions.bitRateKbps = static_cast<int>(number);
        } else if (arg == "--key-interval" && ok) {
            ok = parseInt(value, 1, 3000, number);
            rtspOptions.keyFrameInterval = static_cast<int>(number);
        } else if (arg == "--pre-encoded" && ok) {
            ok = parseInt(value, 1, 60, number);
            rtspOptions.preEncodedSeconds = static_cast<int>(number);
        } else if (arg == "--fault" && ok) {
            ok = camsim::parseRtspFault(value, rtspOptions.fault);
        } else if (arg == "--trickle-ms" && ok) {
            ok = parseInt(value, 1, 10000, number);
            rtspOptions.faultSettings.trickleMs = static_cast<int>(number);
        } else if (arg == "--clock-rate" && ok) {
            char* end = nullptr;
            rtspOptions.clockRate = std::strtod(value, &end);
            ok = end != value && *end == '\0' && rtspOptions.clockRate >= 0.9 && rtspOptions.clockRate <= 1.1;
        } else if (arg == "--encoding-delay") {
            rtspOptions.encodingDelays = std::make_shared<camsim::EncodingDelays>();
            takesValue = false;
            ok = true;
        } else if (arg == "--session-timeout" && ok) {
            ok = parseInt(value, 1, 3600, number);
            rtspOptions.faultSettings.sessionTimeoutSeconds = static_cast<int>(number);
#endif
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "tavolin-camsim: bad argument %s\n", arg.c_str());
            usage();
            return 2;
        }
        if (takesValue) ++i;
    }
    if (onvif && rtsp) {
        std::fprintf(stderr, "tavolin-camsim: --onvif and --rtsp exclude each other\n");
        return 2;
    }
    if (onvif) protocols = {camsim::kOnvifStreamingType};
    if (rtsp) protocols = {camsim::kRtspStreamingType};
    if (protocols.empty()) protocols = {2};
    if (protocols.size() > 1 && static_cast<long>(protocols.size()) != cameraCount) {
        if (cameraCount == 1) {
            cameraCount = static_cast<long>(protocols.size());
        } else {
            std::fprintf(stderr, "tavolin-camsim: --protocols names %zu cameras, --cameras says %ld\n",
                         protocols.size(), cameraCount);
            return 2;
        }
    }
    if (cameraCount > camsim::kSettingsSections) {
        std::fprintf(stderr, "tavolin-camsim: at most %d cameras\n", camsim::kSettingsSections);
        return 2;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

#if CAMSIM_WITH_RTSP
    // Every camera serves the same loops, encoded once.
    if (rtspOptions.preEncodedSeconds > 0) rtspOptions.sharedLoops = camsim::makeSharedLoops();
    // An ONVIF camera's main stream and a smaller one of the same scene.
    camsim::OnvifProfile mainProfile{"profile_main", "MainStream"};
    mainProfile.width = sizeGiven ? rtspOptions.width : 640;
    mainProfile.height = sizeGiven ? rtspOptions.height : 480;
    mainProfile.bitRateKbps = rtspOptions.bitRateKbps;
    camsim::OnvifProfile subProfile{"profile_sub", "SubStream"};
    subProfile.width = subWidth;
    subProfile.height = subHeight;
    subProfile.bitRateKbps = 500;
#endif
    std::vector<std::unique_ptr<camsim::SimulatedCamera>> cameras;
    for (int k = 0; k < cameraCount; ++k) {
        camsim::SimulatedCameraSettings settings;
        settings.streamingType = protocols.size() == 1 ? protocols[0] : protocols[static_cast<std::size_t>(k)];
        settings.options = options;
        settings.options.loginPort = offsetPort(options.loginPort, k * kPortsPerCamera);
        settings.options.controlPort = offsetPort(options.controlPort, k * kPortsPerCamera);
        settings.options.mediaPort = offsetPort(options.mediaPort, k * kPortsPerCamera);
        settings.options.videoPort = offsetPort(options.videoPort, k * kPortsPerCamera);
        settings.options.httpPort = offsetPort(options.httpPort, k);
        settings.options.ptzAddress = 1 + k % 5;
        settings.options.scene.name = namePrefix + " " + std::to_string(k + 1);
        settings.options.scene.variant = k;
        settings.onvifFault = onvifFault;
        settings.sdCard = sdCard;
        settings.onvifPtzSpaces = ptzSpaces;
        settings.headFaults = headFaults;
        settings.talkCodec = talkCodec;
        settings.answerDelayMs = static_cast<int>(answerDelayMs);
#if CAMSIM_WITH_RTSP
        settings.rtsp = rtspOptions;
        settings.rtsp.port = offsetPort(rtspOptions.port, k);
        settings.rtspCodec = rtspCodec;
        settings.onvifProfiles = {mainProfile, subProfile};
#endif
        auto c = std::make_unique<camsim::SimulatedCamera>(settings);
        if (!c->start()) {
            std::fprintf(stderr, "tavolin-camsim: camera %d on %s: %s\n", k + 1, options.host.c_str(),
                         c->error().c_str());
            for (auto& started : cameras) started->stop();
            return 1;
        }
        if (inputsEvery > 0) c->head().scheduleInputs(static_cast<int>(inputsEvery * 1000), kInputPulseMs);
        describe(k + 1, *c);
        cameras.push_back(std::move(c));
    }

    // The first ONVIF camera answers discovery for all of them, as the
    // cameras of one machine share the port.
    std::vector<camsim::OnvifCamera*> onvifCameras;
    for (auto& c : cameras) {
        if (c->onvif()) onvifCameras.push_back(c->onvif());
    }
    if (!onvifCameras.empty() && discoveryPort != 0) {
        const std::vector<const camsim::OnvifCamera*> others(onvifCameras.begin() + 1, onvifCameras.end());
        if (onvifCameras[0]->startDiscovery(discoveryPort, others)) {
            std::printf("WS-Discovery probes to 127.0.0.1:%u are answered\n", discoveryPort);
        } else {
            std::fprintf(stderr, "tavolin-camsim: UDP port %u is taken; no discovery answers\n", discoveryPort);
        }
    }

    if (!settingsPath.empty()) {
        // Each camera kind steers by its own shipped protocol file.
        const auto ptzFileFor = [](int streamingType) {
            const char* name = streamingType == camsim::kOnvifStreamingType ? "ONVIF.ptz" : "Pelco-D.ptz";
            const std::string file = shippedPtzFile(name);
            if (file.empty()) std::fprintf(stderr, "tavolin-camsim: %s not found; PTZ left off\n", name);
            return file;
        };
        if (quadCamera < 0) {
            quadCamera = 0;
            for (long k = cameraCount; cameraCount >= 3 && k >= 1 && quadCamera == 0; --k) {
                if (cameras[static_cast<std::size_t>(k - 1)]->streamingType() == 2) quadCamera = k;
            }
        }
        std::vector<camsim::SettingsCamera> sections;
        for (std::size_t k = 0; k < cameras.size(); ++k) {
            camsim::SettingsCamera s = cameras[k]->section(ptzFileFor(cameras[k]->streamingType()));
            s.quadServer = static_cast<long>(k + 1) == quadCamera;
            sections.push_back(s);
        }
        if (!camsim::writeSettingsFile(settingsPath, sections)) {
            std::fprintf(stderr, "tavolin-camsim: cannot write %s\n", settingsPath.c_str());
            for (auto& c : cameras) c->stop();
            return 1;
        }
        std::printf("settings for %ld camera(s) written to %s\n", cameraCount, settingsPath.c_str());
    }
    const int result = serveUntilInterrupted(cameras);
#if CAMSIM_WITH_RTSP
    if (rtspOptions.encodingDelays) printEncodingDelay(rtspOptions.encodingDelays->figures());
#endif
    return result;
}
