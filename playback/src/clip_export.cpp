#include "playback/clip_export.h"

#include "camera_replay_source.h"
#include "clip_source.h"

#include <recorder/clip_file.h>
#include <recorder/new_file.h>
#include <transport/timestamp_repair.h>

#include <chrono>

namespace playback {

namespace {

// A camera that sends nothing this long while a span is exported has
// stopped; the file keeps what came.
constexpr int64_t kSilenceMs = 10000;
constexpr int kFetchWaitMs = 200;

// A span from any source into a new clip: key picture at or before its
// start, then every picture up to its end.
class SpanExport {
public:
    SpanExport(const ExportSpan& span, const std::string& outPath, const ExportOptions& options)
        : span_(span), outPath_(outPath), options_(options) {}

    ExportResult run(MediaSource& source) {
        if (span_.toMs < span_.fromMs) return failed("the span ends before it starts");
        switch (source.start(SourceStart{span_.fromMs, 1, false})) {
        case Started::Yes: break;
        case Started::Interrupted: return failed("stopped");
        case Started::Failed: return failed(source.reason());
        }
        int64_t silentMs = 0;
        for (;;) {
            if (options_.cancel != nullptr && options_.cancel->load()) break;
            AccessUnit unit;
            const Fetched fetched = source.next(unit, kFetchWaitMs);
            if (fetched == Fetched::Nothing) {
                silentMs += kFetchWaitMs;
                if (silentMs >= kSilenceMs) return finish("the recording sent nothing for 10 s");
                continue;
            }
            silentMs = 0;
            if (fetched == Fetched::Failed) return finish(source.reason());
            if (fetched == Fetched::End) break;
            if (unit.timeMs > span_.toMs) break;
            if (!file_ && !unit.key) continue;
            if (!write(unit)) return finish(error_);
            if (unit.last) break;
        }
        return finish({});
    }

private:
    bool write(const AccessUnit& unit) {
        recorder::Frame frame;
        frame.kind = static_cast<recorder::MediaKind>(unit.codec);
        frame.key = unit.key;
        frame.payload = unit.data;
        // The same repair as a live clip's: times that only ever grow, a
        // jump of the source's stamps bridged by the pictures' own times.
        const auto stamp = static_cast<uint32_t>(unit.sourceTimeMs);
        frame.timeMs =
            repair_.started() ? repair_.next(stamp, unit.timeMs) : repair_.start(stamp, unit.timeMs, unit.timeMs);
        if (!file_) {
            std::optional<recorder::CreatedFile> created = recorder::createNewFile(outPath_, error_);
            if (!created) return false;
            recorder::ClipLayout layout;
            layout.startUtcMs = unit.timeMs;
            layout.cameraName = options_.cameraName;
            file_ = recorder::ClipFile::start(std::move(*created), frame, layout, error_);
            if (!file_) return false;
            result_.path = file_->path();
            result_.firstMs = unit.timeMs;
        } else if (!file_->write(frame, error_)) {
            return false;
        }
        result_.lastMs = unit.timeMs;
        ++result_.pictures;
        result_.bytes += unit.data.size();
        if (options_.progress) options_.progress(unit.timeMs);
        return true;
    }

    ExportResult failed(const std::string& why) {
        result_.ok = false;
        result_.reason = why.empty() ? std::string("the span cannot be exported") : why;
        return result_;
    }

    ExportResult finish(const std::string& why) {
        if (!file_) return failed(why.empty() ? "the recording holds no picture in the span" : why);
        std::string error;
        const bool closed = file_->finish(error);
        result_.ok = why.empty() && closed;
        result_.reason = !why.empty() ? why : error;
        return result_;
    }

    const ExportSpan span_;
    const std::string outPath_;
    const ExportOptions& options_;
    transport::TimestampRepair repair_;
    std::unique_ptr<recorder::ClipFile> file_;
    std::string error_;
    ExportResult result_;
};

} // namespace

ExportResult exportClip(const std::string& clipPath, const ExportSpan& span, const std::string& outPath,
                        const ExportOptions& options) {
    ClipSource source(clipPath);
    return SpanExport(span, outPath, options).run(source);
}

ExportResult exportCameraRecording(CameraReplay camera, const ExportSpan& span, const std::string& outPath,
                                   const ExportOptions& options) {
    CameraReplaySource source(std::move(camera));
    return SpanExport(span, outPath, options).run(source);
}

} // namespace playback
