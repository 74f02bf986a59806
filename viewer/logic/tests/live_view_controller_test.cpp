// The live view's logic against a fake stream and a manual clock: no
// widget, no camera, no TCP.
#include "live/live_view_controller.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <deque>
#include <functional>
#include <utility>
#include <map>
#include <string>
#include <vector>

#include "fake_stream.h"

namespace tavolin::ui::test {
namespace {

using Log = std::vector<std::string>;

// Remembers what the view was told to show.
class RecordingDisplay final : public LiveViewDisplay {
public:
    struct Question {
        QString text, caption, detail;
    };
    std::optional<Background> background;
    bool progressVisible = false;
    int progress = -1;
    QString name;
    bool nameVisible = false;
    IndicatorStates indicators{};
    std::map<int, QPoint> arrows; // sector -> place, while shown
    LiveMenuState menu;
    int menusOpened = 0;
    std::vector<Question> questions;
    std::vector<int> orientations;
    int finished = 0;
    int videoCleared = 0;
    bool reconnecting = false;

    void setBackground(Background b) override { background = b; }
    void clearVideo() override { ++videoCleared; }
    void setPictureFit(PictureFit) override {}
    void showReconnecting(bool shown) override { reconnecting = shown; }
    void setProgressVisible(bool v) override { progressVisible = v; }
    void setProgress(int value, int) override { progress = value; }
    void setNameText(const QString& text) override { name = text; }
    void setNameVisible(bool v) override { nameVisible = v; }
    void showIndicators(const IndicatorStates& shown) override { indicators = shown; }
    void showArrow(PtzSector s, QPoint at) override { arrows[static_cast<int>(s)] = at; }
    void hideArrow(PtzSector s) override { arrows.erase(static_cast<int>(s)); }
    void showMenuState(const LiveMenuState& state) override { menu = state; }
    void openMenu() override { ++menusOpened; }
    // Questions stay up until the test answers them, oldest first.
    void ask(const Prompt& prompt, PromptAnswered answered) override {
        questions.push_back({prompt.text, prompt.caption, prompt.detail});
        up.push_back(std::move(answered));
    }
    void answer(PromptAnswer answer) {
        ASSERT_FALSE(up.empty());
        PromptAnswered answered = std::move(up.front());
        up.pop_front();
        if (answered) answered(answer);
    }
    void setOrientation(int degrees) override { orientations.push_back(degrees); }
    void finish() override { ++finished; }
    std::optional<aim::GrayPicture> pictureSample() override {
        ++samples;
        return aim::GrayPicture{2, 2, {1, 2, 3, static_cast<uint8_t>(samples)}};
    }
    void showAimTarget(QRect target) override { aimTarget = target; }
    void showAimBox(std::optional<QRect> box) override { aimBox = box; }
    void showNote(const QString& line) override { notes.push_back(line); }

    int samples = 0;
    std::optional<QRect> aimTarget;
    std::optional<QRect> aimBox;
    std::vector<QString> notes;

    std::deque<PromptAnswered> up;
};

// Public, so that the rows of a table can act on it.
class LiveViewControllerTest : public ::testing::Test {
public:
    LiveViewControllerTest() {
        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            setText(records[static_cast<std::size_t>(i)].host, "127.0.0.1");
            records[static_cast<std::size_t>(i)].controlPort = 6001;
            records[static_cast<std::size_t>(i)].streamingPort = 6002;
        }
    }

    CameraRecord& record(int position) { return records[static_cast<std::size_t>(position)]; }

    void startAt(int position) {
        controller = std::make_unique<LiveViewController>(
            records, display,
            [this](const StreamSettings& settings) {
                auto s = std::make_unique<FakeStream>(settings, log);
                streams.push_back(s.get());
                return s;
            },
            clock.factory(), clock.clock());
        controller->start(position, QSize(320, 240), 7);
    }
    void startConnected(int position = 0) {
        startAt(position);
        emit stream()->connected();
        log.clear();
    }
    FakeStream* stream() { return streams.back(); }
    // The stream that is closing says it has.
    void finishClosing(FakeStream* s) {
        emit s->closed();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void usePtz(int position) {
        record(position).ptzEnabled = 1;
        record(position).ptzSpeed = 0;
    }

    std::array<CameraRecord, kCameraCount> records{};
    RecordingDisplay display;
    ManualTimers clock;
    Log log;
    std::vector<FakeStream*> streams;
    std::unique_ptr<LiveViewController> controller;
};

TEST_F(LiveViewControllerTest, OpeningFillsTheStreamFromTheRecordAndShowsTheAttempt) {
    CameraRecord& r = record(3);
    setText(r.name, "Gate");
    r.streamingType = 1;
    r.showEvents = 1;
    r.ptzEnabled = 1;
    r.ptzAddress = 4;
    r.serialControl = 0x118; // only the low byte goes out
    r.serialBaudRate = 8;
    r.playAudio = 1;
    setText(r.ptzProtocolFile, "/p/Pelco-D.ptz");
    startAt(3);
    const StreamSettings& s = stream()->settings;
    EXPECT_EQ(s.streamingType, 1);
    EXPECT_STREQ(s.connection.cameraAddress, "127.0.0.1");
    EXPECT_EQ(s.connection.controlPort, 6001);
    EXPECT_EQ(s.connection.connectTimeoutSeconds, 3);
    EXPECT_EQ(s.render.window, 7u);
    EXPECT_EQ(s.render.width, 320);
    EXPECT_TRUE(s.events);
    ASSERT_TRUE(s.ptz.has_value());
    EXPECT_STREQ(s.ptz->fileName, "/p/Pelco-D.ptz");
    EXPECT_EQ(s.ptz->addressId, 4);
    EXPECT_EQ(s.serialControl, 0x18);
    EXPECT_EQ(s.serialBaudRate, 8);
    EXPECT_TRUE(s.playAudio);
    EXPECT_EQ(log, Log{"open"});
    EXPECT_EQ(display.background, Background::Connecting);
    EXPECT_TRUE(display.progressVisible);
    EXPECT_EQ(display.name, QStringLiteral(" 4 - Gate"));
    EXPECT_FALSE(display.nameVisible);
    EXPECT_EQ(display.menu, (LiveMenuState{true, 3, false, true, false, false}));
}

TEST_F(LiveViewControllerTest, UnreachableRecordOpensWithAnEmptyConnection) {
    record(0).controlPort = 0;
    startAt(0);
    EXPECT_EQ(stream()->settings.connection.connectionType, 0);
    EXPECT_STREQ(stream()->settings.connection.cameraAddress, "");
}

TEST_F(LiveViewControllerTest, ProgressStopsAtItsMaximumAndConnectingHidesIt) {
    record(0).showName = 1;
    startAt(0);
    for (int step = 1; step <= 95; ++step) emit stream()->progress(step);
    EXPECT_EQ(display.progress, LiveViewController::kProgressMaximum);
    EXPECT_EQ(controller->progressCount(), 95);
    EXPECT_TRUE(controller->isConnecting());
    emit stream()->connected();
    EXPECT_FALSE(display.progressVisible);
    EXPECT_TRUE(display.nameVisible);
    EXPECT_TRUE(controller->isConnected());
    EXPECT_FALSE(controller->isConnecting());
}

TEST_F(LiveViewControllerTest, FailedFirstPlayTellsWhyAndClosesOnceReadAndTheStreamHasGone) {
    startAt(0);
    emit stream()->failed(QStringLiteral("connection refused"));
    ASSERT_EQ(display.questions.size(), 1u);
    EXPECT_EQ(display.questions[0].text, QStringLiteral("Connect Fail!"));
    EXPECT_EQ(display.questions[0].caption, QStringLiteral("Connect"));
    EXPECT_EQ(display.questions[0].detail, QStringLiteral("connection refused"));
    EXPECT_EQ(display.background, Background::Failed);
    EXPECT_EQ(log, Log{"open"});
    display.answer(PromptAnswer::Ok);
    EXPECT_EQ(log, (Log{"open", "close"}));
    EXPECT_EQ(display.finished, 0);
    EXPECT_TRUE(display.orientations.empty());
    finishClosing(streams[0]);
    EXPECT_EQ(display.finished, 1);
    EXPECT_TRUE(controller->isClosed());
    EXPECT_EQ(display.orientations, std::vector<int>{0});
    EXPECT_EQ(display.background, Background::Plain);
}

TEST_F(LiveViewControllerTest, FailedSwitchShowsTheFailedPictureOnly) {
    record(0).inSwitchGroup = 1;
    record(5).inSwitchGroup = 1;
    startConnected(0);
    controller->patrol(PatrolDirection::Next);
    finishClosing(streams[0]);
    ASSERT_EQ(streams.size(), 2u);
    emit stream()->failed(QStringLiteral("no answer"));
    EXPECT_TRUE(display.questions.empty());
    EXPECT_EQ(display.background, Background::Failed);
    EXPECT_FALSE(display.progressVisible);
    EXPECT_FALSE(controller->isClosed());
    EXPECT_EQ(controller->currentPosition(), 5);
    // The user can step on at once.
    controller->patrol(PatrolDirection::Next);
    EXPECT_EQ(log.back(), "close");
}

TEST_F(LiveViewControllerTest, NetworkLossAsksAndOnlyYesCloses) {
    startConnected();
    emit stream()->networkLost();
    ASSERT_EQ(display.questions.size(), 1u);
    EXPECT_EQ(display.questions[0].text, QStringLiteral("Network Loss!\nReturn to main menu?"));
    EXPECT_EQ(display.questions[0].caption, QStringLiteral("Connection"));
    // Asked once while it is up.
    emit stream()->networkLost();
    EXPECT_EQ(display.questions.size(), 1u);
    display.answer(PromptAnswer::No);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(controller->isConnected());
    // Without reconnecting, the lost stream stays as it is.
    clock.advance(60000);
    EXPECT_EQ(streams.size(), 1u);
    EXPECT_FALSE(display.reconnecting);
    emit stream()->networkLost();
    display.answer(PromptAnswer::Yes);
    EXPECT_EQ(log, Log{"close"});
    finishClosing(streams[0]);
    EXPECT_EQ(display.finished, 1);
}

// Reconnecting: camera 0 asks for it; each attempt is a new fake stream.
class LiveViewReconnectTest : public LiveViewControllerTest {
protected:
    LiveViewReconnectTest() { record(0).autoReconnect = 1; }

    // The stream is lost and goes; the question comes once its signal is over.
    void lose() {
        FakeStream* lost = stream();
        emit lost->networkLost();
        finishClosing(lost);
        QCoreApplication::sendPostedEvents();
    }
    // True when the next stream opens `ms` from now, not a millisecond sooner.
    bool opensAfter(int ms) {
        const std::size_t before = streams.size();
        clock.advance(ms - 1);
        const bool early = streams.size() != before;
        clock.advance(1);
        return !early && streams.size() == before + 1;
    }
};

TEST_F(LiveViewReconnectTest, LostCameraIsTriedAgainOnTheScheduleUnderItsLastPictureUntilAPictureComes) {
    startConnected();
    const int cleared = display.videoCleared;
    lose();
    EXPECT_TRUE(display.reconnecting);
    for (const int delayMs : {1000, 2000, 4000, 8000, 16000, 30000}) {
        ASSERT_TRUE(opensAfter(delayMs)) << delayMs;
        emit stream()->failed({});
        finishClosing(stream());
    }
    // Connected, and lost again before a picture: the same run of attempts.
    ASSERT_TRUE(opensAfter(30000));
    emit stream()->connected();
    lose();
    ASSERT_TRUE(opensAfter(30000));
    emit stream()->connected();
    emit stream()->pictureShown();
    EXPECT_FALSE(display.reconnecting);
    // Meanwhile nothing asked again, and the picture stayed.
    EXPECT_EQ(display.questions.size(), 1u);
    EXPECT_EQ(display.videoCleared, cleared);
    // Once answered, the next loss asks again and starts over.
    display.answer(PromptAnswer::No);
    lose();
    EXPECT_EQ(display.questions.size(), 2u);
    EXPECT_TRUE(opensAfter(1000));
}

TEST_F(LiveViewReconnectTest, YesWhileTryingClosesTheViewAndStopsTrying) {
    startConnected();
    lose();
    // The user answers late: an attempt runs meanwhile.
    EXPECT_TRUE(opensAfter(1000));
    display.answer(PromptAnswer::Yes);
    finishClosing(stream());
    EXPECT_EQ(display.finished, 1);
    clock.advance(120000);
    EXPECT_EQ(streams.size(), 2u);
}

// An answer that comes once the view has moved on (closed, or stepped to
// another camera) does nothing.
TEST_F(LiveViewControllerTest, AnAnswerForAStreamTheViewLeftIsIgnored) {
    record(0).inSwitchGroup = 1;
    record(1).inSwitchGroup = 1;
    startConnected(0);
    emit stream()->networkLost();
    controller->patrol(PatrolDirection::Next);
    finishClosing(streams[0]);
    display.answer(PromptAnswer::Yes);
    EXPECT_EQ(controller->state(), LiveViewController::State::Connecting);
    EXPECT_EQ(controller->currentPosition(), 1);
    emit stream()->connected();
    emit stream()->networkLost();
    controller->close();
    display.answer(PromptAnswer::Yes);
    finishClosing(streams[1]);
    EXPECT_EQ(display.finished, 1);
    EXPECT_EQ(display.orientations, std::vector<int>{0});
}

TEST_F(LiveViewControllerTest, EventsShowForOnePeriodOnlyWhenTheRecordShowsThem) {
    record(0).showEvents = 1;
    startConnected();
    emit stream()->motion(1, 0, 0, 0);
    emit stream()->input(0, 1);
    clock.advance(999);
    EXPECT_EQ(display.indicators, (IndicatorStates{}));
    emit stream()->motion(1, 0, 1, 0);
    clock.advance(1);
    EXPECT_EQ(display.indicators, (IndicatorStates{true, false, true, false, false, true}));
    clock.advance(1000);
    EXPECT_EQ(display.indicators, (IndicatorStates{}));
}

TEST_F(LiveViewControllerTest, EventsOfACameraThatDoesNotShowThemStayHidden) {
    startConnected();
    emit stream()->motion(1, 1, 1, 0);
    clock.advance(1000);
    EXPECT_EQ(display.indicators, (IndicatorStates{}));
    EXPECT_FALSE(stream()->settings.events);
}

TEST_F(LiveViewControllerTest, PointerStartsAndStopsTheSectorsMoveWithItsArrow) {
    usePtz(0);
    startConnected();
    controller->penDown({50, 120}, false);
    EXPECT_EQ(display.arrows, (std::map<int, QPoint>{{2, QPoint(26, 108)}}));
    controller->penMove({60, 125}); // the same sector: nothing
    controller->penMove({50, 40});
    controller->penUp();
    controller->penDown({160, 80}, false);
    controller->penUp();
    controller->penDown({160, 159}, false);
    controller->penUp();
    EXPECT_TRUE(display.arrows.empty());
    EXPECT_EQ(log, (Log{"start 2 speed 3", "stop 2", "start 1 speed 3", "stop 1", "start 5 speed 3", "stop 5",
                        "start 6 speed 3", "stop 6"}));
}

TEST_F(LiveViewControllerTest, WithoutPtzThePointerSendsNothingAndAHeldFingerOpensTheMenu) {
    startConnected();
    controller->penDown({50, 120}, true);
    clock.advance(LiveViewController::kHoldMs - 1);
    EXPECT_EQ(display.menusOpened, 0);
    clock.advance(1);
    EXPECT_EQ(display.menusOpened, 1);
    controller->penUp();
    // A finger that moves on is no hold; a mouse never is.
    controller->penDown({50, 120}, true);
    controller->penMove({50 + LiveViewController::kHoldSlop + 1, 120});
    controller->penUp();
    controller->penDown({50, 120}, false);
    clock.advance(2000);
    EXPECT_EQ(display.menusOpened, 1);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(display.arrows.empty());
}

TEST_F(LiveViewControllerTest, ZoomedThePenMovesThePictureOfACameraItCannotSteerAndStillSteersOneItCan) {
    startConnected();
    controller->zoomSteps(2, {160, 120});
    EXPECT_EQ(log, (Log{"zoom 1.5625"}));
    const QRectF centred = controller->zoom().part();
    // A tenth of the view to the right shows what lies left of the part.
    controller->penDown({100, 100}, false);
    controller->penMove({132, 100});
    controller->penUp();
    EXPECT_NEAR(controller->zoom().part().x(), centred.x() - 0.1 / 1.5625, 1e-9);
    EXPECT_EQ(controller->zoom().part().y(), centred.y());

    usePtz(0);
    startConnected();
    controller->zoomSteps(2, {160, 120});
    log.clear();
    controller->penDown({50, 120}, false);
    controller->penMove({60, 125});
    controller->penUp();
    EXPECT_EQ(controller->zoom().part(), centred);
    EXPECT_EQ(log, (Log{"start 2 speed 3", "stop 2"}));
}

// A picture shown with bars beside it: its own corner is where zooming
// starts, and a move is a share of its width, not the screen's.
TEST_F(LiveViewControllerTest, ZoomPointsAndMovesAreSharesOfThePictureNotTheScreen) {
    usePtz(0);
    startConnected();
    controller->setPictureArea(QRect(40, 0, 240, 240));
    controller->zoomSteps(2, {40, 0});
    EXPECT_EQ(controller->zoom().part().topLeft(), QPointF(0, 0));
    controller->zoomSteps(-2, {160, 120});
    controller->zoomSteps(2, {160, 120});
    const QRectF centred = controller->zoom().part();
    controller->moveZoomed({24, 0});
    EXPECT_NEAR(controller->zoom().part().x(), centred.x() - 0.1 / 1.5625, 1e-9);
}

TEST_F(LiveViewControllerTest, ChosenSpeedGoesOutAndIsHandedBack) {
    usePtz(2);
    startConnected(2);
    controller->chooseSpeed(4);
    controller->penDown({300, 120}, false);
    controller->penUp();
    controller->setAudioIn(true);
    EXPECT_EQ(log, (Log{"start 9 speed 4", "stop 9", "audio in 1"}));
    EXPECT_EQ(display.menu.ptzSpeed, 4);
    EXPECT_TRUE(display.menu.playAudio);
    LiveViewChanges expected{};
    expected[2] = {4, 1, std::nullopt};
    EXPECT_EQ(controller->changes(), expected);

    std::array<CameraRecord, kCameraCount> form = records;
    std::array<CameraRecord*, kCameraCount> pointers{};
    for (std::size_t i = 0; i < form.size(); ++i) pointers[i] = &form[i];
    applyChanges(controller->changes(), pointers);
    EXPECT_EQ(form[2].ptzSpeed, 4);
    EXPECT_EQ(form[2].playAudio, 1);
    EXPECT_EQ(form[1].ptzSpeed, records[1].ptzSpeed);
}

// Direction keys, by OSD mode and PTZ: what goes to the camera, and whether
// the key steps to another camera.
struct KeyCase {
    bool osd;
    bool ptz;
    int key;
    Log sent;
    bool steps;
};

class DirectionKeyTest : public LiveViewControllerTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DirectionKeyTest, SendsOrSteps) {
    const KeyCase& c = GetParam();
    if (c.ptz) usePtz(0);
    record(0).inSwitchGroup = 1;
    record(1).inSwitchGroup = 1;
    startConnected(0);
    if (c.osd) {
        controller->setOsdMode(true);
        log.clear();
    }
    controller->keyDown(c.key, false);
    controller->keyDown(c.key, true); // held: the repeat does nothing
    if (!c.steps) controller->keyUp(c.key, false);
    if (c.steps) {
        EXPECT_EQ(log, Log{"close"});
        finishClosing(streams[0]);
        EXPECT_EQ(controller->currentPosition(), 1);
    } else {
        EXPECT_EQ(log, c.sent);
        EXPECT_EQ(controller->currentPosition(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, DirectionKeyTest,
                         ::testing::Values(KeyCase{true, true, Qt::Key_Up, {"osd 2", "osd 6"}, false},
                                           KeyCase{true, true, Qt::Key_Down, {"osd 3", "osd 7"}, false},
                                           KeyCase{true, true, Qt::Key_Left, {"osd 4"}, false},
                                           KeyCase{true, true, Qt::Key_Right, {"osd 5"}, false},
                                           KeyCase{true, false, Qt::Key_Down, {}, false},
                                           KeyCase{false, true, Qt::Key_Left, {}, false},
                                           KeyCase{false, true, Qt::Key_Down, {}, true},
                                           KeyCase{false, false, Qt::Key_Up, {}, true}));

TEST_F(LiveViewControllerTest, PatrolOpensTheNextStreamOnlyOnceTheLastHasClosed) {
    for (int camera : {2, 5, 9}) record(camera - 1).inSwitchGroup = 1;
    startConnected(4);
    controller->patrol(PatrolDirection::Next);
    EXPECT_EQ(log, Log{"close"});
    EXPECT_TRUE(controller->isConnecting());
    // Nothing starts again while the step is under way.
    controller->patrol(PatrolDirection::Next);
    controller->actionKey();
    EXPECT_EQ(display.menusOpened, 0);
    EXPECT_EQ(streams.size(), 1u);
    finishClosing(streams[0]);
    EXPECT_EQ(log, (Log{"close", "open", "destroyed"}));
    EXPECT_EQ(controller->currentPosition(), 8);
    EXPECT_EQ(display.name.left(4), QStringLiteral(" 9 -"));
    emit stream()->connected();
    controller->patrol(PatrolDirection::Next);
    finishClosing(streams[1]);
    EXPECT_EQ(controller->currentPosition(), 1);
    emit stream()->connected();
    controller->patrol(PatrolDirection::Previous);
    finishClosing(streams[2]);
    EXPECT_EQ(controller->currentPosition(), 8);
    EXPECT_TRUE(display.questions.empty());
}

TEST_F(LiveViewControllerTest, PatrolWithNoOtherCameraInTheGroupSaysSo) {
    record(4).inSwitchGroup = 1;
    startConnected(4);
    controller->patrol(PatrolDirection::Next);
    ASSERT_EQ(display.questions.size(), 1u);
    EXPECT_EQ(display.questions[0].text, QStringLiteral("No camara to do patorl!"));
    EXPECT_EQ(display.questions[0].caption, QStringLiteral("Patrol"));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(controller->isConnected());
}

TEST_F(LiveViewControllerTest, SteppingAwayStopsAMoveStillRunningUnderThePen) {
    usePtz(0);
    record(0).inSwitchGroup = 1;
    record(1).inSwitchGroup = 1;
    startConnected(0);
    controller->penDown({50, 120}, false);
    controller->keyDown(Qt::Key_Down, false);
    EXPECT_EQ(log, (Log{"start 2 speed 3", "stop 2", "close"}));
    EXPECT_TRUE(display.arrows.empty());
}

TEST_F(LiveViewControllerTest, MenuIsNotOfferedWhileConnectingAndStopsAMove) {
    usePtz(0);
    startAt(0);
    controller->keyDown(Qt::Key_Return, false);
    EXPECT_EQ(display.menusOpened, 0);
    emit stream()->connected();
    log.clear();
    controller->penDown({300, 120}, false);
    controller->actionKey();
    EXPECT_EQ(display.menusOpened, 1);
    EXPECT_EQ(log, (Log{"start 9 speed 3", "stop 9"}));
}

TEST_F(LiveViewControllerTest, OutputTogglesAndClosingSetsItBackBeforeTheStreamCloses) {
    startConnected();
    controller->toggleOutput();
    controller->toggleOutput();
    controller->toggleOutput();
    EXPECT_TRUE(display.menu.output);
    controller->close();
    EXPECT_EQ(log, (Log{"output 1", "output 0", "output 1", "output 0", "close"}));
    EXPECT_EQ(display.finished, 0);
    finishClosing(streams[0]);
    EXPECT_EQ(display.finished, 1);
    controller->close(); // once only
    EXPECT_EQ(display.orientations, std::vector<int>{0});
}

TEST_F(LiveViewControllerTest, MenuCommandsNeedPtzOrAQuadServerAsTheItemsSay) {
    record(0).quadServer = 1;
    startConnected();
    controller->setOsdMode(true); // no PTZ: the mode only
    EXPECT_TRUE(controller->isOsdMode());
    controller->setQuadDisplay(2);
    controller->setQuadDisplay(0);
    controller->setPreset(3);
    controller->goToPreset(3);
    EXPECT_EQ(log, (Log{"quad 2", "quad 0", "set preset 3", "go to preset 3"}));
    EXPECT_EQ(display.menu, (LiveMenuState{false, 3, true, false, false, false}));
}

// What talking to the camera shows, by its outcome.
struct TalkCase {
    TalkResult result;
    QString message;
    bool talking;
    int32_t streamingType = 2;
    QString told = QStringLiteral("10.1.2.3"); // the holder, or why not
    QString detail = {};                       // the message's line saying why
    bool offered = true;                       // Audio Out can still be chosen
};

class TalkTest : public LiveViewControllerTest, public ::testing::WithParamInterface<TalkCase> {};

TEST_P(TalkTest, ItemsFollowTheOutcome) {
    record(0).streamingType = GetParam().streamingType;
    startConnected();
    controller->startTalking();
    EXPECT_EQ(log, Log{"talk"});
    emit stream()->talkResult(GetParam().result, GetParam().told);
    EXPECT_EQ(display.menu.talking, GetParam().talking);
    EXPECT_EQ(display.menu.audioOut, GetParam().offered);
    EXPECT_EQ(display.menu.audioOutReason, GetParam().offered ? QString() : GetParam().told);
    if (GetParam().message.isEmpty()) {
        EXPECT_TRUE(display.questions.empty());
    } else {
        ASSERT_EQ(display.questions.size(), 1u);
        EXPECT_EQ(display.questions[0].text, GetParam().message);
        EXPECT_EQ(display.questions[0].caption, QStringLiteral("2-Way Audio"));
        EXPECT_EQ(display.questions[0].detail, GetParam().detail);
    }
    // A camera that cannot be talked to is not asked again.
    log.clear();
    controller->startTalking();
    EXPECT_EQ(log.size(), GetParam().offered ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TalkTest,
    ::testing::Values(TalkCase{TalkResult::Refused, QStringLiteral("Get Audio Out Token Fail!\n 10.1.2.3 Take It!"),
                               false},
                      TalkCase{TalkResult::Failed, QStringLiteral("Audio Out Fail!"), false},
                      TalkCase{TalkResult::Started, QString(), true},
                      TalkCase{TalkResult::Unavailable, QStringLiteral("Audio Out Fail!"), false, 5,
                               QStringLiteral("the camera refused the back channel (551)"),
                               QStringLiteral("the camera refused the back channel (551)"), false}));

TEST_F(LiveViewControllerTest, ProtocolOneCameraIsNeverAskedToTalk) {
    record(0).streamingType = 1;
    startConnected();
    controller->startTalking();
    controller->stopTalking();
    EXPECT_EQ(log, Log{"stop talking"});
    EXPECT_FALSE(display.menu.talking);
}

TEST_F(LiveViewControllerTest, ReportsOfAClosingStreamAreIgnored) {
    startAt(0);
    controller->close();
    emit streams[0]->failed(QString());
    emit streams[0]->networkLost();
    EXPECT_TRUE(display.questions.empty());
    EXPECT_EQ(display.finished, 0);
    finishClosing(streams[0]);
    EXPECT_EQ(display.finished, 1);
    EXPECT_EQ(display.orientations, std::vector<int>{0});
}

// The state after what the stream, the user and the clock do, one row each:
// the transitions of LiveViewController::enter() as the view sees them.
struct StateCase {
    const char* what;
    bool autoReconnect;
    std::function<void(LiveViewControllerTest&)> act;
    LiveViewController::State state;
    bool connected;
    bool showsVideo;
};

void PrintTo(const StateCase& c, std::ostream* out) { *out << c.what; }

class LiveViewStateTest : public LiveViewControllerTest, public ::testing::WithParamInterface<StateCase> {};

using State = LiveViewController::State;
using T = LiveViewControllerTest;

// Connected, lost, and connected again by the first attempt.
void reachAgain(T& t) {
    emit t.stream()->connected();
    emit t.stream()->networkLost();
    t.finishClosing(t.streams[0]);
    t.clock.advance(1000);
    emit t.stream()->connected();
}

const StateCase kStateCases[] = {
    {"opened", false, [](T&) {}, State::Connecting, false, false},
    {"connected", false, [](T& t) { emit t.stream()->connected(); }, State::Playing, true, true},
    {"failed", false, [](T& t) { emit t.stream()->failed({}); }, State::Failed, false, false},
    {"lost", false,
     [](T& t) {
         emit t.stream()->connected();
         emit t.stream()->networkLost();
     },
     State::Lost, true, true},
    {"lost, tried again", true,
     [](T& t) {
         emit t.stream()->connected();
         emit t.stream()->networkLost();
     },
     State::Reconnecting, false, true},
    {"reached again, no picture yet", true, [](T& t) { reachAgain(t); }, State::Reconnecting, false, true},
    {"reached again with a picture", true,
     [](T& t) {
         reachAgain(t);
         emit t.stream()->pictureShown();
     },
     State::Playing, true, true},
    {"stepping", false,
     [](T& t) {
         emit t.stream()->connected();
         t.controller->patrol(PatrolDirection::Next);
     },
     State::Stepping, false, false},
    {"stream closed", false,
     [](T& t) {
         emit t.stream()->connected();
         t.controller->streamClose();
     },
     State::Idle, false, false},
    {"closing", false, [](T& t) { t.controller->close(); }, State::Closing, false, false},
    {"closed", false,
     [](T& t) {
         t.controller->close();
         t.finishClosing(t.streams[0]);
     },
     State::Closed, false, false},
};

TEST_P(LiveViewStateTest, FollowsTheStreamAndTheUser) {
    const StateCase& c = GetParam();
    record(0).autoReconnect = c.autoReconnect ? 1 : 0;
    record(1).inSwitchGroup = 1;
    startAt(0);
    c.act(*this);
    EXPECT_EQ(controller->state(), c.state);
    EXPECT_EQ(controller->isConnected(), c.connected);
    EXPECT_EQ(controller->showsVideo(), c.showsVideo);
}

INSTANTIATE_TEST_SUITE_P(Steps, LiveViewStateTest, ::testing::ValuesIn(kStateCases));

// Pointing: a 320x240 screen showing a 16:9 picture between bars of 30.
class AimGestureTest : public LiveViewControllerTest {
protected:
    void SetUp() override {
        usePtz(0);
        startConnected(0);
        controller->setPictureArea(QRect(0, 30, 320, 180));
    }
};

TEST_F(AimGestureTest, DoubleClickCentresThePointItsFirstPressMovedAsAlways) {
    controller->penDown({300, 40}, false);
    controller->penUp();
    EXPECT_EQ(log, (Log{"start 8 speed 3", "stop 8"})) << "the first press is a press";
    controller->doubleClick({300, 40}, false);
    controller->penMove({305, 150});
    controller->penUp();
    // 300 of 320 across, 10 of 180 down the picture: the second press and its
    // release start and stop nothing.
    EXPECT_EQ(log, (Log{"start 8 speed 3", "stop 8", "aim 0.875,0.889 x1.00"}));
    ASSERT_TRUE(stream()->lastAim && stream()->lastAim->reference);
    EXPECT_EQ(stream()->lastAim->reference->pixels[3], 1) << "the picture the first press saw";
    EXPECT_EQ(display.aimTarget, QRect(300, 40, 0, 0));
    EXPECT_TRUE(controller->isAiming());
    // The next single press is a press again.
    log.clear();
    controller->penDown({10, 120}, false);
    controller->penUp();
    EXPECT_EQ(log, (Log{"start 2 speed 3", "stop 2"}));
}

TEST_F(AimGestureTest, ShiftDragDrawsABoxAndZoomsUntilItFillsThePicture) {
    controller->boxStart({200, 120});
    controller->penMove({40, 75});
    EXPECT_EQ(display.aimBox, QRect(QPoint(40, 75), QPoint(200, 120)));
    controller->penUp();
    // 160 x 45 of 320 x 180: half the width, a quarter of the height.
    EXPECT_EQ(log, (Log{"aim -0.250,0.250 x2.00"}));
    EXPECT_FALSE(display.aimBox);
    EXPECT_EQ(display.aimTarget, QRect(QPoint(40, 75), QPoint(200, 120)));
}

TEST_F(AimGestureTest, WhatCannotBePointedStaysThePressItWas) {
    controller->doubleClick({300, 10}, false); // on the upper bar
    controller->penUp();
    controller->boxStart({100, 100});
    controller->penMove({103, 102}); // a slip, not a box
    controller->penUp();
    EXPECT_EQ(log, (Log{"start 8 speed 3", "stop 8"}));
    record(1).ptzEnabled = 0;
    controller->streamOpen(1, LiveViewController::OpenMode::Switch);
    emit stream()->connected();
    log.clear();
    controller->doubleClick({160, 120}, false);
    controller->penUp();
    controller->boxStart({100, 100});
    controller->penMove({200, 200});
    controller->penUp();
    EXPECT_EQ(log, Log{}) << "without PTZ nothing goes to the camera";
}

TEST_F(AimGestureTest, AMeasuredCalibrationGoesToTheRecordAndWithTheNextPoint) {
    controller->doubleClick({160, 120}, false);
    controller->penUp();
    EXPECT_FALSE(stream()->lastAim->calibration) << "none measured yet";
    aim::Calibration measured;
    measured.add({0.0, {2.0, -2.0}});
    emit stream()->aimed(AimOutcome{true, {}, measured});
    EXPECT_FALSE(controller->isAiming());
    EXPECT_EQ(controller->changes()[0].ptzCalibration, measured.toText());
    controller->doubleClick({20, 60}, false);
    controller->penUp();
    ASSERT_TRUE(stream()->lastAim->calibration);
    EXPECT_EQ(*stream()->lastAim->calibration, measured);
    emit stream()->aimed(AimOutcome{false, QStringLiteral("the camera refused the move"), std::nullopt});
    EXPECT_EQ(display.notes.back(), QStringLiteral("the camera refused the move"));
}

} // namespace
} // namespace tavolin::ui::test
