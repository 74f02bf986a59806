// A camera's snapshots and clips against fake streams, a fake ONVIF lookup
// and a manual clock: which big stream opens (undecoded for the recorder,
// decoded for a snapshot), when it closes and opens again, and what the user
// is told. The files themselves are the recorder's tests'.
#include "capture/camera_capture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_stream.h"
#include "platform/surface.h"
#include "transport/streaming_types.h"

namespace tavolin::ui::test {
namespace {

enum class Step {
    Arm,
    Disarm,
    Record,
    Snapshot,
    Lose,         // the newest stream reports a lost connection
    FinishClose,  // every closing stream says it has closed
    Wait,         // the retry pause passes
    AnswerJpeg,   // the ONVIF camera sends its own JPEG
    AnswerStream, // the ONVIF camera names its largest profile (3), no JPEG
    DrawPicture,  // the snapshot stream draws a picture
};

struct CaptureCase {
    const char* name;
    int streamingType;
    std::vector<Step> steps;
    // Each stream as "<tap|decoded> ch<channel>" when made, then its calls;
    // "told", "saved", "recording on|off" for what the capture said.
    std::vector<std::string> log;
    bool unwritableFolder = false;
};

void PrintTo(const CaptureCase& c, std::ostream* out) { *out << c.name; }

class CameraCaptureTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CameraCaptureTest, OpensTheBigStreamAsTheRulesSay) {
    const CaptureCase& c = GetParam();
    QTemporaryDir folder;
    CameraRecord record = defaultCameraRecord(0);
    record.streamingType = c.streamingType;
    record.channel = 1;
    setText(record.name, "Gate");
    recorder::CaptureSettings settings;
    settings.folder = c.unwritableFolder ? "/proc/no-such-folder" : folder.path().toStdString();

    std::vector<std::string> log;
    std::vector<FakeStream*> streams;
    std::vector<std::function<void(const recorder::OnvifSnapshot&)>> lookups;
    ManualTimers clock;
    CaptureServices services;
    services.streams = [&](const StreamSettings& s) {
        log.push_back(std::string(s.recordOnly && s.tap != nullptr ? "tap" : "decoded") + " ch" +
                      std::to_string(s.connection.channel));
        auto stream = std::make_unique<FakeStream>(s, log);
        streams.push_back(stream.get());
        return stream;
    };
    services.lookup = [&](const CameraRecord&, bool picture, auto done) {
        log.push_back(picture ? "ask picture" : "ask profile");
        lookups.push_back(std::move(done));
    };
    services.timers = clock.factory();
    CameraCapture capture(record, settings, 0, services);
    QObject::connect(&capture, &CameraCapture::told, [&](const QString&) { log.push_back("told"); });
    QObject::connect(&capture, &CameraCapture::snapshotSaved, [&](const QString& path) {
        log.push_back(std::filesystem::file_size(path.toStdString()) > 0 ? "saved" : "saved empty");
    });
    QObject::connect(&capture, &CameraCapture::recordingChanged,
                     [&](bool on) { log.push_back(on ? "recording on" : "recording off"); });

    auto answer = [&](recorder::OnvifSnapshot a) {
        ASSERT_FALSE(lookups.empty());
        auto done = std::move(lookups.front());
        lookups.erase(lookups.begin());
        done(a);
    };
    for (Step step : c.steps) {
        switch (step) {
        case Step::Arm: capture.setArmed(true); break;
        case Step::Disarm: capture.setArmed(false); break;
        case Step::Record: capture.toggleRecord(); break;
        case Step::Snapshot: capture.snapshot(); break;
        case Step::Lose: emit streams.back()->networkLost(); break;
        case Step::FinishClose:
            for (FakeStream* s : std::vector<FakeStream*>(streams)) emit s->closed();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            break;
        case Step::Wait: clock.advance(CameraCapture::kRetryMs); break;
        case Step::AnswerJpeg: {
            recorder::OnvifSnapshot a;
            a.channel = 3;
            a.jpeg = std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9};
            answer(a);
            break;
        }
        case Step::AnswerStream: {
            recorder::OnvifSnapshot a;
            a.channel = 3;
            a.error = "no snapshot offered";
            answer(a);
            break;
        }
        case Step::DrawPicture: {
            std::vector<uint8_t> pixels(16 * 8 * 4, 0x80);
            const platform::PictureView picture{16, 8, 32, 16 * 4, pixels.data()};
            platform::SurfaceRegistry::find(streams.back()->settings.render.window)->stretchDraw(picture, {});
            emit streams.back()->pictureShown();
            break;
        }
        }
    }
    EXPECT_EQ(log, c.log);
}

using S = Step;
constexpr int kRtsp = transport::kRtspStreamingType;
constexpr int kOnvif = transport::kOnvifStreamingType;

INSTANTIATE_TEST_SUITE_P(
    Rules, CameraCaptureTest,
    ::testing::Values(
        CaptureCase{"ArmedCameraFeedsTheRecorderUndecoded", kRtsp, {S::Arm}, {"tap ch1", "open"}},
        CaptureCase{"DisarmedIdleCameraClosesItsStream", kRtsp, {S::Arm, S::Disarm}, {"tap ch1", "open", "close"}},
        CaptureCase{"RecordingKeepsTheStreamAfterTheViewLeavesUntilRecordIsOff",
                    kRtsp,
                    {S::Arm, S::Record, S::Disarm, S::Record},
                    {"tap ch1", "open", "recording on", "recording off", "close"}},
        CaptureCase{"LostStreamOpensAgainAfterThePauseOnceTheOldHasClosed",
                    kRtsp,
                    {S::Arm, S::Lose, S::FinishClose, S::Wait},
                    {"tap ch1", "open", "close", "destroyed", "tap ch1", "open"}},
        CaptureCase{"OnvifCameraRecordsItsLargestProfile",
                    kOnvif,
                    {S::Arm, S::AnswerStream},
                    {"ask profile", "tap ch3", "open"}},
        CaptureCase{"OnvifSnapshotIsTheCamerasOwnJpeg", kOnvif, {S::Snapshot, S::AnswerJpeg}, {"ask picture", "saved"}},
        CaptureCase{"SnapshotWithoutTheCamerasJpegDecodesTheLargestProfileOnce",
                    kOnvif,
                    {S::Snapshot, S::AnswerStream, S::DrawPicture},
                    {"ask picture", "decoded ch3", "open", "close", "saved"}},
        CaptureCase{"SnapshotStreamThatShowsNothingIsToldAndClosed",
                    kRtsp,
                    {S::Snapshot, S::Lose},
                    {"decoded ch1", "open", "close", "told"}},
        CaptureCase{"FolderThatCannotBeWrittenIsToldAndNothingStarts",
                    kRtsp,
                    {S::Snapshot, S::Record},
                    {"told", "told"},
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavolin::ui::test
