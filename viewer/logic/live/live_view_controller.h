// The live view's logic, free of widgets: which camera is shown, its stream
// opened and closed in order, the progress of an attempt, events shown once
// a period, the pointer's sectors, the direction keys, holding to open the
// menu, OSD mode, patrol through the switch group, the menu's commands and
// its item states, and the way out. It works on copies of the camera records
// and hands back, per camera, what the user changed (PTZ speed, audio in).
//
// The view is in one State at a time, changed only by enter(). Questions to
// the user are asked without waiting: the controller goes on when the answer
// comes, if it still applies then.
//
// A camera whose record asks for it is tried again after a lost connection,
// on the reconnect schedule, with the last picture kept on the screen, while
// the question whether to return stays open.
//
// It drives a LiveStream that a factory makes for each camera (and for each
// attempt to reach it again), and shows what happens through a
// LiveViewDisplay; tests give it a fake stream and a manual clock.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "live/closing_streams.h"
#include "live/digital_zoom.h"
#include "live/live_menu_state.h"
#include "live/live_stream.h"
#include "live/live_view_display.h"
#include "live/patrol.h"
#include "live/record_changes.h"
#include "live/view_timer.h"
#include "platform/clock.h"
#include "tavolin/camera_record.h"
#include "tavolin/reconnect_schedule.h"

namespace tavolin::ui {

class CaptureSet;

class LiveViewController : public QObject {
    Q_OBJECT

public:
    using Records = std::array<CameraRecord, kCameraCount>;
    using StreamFactory = std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)>;
    enum class OpenMode { FirstPlay, Switch };
    enum Indicator { MD1, MD2, MD3, MD4, DI1, DI2 };

    enum class State {
        Idle,         // no stream for the user: not started yet, or its stream was closed
        Connecting,   // the user's camera is being reached; the progress bar runs
        Stepping,     // a patrol step: the last stream closes before the next opens
        Playing,      // connected: the stream client draws the pictures
        Lost,         // the connection was lost and is not tried again; the last picture stays
        Failed,       // the camera could not be reached: the failed picture
        Reconnecting, // a lost camera is tried again on the schedule, under its last picture
        Closing,      // the view ends once its streams have closed
        Closed,
    };

    static constexpr int kProgressMaximum = 90;
    static constexpr int kEventPeriodMs = 1000;
    // A finger held this long without moving further than the slop opens the
    // menu, where the finger steers nothing.
    static constexpr int kHoldMs = 700;
    static constexpr int kHoldSlop = 8;
    static constexpr int kPortraitDegrees = 0;
    static constexpr int kTurnedDegrees = 270;
    // Keys no other command of the view uses.
    static constexpr int kSnapshotKey = Qt::Key_S;
    static constexpr int kRecordKey = Qt::Key_R;

    // `clock` times the attempts to reach a lost camera again; `timers` wake
    // the view when one is due.
    LiveViewController(const Records& records, LiveViewDisplay& display, StreamFactory streams,
                       const ViewTimerFactory& timers,
                       const platform::Clock& clock = platform::SystemClock::instance());
    ~LiveViewController() override;

    // View initialisation once the display is turned and measured: the event
    // period starts and the stream of `position` opens. `surface` is the window
    // the stream client draws into.
    void start(int position, QSize screen, uint32_t surface);

    // Opens the stream of `position`: from the first play, a failure asks and
    // then ends the view; from a switch it shows the failed picture only.
    void streamOpen(int position, OpenMode mode);
    // Hides what belongs to the stream, sets the output back and closes the
    // stream; the stream finishes closing in the background.
    void streamClose();
    // Close: the period stops, the stream closes, and once it has the display
    // turns back and the view ends. Runs once.
    void close();

    // Input. `fromTouch`: a finger, which may be held to open the menu.
    void penDown(QPoint point, bool fromTouch);
    void penMove(QPoint point);
    void penUp();
    // True for the keys the view handles (direction keys, Return, Enter).
    static bool handlesKey(int key);
    void keyDown(int key, bool autoRepeat);
    void keyUp(int key, bool autoRepeat);
    // The action key: the menu, unless a connection attempt runs.
    void actionKey();
    void patrol(PatrolDirection direction);

    // The digital zoom of the picture, 1x to 8x: steps of the wheel or the
    // zoom keys and a pinch's ratio around a point of the view, a move of the
    // zoomed part by a pointer's move (the middle button; the pen on a camera
    // without PTZ, once zoomed), and back to the whole picture. A change goes
    // to the stream, which may switch to a larger one, and to the display.
    // Another camera starts unzoomed.
    void zoomSteps(double steps, QPoint at);
    void zoomBy(double ratio, QPoint at);
    void moveZoomed(QPoint delta);
    void resetZoom();
    const DigitalZoom& zoom() const { return zoom_; }

    // Pointing a PTZ camera at a point of its picture. A double-click (a
    // double tap) centres the camera on the point: its first press has done
    // what a press does, the second starts nothing and its release stops
    // nothing. A box drawn with Shift held (boxStart, then the pen's moves,
    // ended by penUp) centres the camera on it and zooms until it fills the
    // picture. Without PTZ, a stream, or on the bars beside the picture,
    // both are the presses they were before.
    void doubleClick(QPoint point, bool fromTouch);
    void boxStart(QPoint point);
    // A pointing request is on its way.
    bool isAiming() const { return aiming_; }
    // Where the picture lies on the screen, bars beside it when its aspect is
    // kept: zoom points and moves are shares of it. Empty: the whole screen.
    void setPictureArea(QRect area) { pictureArea_ = area; }
    QRect pictureArea() const { return zoomArea(); }

    // Menu commands.
    void setPreset(int preset);
    void goToPreset(int preset);
    void setOsdMode(bool on);
    void chooseSpeed(int speed);
    void setQuadDisplay(int mode); // 1..4 a monitor, 0 the quad picture
    void setAudioIn(bool on);
    void startTalking();
    void stopTalking();
    void toggleOutput();

    // Snapshot and Record of the shown camera (its keys and menu items): the
    // set arms the camera the view shows. Without a set they do nothing.
    void setCaptures(CaptureSet* captures);
    void snapshot();
    void toggleRecord();

    // Shows the indicators of the events of the last period and forgets them.
    void showEventsOfPeriod();

    // State, as the view, the demo and tests read it.
    State state() const { return state_; }
    int currentPosition() const { return position_; }
    const CameraRecord& currentRecord() const { return records_[static_cast<std::size_t>(position_)]; }
    bool isConnecting() const { return state_ == State::Connecting || state_ == State::Stepping; }
    // Connected, also after a loss that is not tried again.
    bool isConnected() const { return state_ == State::Playing || state_ == State::Lost; }
    // From a lost connection until pictures come again.
    bool isReconnecting() const { return state_ == State::Reconnecting; }
    // The stream client's pictures are on the screen (or the last of them).
    bool showsVideo() const { return isConnected() || isReconnecting(); }
    bool isClosed() const { return state_ == State::Closed; }
    bool hasStream() const { return stream_ != nullptr; }
    int progressCount() const { return progressCount_; }
    int outputState() const { return outputOn_ ? 1 : 0; }
    bool isOsdMode() const { return osdMode_; }
    const QString& nameText() const { return nameText_; }
    bool eventFlag(Indicator which) const { return eventFlags_[which]; }
    const LiveMenuState& menuState() const { return menu_; }
    const LiveViewChanges& changes() const { return changes_; }

private:
    // What is being asked: it runs beside the state, since the attempts to
    // reach a lost camera go on under the question.
    enum class Question { None, ConnectFail, NetworkLoss };

    // The one place the state changes: what the screen shows on entering
    // `next` follows from it.
    void enter(State next);
    // Hides what belongs to the stream, sets the output back and closes it,
    // leaving the state to the caller.
    void closeStream();
    // What the screen shows once a stream connected.
    void showConnected();
    void ask(Question question, const QString& detail = {});
    // The answer comes for the stream the user had then (`opened`); it
    // applies only while that is still so.
    void answered(Question question, int opened, PromptAnswer answer);

    void connectStream(LiveStream& stream, OpenMode mode);
    void onConnected();
    void onFailed(OpenMode mode, const QString& reason);
    void onNetworkLost();
    void onPictureShown();
    // The connection was lost or an attempt to restore it failed: the stream
    // goes, the picture stays, and the next attempt waits for the schedule.
    void reconnectLater();
    void retryIfDue();
    // Closes the stream in the background; its picture stays.
    void retireStream();
    void onProgress(int step);
    // Runs `next` once every stream that was closed has finished closing.
    void afterStreamsClosed(std::function<void()> next);
    void startSector(QPoint point);
    void stopPtzAction();
    // Ends a press: its move stops.
    void stopPen();
    bool ptzEnabled() const { return currentRecord().ptzEnabled != 0; }
    void setMenu(const LiveMenuState& state);
    // Tells the stream and the display of a zoom that changed.
    void zoomChanged(bool changed);
    bool canAim() const;
    aim::Rect viewPicture() const;
    aim::Rect zoomPart() const;
    void aimAt(const aim::Target& target, QRect shown);
    void onAimed(const AimOutcome& outcome);
    void finishBox(QPoint end);
    QPointF shareOf(QPoint point) const;
    QRect zoomArea() const;

    Records records_;
    LiveViewDisplay& display_;
    StreamFactory makeStream_;
    std::unique_ptr<ViewTimer> eventTimer_;
    std::unique_ptr<ViewTimer> holdTimer_;
    std::unique_ptr<ViewTimer> retryTimer_;
    const platform::Clock& clock_;
    ReconnectSchedule schedule_;

    State state_ = State::Idle;
    Question asking_ = Question::None;

    QSize screen_;
    QRect pictureArea_;
    uint32_t surface_ = 0;
    int position_ = 0;
    std::unique_ptr<LiveStream> stream_;

    int opened_ = 0; // streams opened for the user: first play, patrol
    int progressCount_ = 0;
    std::array<bool, kIndicatorCount> eventFlags_{};
    QString nameText_;
    LiveMenuState menu_;
    LiveViewChanges changes_{};

    bool penDown_ = false;
    std::optional<PtzSector> sector_;
    std::optional<PtzSector> ptzAction_;
    QPoint holdOrigin_;
    bool osdMode_ = false;
    DigitalZoom zoom_;
    std::optional<QPoint> panFrom_; // the pen moves the zoomed part
    // Pointing: the picture as the last press saw it, the press of a
    // double-click (its release stops nothing), the box being drawn.
    std::optional<aim::GrayPicture> pressPicture_;
    bool aimPress_ = false;
    std::optional<QPoint> boxFrom_;
    QPoint boxTo_;
    bool aiming_ = false;
    bool outputOn_ = false;
    CaptureSet* captures_ = nullptr;
    // Last: streams still closing go before what their end would reach.
    ClosingStreams closing_;
};

} // namespace tavolin::ui
