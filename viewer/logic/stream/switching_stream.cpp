#include "stream/switching_stream.h"

#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "stream/frame_fan_out.h"
#include "stream/shared_streams.h"
#include "stream/stream_catalogues.h"
#include "stream/stream_choice.h"
#include "stream/stream_surfaces.h"

namespace tavolin::ui {

SwitchingStream::SwitchingStream(const StreamSettings& settings, Place place, QObject* parent)
    : LiveStream(parent), settings_(settings), place_(std::move(place)),
      needed_(settings.render.width, settings.render.height), playAudio_(settings.playAudio), closing_(*this) {
    shrinkTimer_ = place_.timers(kShrinkDelayMs, true, [this] { shrinkIfStillDue(); });
    retryTimer_ = place_.timers(kFirstRetryMs, true, [this] {
        ceiling_ = -1;
        reconsider();
    });
    connect(place_.catalogues, &StreamCatalogues::ready, this, [this](const QString& key) {
        if (state_ == State::Waiting && key.toStdString() == StreamCatalogues::keyOf(settings_)) startWithOptions();
    });
    SharedStreams& shared = place_.catalogues->shared();
    connect(&shared, &SharedStreams::letGo, this, &SwitchingStream::onLetGo);
    connect(&shared, &SharedStreams::changed, this, [this](const QString& key) {
        if (parked_ && key.toStdString() == parkedKey_ && place_.catalogues->shared().holderOf(parkedKey_) == nullptr)
            unpark();
    });
}

SwitchingStream::~SwitchingStream() {
    // Nothing opens again while the streams go.
    state_ = State::Closed;
    // Each stream ends with its object; then nothing draws into its surface.
    const auto end = [this](std::unique_ptr<Leg>& leg) {
        if (!leg) return;
        leg->stream.reset();
        place_.surfaces->removeSurface(leg->surface);
        leg.reset();
    };
    end(next_);
    end(shown_);
}

void SwitchingStream::open() {
    if (state_ != State::Idle) return;
    state_ = State::Waiting;
    if (const std::optional<StreamOptions> options = place_.catalogues->streams(settings_)) {
        options_ = *options;
        startWithOptions();
        return;
    }
    // The camera is asked which streams it has: the attempt has begun.
    emit progress(1);
}

void SwitchingStream::startWithOptions() {
    if (options_.empty()) {
        const std::optional<StreamOptions> options = place_.catalogues->streams(settings_);
        if (!options) return;
        options_ = *options;
    }
    state_ = State::Running;
    shown_ = openLeg(wanted(), true);
}

int SwitchingStream::wanted() const {
    std::vector<QSize> sizes;
    sizes.reserve(options_.size());
    for (const StreamOption& option : options_) sizes.push_back(option.size);
    const int fits = std::max(0, chooseStream(needed_, zoom_, sizes));
    // A stream that failed is not wanted again before its retry.
    return ceiling_ >= 0 ? std::min(fits, ceiling_) : fits;
}

QSize SwitchingStream::decodeBox() const {
    if ((settings_.render.flags & OSTREL_RENDER_FIT_PICTURES) == 0) return needed_;
    return needed_ * zoom_;
}

std::unique_ptr<SwitchingStream::Leg> SwitchingStream::openLeg(int option, bool shown) {
    auto leg = std::make_unique<Leg>();
    leg->option = option;
    leg->box = decodeBox();
    leg->surface = place_.surfaces->addSurface();
    StreamSettings settings = settings_;
    applyOption(settings.connection, options_[static_cast<std::size_t>(option)]);
    settings.render.window = leg->surface;
    settings.render.width = leg->box.width();
    settings.render.height = leg->box.height();
    // Only the stream shown is heard; the next one takes the audio over.
    settings.playAudio = shown && playAudio_;
    // Its records also reach the captures of the camera.
    settings.frames = std::make_shared<FrameFanOut>();
    leg->key = SharedStreams::keyOf(settings);
    leg->stream = place_.streams(settings);
    if (shown) {
        place_.surfaces->showSurface(leg->surface);
        wireShown(*leg);
    } else {
        wireNext(*leg);
    }
    // It opens once no other stream holds the connection.
    LiveStream* stream = leg->stream.get();
    place_.catalogues->shared().hold(*stream, settings, SharedStreams::Holder::View, [stream] { stream->open(); });
    return leg;
}

void SwitchingStream::wireShown(Leg& leg) {
    LiveStream* s = leg.stream.get();
    connect(s, &LiveStream::connected, this, [this] {
        if (!std::exchange(connected_, true)) emit connected();
    });
    connect(s, &LiveStream::failed, this, [this](const QString& reason) { onShownFailed(reason, false); });
    connect(s, &LiveStream::networkLost, this, [this](const QString& reason) { onShownFailed(reason, true); });
    connect(s, &LiveStream::progress, this, [this](int step) {
        if (!connected_) emit progress(step);
    });
    connect(s, &LiveStream::motion, this, &LiveStream::motion);
    connect(s, &LiveStream::input, this, &LiveStream::input);
    connect(s, &LiveStream::talkResult, this, &LiveStream::talkResult);
    connect(s, &LiveStream::audioOutUnavailable, this, &LiveStream::audioOutUnavailable);
    connect(s, &LiveStream::aimed, this, &LiveStream::aimed);
    connect(s, &LiveStream::pictureShown, this, &SwitchingStream::onShownPicture);
}

void SwitchingStream::wireNext(Leg& leg) {
    LiveStream* s = leg.stream.get();
    connect(s, &LiveStream::pictureShown, this, &SwitchingStream::onNextPicture);
    connect(s, &LiveStream::failed, this, &SwitchingStream::onNextFailed);
    connect(s, &LiveStream::networkLost, this, &SwitchingStream::onNextFailed);
    // Kept until it is shown: then the place hears it.
    Leg* l = &leg;
    connect(s, &LiveStream::audioOutUnavailable, this, [l](const QString& reason) { l->audioOutReason = reason; });
}

void SwitchingStream::onShownFailed(const QString& reason, bool lost) {
    // A stream that never showed a picture gives way to the next smaller one.
    if (shown_ && !shown_->pictured && shown_->option > 0) {
        fallBack(reason);
        return;
    }
    // Told once as a failure; after the first connection, as a loss.
    if (!lost && !connected_) {
        emit failed(reason);
    } else {
        emit networkLost(reason);
    }
}

void SwitchingStream::fallBack(const QString& reason) {
    const int failedOption = shown_->option;
    const QSize size = options_[static_cast<std::size_t>(failedOption)].size;
    const QString which = size.isEmpty() ? QStringLiteral("the larger stream")
                                         : QStringLiteral("the %1x%2 stream").arg(size.width()).arg(size.height());
    emit note(QStringLiteral("%1 failed (%2); a smaller one is shown, and it is tried again later")
                  .arg(which, reason.isEmpty() ? QStringLiteral("no picture came") : reason));
    retire(std::move(shown_));
    ceiling_ = failedOption - 1;
    retryTimer_->restart(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    shown_ = openLeg(failedOption - 1, true);
}

void SwitchingStream::onLetGo(LiveStream* stream) {
    if (next_ && next_->stream.get() == stream) {
        // Another place needs that connection: the switch waits.
        retire(std::move(next_));
        retryTimer_->restart(retryMs_);
        return;
    }
    if (!shown_ || shown_->stream.get() != stream) return;
    // The place keeps its last picture and takes the stream again once the
    // connection is free.
    parked_ = true;
    parkedKey_ = shown_->key;
    retire(std::move(shown_));
    if (next_) retire(std::move(next_));
}

void SwitchingStream::unpark() {
    parked_ = false;
    if (state_ == State::Running) shown_ = openLeg(wanted(), true);
}

void SwitchingStream::learn(Leg& leg) {
    leg.pictured = true;
    const QSize picture = place_.surfaces->pictureSize(leg.surface);
    place_.catalogues->pictureSeen(settings_, leg.option, picture, leg.box);
    learnSize(options_[static_cast<std::size_t>(leg.option)], picture, leg.box);
}

void SwitchingStream::onShownPicture() {
    if (!shown_ || shown_->pictured) return;
    learn(*shown_);
    if (!std::exchange(pictured_, true)) emit pictureShown();
    reconsider();
}

void SwitchingStream::onNextPicture() {
    if (!next_ || next_->pictured) return;
    learn(*next_);
    // The new stream has a picture: it is shown, and the old one goes.
    std::unique_ptr<Leg> old = std::move(shown_);
    shown_ = std::move(next_);
    shown_->stream->disconnect(this);
    wireShown(*shown_);
    place_.surfaces->showSurface(shown_->surface);
    if (playAudio_) shown_->stream->setAudioIn(true);
    // What it told while it was the next one.
    if (!shown_->audioOutReason.isNull()) emit audioOutUnavailable(shown_->audioOutReason);
    retire(std::move(old));
    retryMs_ = kFirstRetryMs;
    reconsider();
}

void SwitchingStream::onNextFailed() {
    if (!next_) return;
    retire(std::move(next_));
    retryTimer_->restart(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void SwitchingStream::reconsider() {
    if (state_ != State::Running || !shown_ || !shown_->pictured) return;
    const int want = wanted();
    if (want == shown_->option) {
        shrinkTimer_->stop();
        // The place went back to what is shown: the switch is not needed.
        if (next_) retire(std::move(next_));
        return;
    }
    if (next_ || retryTimer_->isActive()) return;
    if (want > shown_->option) {
        shrinkTimer_->stop();
        next_ = openLeg(want, false);
    } else if (!shrinkTimer_->isActive()) {
        shrinkTimer_->start();
    }
}

void SwitchingStream::shrinkIfStillDue() {
    if (state_ != State::Running || !shown_ || next_ || retryTimer_->isActive()) return;
    const int want = wanted();
    if (want < shown_->option) next_ = openLeg(want, false);
}

void SwitchingStream::fitPicturesInto(QSize box) {
    if (state_ == State::Closing || state_ == State::Closed) return;
    needed_ = box;
    refit();
}

void SwitchingStream::setDigitalZoom(double factor) {
    if (state_ == State::Closing || state_ == State::Closed || !(factor >= 1.0) || factor == zoom_) return;
    const QSize before = decodeBox();
    zoom_ = factor;
    if (decodeBox() != before) {
        refit();
    } else {
        reconsider();
    }
}

void SwitchingStream::refit() {
    const QSize box = decodeBox();
    for (Leg* leg : {shown_.get(), next_.get()}) {
        if (leg == nullptr) continue;
        leg->box = box;
        leg->stream->fitPicturesInto(box);
    }
    reconsider();
}

void SwitchingStream::retire(std::unique_ptr<Leg> leg) {
    // Nothing draws into its surface once it has gone.
    closing_.retire(std::move(leg->stream), [this, surface = leg->surface](bool closedItself) {
        place_.surfaces->removeSurface(surface);
        if (closedItself) finishClosing();
    });
}

void SwitchingStream::finishClosing() {
    if (state_ != State::Closing || !closing_.empty()) return;
    state_ = State::Closed;
    emit closed();
}

void SwitchingStream::close() {
    if (state_ == State::Closing || state_ == State::Closed) return;
    const bool nothingOpen = !shown_ && !next_;
    state_ = State::Closing;
    shrinkTimer_->stop();
    retryTimer_->stop();
    if (next_) retire(std::move(next_));
    if (shown_) retire(std::move(shown_));
    // Told after the caller has returned, as a stream that ran tells it.
    if (nothingOpen)
        QMetaObject::invokeMethod(
            this, [this] { finishClosing(); }, Qt::QueuedConnection);
}

void SwitchingStream::startMove(PtzSector sector, int speed) {
    toShown([&](LiveStream& s) { s.startMove(sector, speed); });
}
void SwitchingStream::aim(const AimRequest& request) {
    if (!shown_) {
        emit aimed(AimOutcome{false, QStringLiteral("the camera is not connected"), std::nullopt});
        return;
    }
    shown_->stream->aim(request);
}

void SwitchingStream::stopMove(PtzSector sector) {
    toShown([&](LiveStream& s) { s.stopMove(sector); });
}
void SwitchingStream::setPreset(int preset) {
    toShown([&](LiveStream& s) { s.setPreset(preset); });
}
void SwitchingStream::goToPreset(int preset) {
    toShown([&](LiveStream& s) { s.goToPreset(preset); });
}
void SwitchingStream::osd(OsdCommand command) {
    toShown([&](LiveStream& s) { s.osd(command); });
}
void SwitchingStream::setQuadDisplay(int mode) {
    toShown([&](LiveStream& s) { s.setQuadDisplay(mode); });
}
void SwitchingStream::setOutput(bool on) {
    toShown([&](LiveStream& s) { s.setOutput(on); });
}
void SwitchingStream::setAudioIn(bool play) {
    playAudio_ = play;
    toShown([&](LiveStream& s) { s.setAudioIn(play); });
}
void SwitchingStream::startTalking() {
    toShown([](LiveStream& s) { s.startTalking(); });
}
void SwitchingStream::stopTalking() {
    toShown([](LiveStream& s) { s.stopTalking(); });
}

} // namespace tavolin::ui
