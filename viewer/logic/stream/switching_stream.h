// A place's stream that follows the place: it shows the camera's stream that
// fits the place's size (times the digital zoom), and when another fits
// better it opens that one beside the shown one, on a surface of its own,
// and shows it only once its first picture is decoded; the old one closes
// then. So the picture never goes black while the stream changes.
//
// One switch is in flight at a time. A switch that fails keeps the shown
// stream and is tried again later, waiting longer each time; a stream that
// fails before its first picture gives way to the next smaller one, says why
// (note()) and is tried again later. Each stream opens once no other holds
// its connection (SharedStreams); one that another place needs is let go. A place that
// shrinks switches down only once it has stayed smaller for a while, so a
// window resized back and forth does not flap between streams.
//
// To the live view and the wall it is one LiveStream: the news of the
// connection is the first stream's, later streams only take over the
// pictures; commands go to the stream shown.
#pragma once

#include <QSize>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "live/closing_streams.h"
#include "live/live_stream.h"
#include "live/view_timer.h"
#include "stream/stream_options.h"

namespace tavolin::ui {

class StreamCatalogues;
class StreamSurfaces;

class SwitchingStream final : public LiveStream {
    Q_OBJECT

public:
    using StreamFactory = std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)>;
    // What the streams of one place share; each outlives the stream.
    struct Place {
        StreamCatalogues* catalogues = nullptr;
        StreamSurfaces* surfaces = nullptr;
        StreamFactory streams; // opens one stream of the camera
        ViewTimerFactory timers;
    };

    // A place that has stayed smaller this long switches down.
    static constexpr int kShrinkDelayMs = 3000;
    // A failed switch is tried again after this, doubling up to the last.
    static constexpr int kFirstRetryMs = 2000;
    static constexpr int kLastRetryMs = 30000;

    // `settings` as for one stream; its render window is replaced by a
    // surface of the place, and its rectangle is the size the place needs.
    SwitchingStream(const StreamSettings& settings, Place place, QObject* parent = nullptr);
    ~SwitchingStream() override;
    SwitchingStream(const SwitchingStream&) = delete;
    SwitchingStream& operator=(const SwitchingStream&) = delete;

    void open() override;
    void close() override;
    void startMove(PtzSector sector, int speed) override;
    void stopMove(PtzSector sector) override;
    void setPreset(int preset) override;
    void goToPreset(int preset) override;
    void osd(OsdCommand command) override;
    void setQuadDisplay(int mode) override;
    void setOutput(bool on) override;
    void setAudioIn(bool play) override;
    void startTalking() override;
    void stopTalking() override;
    // The size the place needs now (its size times the digital zoom): the
    // streams decode no larger, and the choice of stream follows it.
    void fitPicturesInto(QSize box) override;
    // The place's picture magnified `factor` times: the choice of stream
    // follows the place's size times it, and pictures the decoder fits into
    // the place are decoded that much larger.
    void setDigitalZoom(double factor) override;
    void aim(const AimRequest& request) override;

    // The camera's option shown, and the one being switched to (-1: none).
    int shownOption() const { return shown_ ? shown_->option : -1; }
    int switchingTo() const { return next_ ? next_->option : -1; }

private:
    enum class State { Idle, Waiting, Running, Closing, Closed };
    struct Leg {
        std::unique_ptr<LiveStream> stream;
        uint32_t surface = 0;
        int option = -1;
        QSize box;
        bool pictured = false;
        std::string key;        // the camera stream it holds (SharedStreams)
        QString audioOutReason; // told while it was the next one
    };

    void startWithOptions();
    std::unique_ptr<Leg> openLeg(int option, bool shown);
    void wireShown(Leg& leg);
    void wireNext(Leg& leg);
    void onShownPicture();
    void onNextPicture();
    void onNextFailed();
    void onShownFailed(const QString& reason, bool lost);
    // The shown stream failed before its first picture: the next smaller one
    // is shown instead, and the failed one tried again later.
    void fallBack(const QString& reason);
    void onLetGo(LiveStream* stream);
    void unpark();
    void learn(Leg& leg);
    int wanted() const;
    // The box the streams decode into: the needed size, magnified by the zoom
    // where the decoder fits pictures to it.
    QSize decodeBox() const;
    // Tells the open streams the box they decode into now.
    void refit();
    // Starts a switch when the place wants another stream and may have it.
    void reconsider();
    void shrinkIfStillDue();
    void retire(std::unique_ptr<Leg> leg);
    void finishClosing();
    template <typename Command>
    void toShown(Command command) {
        if (shown_) command(*shown_->stream);
    }

    StreamSettings settings_;
    Place place_;
    QSize needed_;
    double zoom_ = 1.0;
    State state_ = State::Idle;
    StreamOptions options_;
    std::unique_ptr<Leg> shown_;
    std::unique_ptr<Leg> next_;
    bool connected_ = false; // told once
    bool pictured_ = false;  // told once
    bool playAudio_ = false;
    std::unique_ptr<ViewTimer> shrinkTimer_;
    std::unique_ptr<ViewTimer> retryTimer_;
    int retryMs_ = kFirstRetryMs;
    int ceiling_ = -1; // the largest option wanted until the retry; -1: any
    // Another place took the shown stream's connection: nothing is shown
    // until it is free again.
    bool parked_ = false;
    std::string parkedKey_;
    // Last: legs still closing go (and leave their surfaces) first.
    ClosingStreams closing_;
};

} // namespace tavolin::ui
