// A camera's snapshots and clips against fake streams, a view's stream held
// in the shared record of open streams, a fake camera JPEG and a manual
// clock: whether the capture copies the view's connection or opens one of
// its own, when that closes and opens again, and what the user is told. The
// files themselves are the recorder's tests'.
#include "capture/camera_capture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_stream.h"
#include "stream/shared_streams.h"
#include "stream/stream_catalogues.h"
#include "transport/streaming_types.h"

namespace tavolin::ui::test {
namespace {

enum class Step {
    Arm,
    Disarm,
    Record,
    Snapshot,
    ViewShowsBig,   // a view holds the big stream
    ViewShowsSmall, // a view holds another stream of the camera
    ViewShowsOtherChannel,
    ViewCloses,  // the view's stream has closed
    Lose,        // the capture's newest stream reports a lost connection
    FinishClose, // every closing stream of the capture says it has closed
    Wait,        // the retry pause passes
    SnapshotTimeOut,
    Settle, // what was posted to the GUI thread arrives
};

struct CaptureCase {
    const char* name;
    int streamingType;
    std::vector<Step> steps;
    // "own ch<channel>" when the capture opens a stream, the streams' calls
    // ("view open" for the view's), "view copied by N" after each step that
    // changed it, "ask camera" for the camera's JPEG, and "told", "saved",
    // "recording on|off" for what the capture said.
    std::vector<std::string> log;
    int preRollSeconds = 10;
    bool cameraJpeg = false; // the camera's own JPEG comes
    bool unwritableFolder = false;
};

void PrintTo(const CaptureCase& c, std::ostream* out) { *out << c.name; }

// An ONVIF camera's two profiles; other cameras have one stream.
std::optional<std::vector<onvif::Profile>> twoProfiles(const StreamSettings&, std::stop_token) {
    return std::vector<onvif::Profile>{{"main", "Main", "H264", 1920, 1080, true, "source"},
                                       {"sub", "Sub", "H264", 640, 360, true, "source"}};
}

class CameraCaptureTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CameraCaptureTest, CopiesTheViewsStreamOrOpensItsOwnAsTheRulesSay) {
    const CaptureCase& c = GetParam();
    QTemporaryDir folder;
    CameraRecord record = defaultCameraRecord(0);
    record.streamingType = c.streamingType;
    record.channel = c.streamingType == transport::kOnvifStreamingType ? 0 : 1;
    setText(record.host, "127.0.0.1");
    setText(record.name, "Gate");
    recorder::CaptureSettings settings;
    settings.folder = c.unwritableFolder ? "/proc/no-such-folder" : folder.path().toStdString();
    settings.preRollSeconds = c.preRollSeconds;

    StreamCatalogues catalogues(twoProfiles);
    // The camera's streams are known before the capture starts.
    const StreamSettings base = captureStreamSettings(record, false);
    catalogues.streams(base);
    ASSERT_TRUE(QTest::qWaitFor([&] { return catalogues.streams(base).has_value(); }, 5000));

    std::vector<std::string> log;
    std::vector<FakeStream*> own;
    std::unique_ptr<FakeStream> view;
    ManualTimers clock;
    CaptureServices services;
    services.catalogues = &catalogues;
    services.streams = [&](const StreamSettings& s) {
        log.push_back("own ch" + std::to_string(s.connection.channel));
        auto stream = std::make_unique<FakeStream>(s, log);
        own.push_back(stream.get());
        return stream;
    };
    services.cameraJpeg = [&c](const CameraRecord&, const recorder::SnapshotProfile&) {
        recorder::OnvifSnapshot answer;
        if (c.cameraJpeg) answer.jpeg = std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9};
        answer.error = "the camera's snapshot is cut short";
        return answer;
    };
    services.timers = clock.factory();
    CameraCapture capture(record, settings, 0, services);
    QObject::connect(&capture, &CameraCapture::told, [&](const QString&) { log.push_back("told"); });
    QObject::connect(&capture, &CameraCapture::snapshotSaved, [&](const QString& path) {
        log.push_back(std::filesystem::file_size(path.toStdString()) > 0 ? "saved" : "saved empty");
    });
    QObject::connect(&capture, &CameraCapture::recordingChanged,
                     [&](bool on) { log.push_back(on ? "recording on" : "recording off"); });

    const auto holdView = [&](int option) {
        StreamSettings s = base;
        s.recordOnly = false;
        if (option >= 0) {
            applyOption(s.connection, (*catalogues.streams(base))[static_cast<std::size_t>(option)]);
        } else {
            s.connection.channel = 2;
        }
        s.frames = std::make_shared<FrameFanOut>();
        view = std::make_unique<FakeStream>(s, log, "view ");
        FakeStream* v = view.get();
        catalogues.shared().hold(*v, s, SharedStreams::Holder::View, [v] { v->open(); });
    };
    std::size_t copiedBefore = 0;
    for (Step step : c.steps) {
        switch (step) {
        case Step::Arm: capture.setArmed(true); break;
        case Step::Disarm: capture.setArmed(false); break;
        case Step::Record: capture.toggleRecord(); break;
        case Step::Snapshot: capture.snapshot(); break;
        case Step::ViewShowsBig: holdView(static_cast<int>(catalogues.streams(base)->size()) - 1); break;
        case Step::ViewShowsSmall: holdView(0); break;
        case Step::ViewShowsOtherChannel: holdView(-1); break;
        case Step::ViewCloses: emit view->closed(); break;
        case Step::Lose: emit own.back()->networkLost(); break;
        case Step::FinishClose:
            for (FakeStream* s : std::vector<FakeStream*>(own)) emit s->closed();
            own.clear();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            break;
        case Step::Wait: clock.advance(CameraCapture::kRetryMs); break;
        case Step::SnapshotTimeOut: clock.advance(CameraCapture::kSnapshotWaitMs); break;
        case Step::Settle: QTest::qWait(100); break;
        }
        const std::size_t copied = view ? view->settings.frames->consumers() : 0;
        if (copied != copiedBefore) log.push_back("view copied by " + std::to_string(copied));
        copiedBefore = copied;
    }
    EXPECT_EQ(log, c.log);
}

using S = Step;
constexpr int kV2 = 2;
constexpr int kRtsp = transport::kRtspStreamingType;
constexpr int kOnvif = transport::kOnvifStreamingType;

INSTANTIATE_TEST_SUITE_P(
    Rules, CameraCaptureTest,
    ::testing::Values(
        CaptureCase{"ShownCameraWithPreRollOpensItsBigStreamUndecoded", kOnvif, {S::Arm}, {"own ch1", "open"}},
        CaptureCase{"NoPreRollNoConnection", kRtsp, {S::Arm}, {}, 0},
        CaptureCase{"ViewOnTheBigStreamIsCopiedAndNothingOpens",
                    kOnvif,
                    {S::ViewShowsBig, S::Arm, S::Disarm},
                    {"view open", "view copied by 1", "view copied by 0"}},
        CaptureCase{"ViewOnTheSmallStreamLeavesTheBigOneToTheCapture",
                    kOnvif,
                    {S::ViewShowsSmall, S::Arm},
                    {"view open", "own ch1", "open"}},
        CaptureCase{"AViewThatNeedsTheCapturesStreamOpensOnceItHasClosedAndIsCopied",
                    kOnvif,
                    {S::Arm, S::ViewShowsBig, S::FinishClose},
                    {"own ch1", "open", "close", "view copied by 1", "view open", "destroyed"}},
        CaptureCase{"ClosedViewHandsTheStreamBackToTheCapture",
                    kV2,
                    {S::ViewShowsBig, S::Arm, S::ViewCloses},
                    {"view open", "view copied by 1", "own ch1", "open", "view copied by 0"}},
        CaptureCase{"Protocol2CameraShownGetsNoSecondConnection",
                    kV2,
                    {S::ViewShowsOtherChannel, S::Record},
                    {"view open", "recording on"}},
        CaptureCase{"LostStreamOpensAgainAfterThePauseOnceTheOldHasClosed",
                    kRtsp,
                    {S::Arm, S::Lose, S::FinishClose, S::Wait},
                    {"own ch1", "open", "close", "destroyed", "own ch1", "open"}},
        CaptureCase{
            "RecordOffKeepsTheStreamUntilTheClipHasAPicture",
            kRtsp,
            {S::Record, S::Settle, S::Record, S::Settle, S::Lose, S::FinishClose, S::Wait},
            {"recording on", "own ch1", "open", "recording off", "told", "close", "destroyed", "own ch1", "open"},
            0},
        CaptureCase{"OnvifSnapshotIsTheCamerasOwnJpeg", kOnvif, {S::Snapshot, S::Settle}, {"saved"}, 10, true},
        CaptureCase{"SnapshotWithoutTheCamerasJpegCopiesTheViewsBigStream",
                    kOnvif,
                    {S::ViewShowsBig, S::Snapshot, S::Settle, S::SnapshotTimeOut},
                    {"view open", "view copied by 1", "told", "view copied by 0"}},
        CaptureCase{"SnapshotOfACameraShownSmallOpensTheBigStreamForTheMoment",
                    kOnvif,
                    {S::ViewShowsSmall, S::Snapshot, S::Settle, S::SnapshotTimeOut},
                    {"view open", "own ch1", "open", "told", "close"},
                    0},
        CaptureCase{"SnapshotStreamThatCannotBeReachedIsToldAndClosed",
                    kRtsp,
                    {S::Snapshot, S::Lose},
                    {"own ch1", "open", "close", "told"},
                    0},
        CaptureCase{"FolderThatCannotBeWrittenIsToldAndNothingStarts",
                    kRtsp,
                    {S::Snapshot, S::Record},
                    {"told", "told"},
                    0,
                    false,
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavolin::ui::test
