// tavolin-watch: opens one camera the way the viewer does, without a window,
// and prints once a second what a person checking the camera wants to know.
#include <ostrel/stream_client.h>
#include <transport/contract.h>
#include <transport/streaming_types.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camsim/simulated_camera.h"
#include "capture.h"
#include "platform/diagnostics.h"
#include "platform/printable_text.h"
#include "find_cameras.h"
#include "pointing_run.h"
#include "replay_run.h"
#include "platform/surface.h"
#include "status_line.h"
#include "talk_file.h"
#include "watch_options.h"
#include "watch_surface.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// What the stream client's callbacks report; they run on its threads.
struct Events {
    std::atomic<long> rendered{0};
    std::atomic<long> motion{0};
    std::atomic<int> motionRegions{0}; // bit i: region i + 1
    std::atomic<long> inputs{0};
    std::atomic<int> inputState{0}; // bit 0: input 1, bit 1: input 2
    std::atomic<bool> lost{false};
};

void onRendered(void* user) { ++static_cast<Events*>(user)->rendered; }
void onLost(void* user) { static_cast<Events*>(user)->lost.store(true); }
void onMotion(void* user, int32_t r1, int32_t r2, int32_t r3, int32_t r4) {
    auto* e = static_cast<Events*>(user);
    ++e->motion;
    e->motionRegions.store((r1 ? 1 : 0) | (r2 ? 2 : 0) | (r3 ? 4 : 0) | (r4 ? 8 : 0));
}
void onInputs(void* user, int32_t in1, int32_t in2) {
    auto* e = static_cast<Events*>(user);
    ++e->inputs;
    e->inputState.store((in1 ? 1 : 0) | (in2 ? 2 : 0));
}

// Keeps the surface registered for as long as the stream may draw on it.
class Registration {
public:
    explicit Registration(std::shared_ptr<platform::Surface> s)
        : handle_(platform::SurfaceRegistry::add(std::move(s))) {}
    ~Registration() { platform::SurfaceRegistry::remove(handle_); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    uint32_t handle() const { return handle_; }

private:
    uint32_t handle_;
};

// With --verbose every diagnostic line goes to standard error while it
// lives; the stream's own reason is kept by the stream client either way.
class VerboseDiagnostics {
public:
    explicit VerboseDiagnostics(bool verbose) : verbose_(verbose) {
        if (verbose_) platform::setDiagnosticSink(platform::writeToStandardError);
    }
    ~VerboseDiagnostics() {
        if (verbose_) platform::setDiagnosticSink({});
    }
    VerboseDiagnostics(const VerboseDiagnostics&) = delete;
    VerboseDiagnostics& operator=(const VerboseDiagnostics&) = delete;

private:
    const bool verbose_;
};

// Why this camera's stream failed, in one line.
std::string lastReason(OstrelInterface* handle) {
    char reason[1025];
    return M_KGetLastReason(handle, reason, sizeof reason) > 0 ? reason : "no reason given";
}

// Closes the interface object on every way out.
struct Interface {
    OstrelInterface* handle = M_KOpenInterface();
    ~Interface() {
        M_KDisconnect(handle);
        M_KCloseInterface(handle);
    }
};

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    watch::Options options;
    std::string error;
    if (!watch::parseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "tavolin-watch: %s\n%s", platform::printableText(error).c_str(), watch::usageText());
        return 64;
    }
    if (options.showHelp) {
        std::fputs(watch::usageText(), stdout);
        return 0;
    }
    if (options.find) return watch::findCameras(stdout);
    if (!watch::takePassword(options, error)) {
        std::fprintf(stderr, "tavolin-watch: %s\n", platform::printableText(error).c_str());
        return 64;
    }
    std::unique_ptr<watch::TalkFileReader> talk;
    if (!options.talkPath.empty()) {
        talk = std::make_unique<watch::TalkFileReader>();
        if (!talk->open(options.talkPath, error)) {
            std::fprintf(stderr, "tavolin-watch: %s\n", platform::printableText(error).c_str());
            return 66;
        }
    }
    VerboseDiagnostics diagnostics(options.verbose);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    std::unique_ptr<camsim::SimulatedCamera> simulated;
    if (!options.cameraGiven) {
        camsim::CameraOptions cameraOptions = camsim::smallCameraOptions();
        cameraOptions.streamAudio = true;
        cameraOptions.scene.timeStrip = options.latency;
        simulated = std::make_unique<camsim::SimulatedCamera>(options.streamingType, cameraOptions);
        if (!simulated->start()) {
            std::fprintf(stderr, "tavolin-watch: %s\n", simulated->error().c_str());
            return 1;
        }
        const MediaConfig found = simulated->mediaConfig();
        std::memcpy(options.config.cameraAddress, found.cameraAddress, sizeof found.cameraAddress);
        std::memcpy(options.config.userName, found.userName, sizeof found.userName);
        std::memcpy(options.config.password, found.password, sizeof found.password);
        options.config.registerPort = found.registerPort;
        options.config.controlPort = found.controlPort;
        options.config.streamingPort = found.streamingPort;
        options.config.httpPort = found.httpPort;
        std::printf("watching a simulated camera (protocol %d) on 127.0.0.1\n", options.streamingType);
    }
    std::printf("camera %s, streaming type %d\n", options.config.cameraAddress, options.streamingType);
    std::fflush(stdout);
    if (!watch::prepareTargets(options)) return 1;
    if (options.replaying()) return watch::runReplay(options, stdout, interrupted);
    if (!options.snapshotPath.empty() && options.streamingType == transport::kOnvifStreamingType) {
        if (const int done = watch::writeCameraSnapshot(options); done >= 0) return done;
    }

    watch::PictureAges ages;
    auto surface = std::make_shared<watch::WatchSurface>(!options.imagePath.empty() || !options.snapshotPath.empty(),
                                                         options.latency ? &ages : nullptr);
    // Recording copies the stream through the tap and decodes nothing.
    const std::unique_ptr<recorder::CameraRecorder> clip =
        options.recordPath.empty() ? nullptr : watch::makeClipRecorder(options);
    Registration registration(surface);
    Events events;
    Interface client;
    if (client.handle == nullptr) {
        std::fprintf(stderr, "tavolin-watch: cannot open the stream client\n");
        return 1;
    }
    OstrelInterface* h = client.handle;
    // The viewer's order: events, network loss, streaming type, settings,
    // where to draw, audio, connect.
    M_KSetMotionDetectionCallback(h, &events, onMotion, 0);
    M_KSetDICallback(h, &events, onInputs);
    M_KSetNetworkLossCallback(h, &events, onLost);
    M_KSetAfterRenderCallback(h, &events, onRendered);
    M_KSetStreamingType(h, options.streamingType);
    M_KSetMediaConfig(h, &options.config);
    RenderInfo render{};
    render.window = registration.handle();
    render.width = 320;
    render.height = 240;
    if (clip) {
        M_KSetRecordOnly(h, 1);
        M_KSetFrameTapCallback(h, clip.get(), &recorder::CameraRecorder::tap);
    }
    // A snapshot is the picture at the stream's own size, as is a picture
    // whose time strip is read (drawn for that size).
    if (!options.snapshotPath.empty() || options.latency) render.width = render.height = 0;
    M_KSetRenderInfo(h, &render);
    M_KSetMute(h, options.playAudio ? 1 : 0);
    if (options.pointing()) {
        PTZEnableInfo ptz{};
        ptz.sourceType = OSTREL_PTZ_SOURCE_FILE;
        const std::string file = watch::pointingProtocolFile(options);
        std::snprintf(ptz.fileName, sizeof ptz.fileName, "%s", file.c_str());
        ptz.addressId = options.ptzAddress;
        if (file.empty() || M_KEnablePTZProtocol(h, 1, &ptz) == 0) {
            std::printf("pointing needs a PTZ protocol file (--ptz FILE.ptz): %s\n",
                        file.empty() ? "none given" : lastReason(h).c_str());
            return 64;
        }
    }

    const auto start = std::chrono::steady_clock::now();
    if (M_KConnect(h) == 0) {
        std::printf("not connected: %s\n", lastReason(h).c_str());
        return 1;
    }
    std::printf("connected\n");
    std::fflush(stdout);
    if (clip) return watch::runRecording(*clip, options, events.lost, interrupted);
    if (!options.snapshotPath.empty()) return watch::writeSnapshot(*surface, options, events.lost);
    if (options.pointing()) return watch::runPointing(h, options, stdout);
    int exitCode = 0;
    std::unique_ptr<watch::FileTalker> talker;
    if (talk) {
        if (M_KGetAudioToken(h, nullptr) != 0) {
            const std::string length =
                talk->seconds() ? " (" + oneDecimal(*talk->seconds()) + " s)" : std::string(" (as it is written)");
            std::printf("talking: %s%s\n", platform::printableText(options.talkPath).c_str(), length.c_str());
            talker = std::make_unique<watch::FileTalker>(h, std::move(talk));
        } else {
            char reason[256] = "";
            M_KGetAudioOutReason(h, reason, sizeof reason);
            std::printf("no talk-back: %s\n", reason);
            exitCode = 3;
        }
        std::fflush(stdout);
    }

    long lastRendered = 0;
    long lastMotion = 0;
    long lastInputs = 0;
    auto next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (long second = 1;; ++second) {
        while (std::chrono::steady_clock::now() < next && interrupted == 0 && !events.lost.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (interrupted != 0) break;
        if (events.lost.load()) {
            std::printf("[%4ld s] lost connection: %s\n", second, lastReason(h).c_str());
            exitCode = 2;
            break;
        }
        next += std::chrono::seconds(1);
        const long rendered = events.rendered.load();
        const long motion = events.motion.load();
        const long inputs = events.inputs.load();
        const auto shown = surface->status();
        watch::SecondFigures figures;
        figures.second = second;
        // The camera's own size comes from its stream; the window may show it smaller.
        M_KGetStreamSize(h, &figures.streamWidth, &figures.streamHeight);
        figures.shownWidth = shown.width;
        figures.shownHeight = shown.height;
        figures.pictures = rendered - lastRendered;
        figures.motion = motion - lastMotion;
        figures.motionRegions = events.motionRegions.load();
        figures.inputs = inputs - lastInputs;
        figures.inputState = events.inputState.load();
        std::printf("%s\n", watch::statusLine(figures).c_str());
        if (options.latency) std::printf("[%4ld s] %s\n", second, watch::ageLine(ages.takeSecond()).c_str());
        std::fflush(stdout);
        lastRendered = rendered;
        lastMotion = motion;
        lastInputs = inputs;
        if (!options.imagePath.empty()) surface->writeLatest(options.imagePath);
        if (talker && talker->done()) {
            const std::string stopped = talker->error();
            std::printf("talked: %.1f s of %s sent%s\n", static_cast<double>(talker->sent()) / 8000,
                        platform::printableText(options.talkPath).c_str(),
                        stopped.empty() ? "" : platform::printableText("; stopped: " + stopped).c_str());
            talker.reset();
            M_KFreeAudioToken(h);
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (options.seconds > 0 && elapsed >= std::chrono::seconds(options.seconds)) break;
    }
    talker.reset(); // before the interface closes
    if (options.latency) std::printf("whole run: %s\n", watch::ageLine(ages.wholeRun()).c_str());
    if (!options.imagePath.empty() && surface->writeLatest(options.imagePath)) {
        std::printf("latest picture in %s\n", platform::printableText(options.imagePath).c_str());
    }
    return exitCode;
}
