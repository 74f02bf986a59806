#include "capture.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/printable_text.h"
#include "recorder/capture_names.h"
#include "recorder/capture_settings.h"
#include "recorder/new_file.h"
#include "recorder/onvif_snapshot.h"
#include "recorder/snapshot.h"

namespace watch {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStatusEvery = std::chrono::seconds(1);
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr auto kSnapshotWait = std::chrono::seconds(10);
constexpr int kWriteWaitMs = 60000;
constexpr int kInterruptedExit = 130; // as a shell reports a command Ctrl-C ended

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

// Waits until `until`, an interrupt or a lost stream; false when cut short.
bool waitUntil(Clock::time_point until, const std::atomic<bool>& lost, const volatile std::sig_atomic_t& interrupted) {
    while (Clock::now() < until) {
        if (interrupted != 0 || lost.load()) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

void printStatus(long second, const recorder::CameraRecorder::Status& s) {
    if (s.recording)
        std::printf("[%4ld s] recording  %s  %llu frames\n", second,
                    platform::printableText(s.writer.currentFile).c_str(),
                    static_cast<unsigned long long>(s.writer.framesWritten));
    else
        std::printf("[%4ld s] pre-roll  %s\n", second, megabytes(s.preRollBytes).c_str());
    std::fflush(stdout);
}

// Lines that hold a name the user gave, printed without its control characters.
void printLine(const std::string& line) {
    std::printf("%s\n", platform::printableText(line).c_str());
    std::fflush(stdout);
}

bool isFolder(const std::string& path) {
    std::error_code ignored;
    return (!path.empty() && path.back() == '/') || std::filesystem::is_directory(path, ignored);
}

} // namespace

std::optional<std::string> saveJpeg(std::span<const uint8_t> jpeg, std::chrono::system_clock::time_point taken,
                                    const Options& options, std::string& error) {
    if (!isFolder(options.snapshotPath)) return recorder::writeNewFile(options.snapshotPath, jpeg, error);
    return recorder::saveSnapshot(jpeg, options.snapshotPath, options.cameraName, taken, error);
}

bool prepareTargets(const Options& options) {
    for (const std::string& path : {options.recordPath, options.snapshotPath}) {
        if (path.empty()) continue;
        std::string message;
        // Told now, not once the pre-roll or the picture was waited for.
        const bool ready =
            isFolder(path) ? recorder::prepareCaptureFolder(path, message) : recorder::canCreateNewFile(path, message);
        if (!ready) {
            printLine(message);
            return false;
        }
    }
    return true;
}

std::unique_ptr<recorder::CameraRecorder> makeClipRecorder(const Options& options) {
    recorder::RecorderSettings settings = options.capture.recorderSettings();
    const std::filesystem::path path(options.recordPath);
    const std::string camera = options.cameraName;
    settings.naming = [path, camera](auto time, int file) {
        if (isFolder(path.string())) return (path / recorder::captureFileName(camera, time, "mkv")).string();
        if (file <= 1) return path.string();
        std::filesystem::path next = path.parent_path() / (path.stem().string() + "-" + std::to_string(file));
        return (next += path.extension()).string();
    };
    settings.cameraName = camera;
    settings.notice = [](const std::string& line) {
        std::fprintf(stderr, "tavolin-watch: %s\n", platform::printableText(line).c_str());
    };
    return std::make_unique<recorder::CameraRecorder>(std::move(settings));
}

int runRecording(recorder::CameraRecorder& recorder, const Options& options, const std::atomic<bool>& lost,
                 const volatile std::sig_atomic_t& interrupted) {
    long second = 0;
    auto next = Clock::now();
    auto statusUntil = [&](Clock::time_point until) {
        while (next + kStatusEvery <= until) {
            next += kStatusEvery;
            if (!waitUntil(next, lost, interrupted)) return false;
            printStatus(++second, recorder.status());
        }
        return waitUntil(until, lost, interrupted);
    };
    const auto press = Clock::now() + std::chrono::seconds(options.capture.preRollSeconds);
    bool going = statusUntil(press);
    int interruptedCode = 0;
    if (!going && interrupted != 0) {
        // Ctrl-C before the press keeps what the pre-roll holds as the clip.
        const recorder::CameraRecorder::Status held = recorder.status();
        if (held.preRollBytes > 0) {
            std::printf("interrupted during the pre-roll: the clip holds the %.1f s it had\n",
                        static_cast<double>(held.preRollMs) / 1000);
            recorder.startRecording();
        } else {
            std::printf("interrupted during the pre-roll: no picture had come, so no clip\n");
            interruptedCode = kInterruptedExit;
        }
        std::fflush(stdout);
    }
    if (going) {
        recorder.startRecording();
        const auto end =
            options.seconds > 0 ? Clock::now() + std::chrono::seconds(options.seconds) : Clock::time_point::max();
        going = statusUntil(end);
    }
    recorder.stopRecording();
    recorder.waitUntilWritten(kWriteWaitMs);
    const recorder::CameraRecorder::Status s = recorder.status();
    for (const std::string& file : s.writer.finishedFiles) printLine("clip in " + file);
    if (s.framesLeftOut > 0)
        std::printf("%llu frames left out: the disk was slower than the camera\n",
                    static_cast<unsigned long long>(s.framesLeftOut));
    if (interruptedCode != 0) return interruptedCode;
    if (!s.writer.stopReason.empty()) return 1;
    if (lost.load()) {
        std::printf("[%4ld s] lost connection\n", second);
        return 2;
    }
    return s.writer.finishedFiles.empty() ? 1 : 0;
}

int writeCameraSnapshot(Options& options) {
    const MediaConfig& c = options.config;
    onvif::DeviceSettings camera{c.cameraAddress, c.httpPort == 0 ? 80 : c.httpPort, c.userName, c.password};
    const recorder::OnvifSnapshot got = recorder::fetchOnvifSnapshot(camera);
    if (!got.jpeg) {
        platform::diagnose("tavolin-watch: " + got.error + "; the picture comes from the camera's largest stream");
        if (got.channel > 0) options.config.channel = got.channel;
        return -1;
    }
    std::string error;
    const std::optional<std::string> path = saveJpeg(*got.jpeg, std::chrono::system_clock::now(), options, error);
    if (!path) {
        printLine("no snapshot: " + error);
        return 1;
    }
    printLine("snapshot from the camera in " + *path);
    return 0;
}

int writeSnapshot(const WatchSurface& surface, const Options& options, const std::atomic<bool>& lost) {
    const auto end = Clock::now() + kSnapshotWait;
    while (surface.status().pictures == 0 && !lost.load() && Clock::now() < end) std::this_thread::sleep_for(kPoll);
    std::string error;
    std::chrono::system_clock::time_point drawnAt;
    const std::optional<std::vector<uint8_t>> jpeg = surface.latestJpeg(drawnAt, error);
    const std::optional<std::string> path = jpeg ? saveJpeg(*jpeg, drawnAt, options, error) : std::nullopt;
    if (!path) {
        printLine("no snapshot: " + error);
        return 1;
    }
    const WatchSurface::Status shown = surface.status();
    printLine("snapshot " + std::to_string(shown.width) + "x" + std::to_string(shown.height) + " in " + *path);
    return 0;
}

} // namespace watch
