#include "wall/wall_stream_set.h"

#include <algorithm>
#include <utility>

#include "live/stream_records.h"
#include "live/surface_pool.h"
#include "live/video_surface.h"
#include "stream/stream_catalogues.h"
#include "stream/switching_stream.h"
#include "wall/wall_cell.h"

namespace tavolin::ui {

StreamSettings cellStreamSettings(const CameraRecord& record, QSize cell, uint32_t surface, bool playAudio) {
    StreamSettings s;
    s.streamingType = record.streamingType;
    // A record that cannot be reached leaves an empty connection record, so
    // the attempt fails instead of reaching another camera.
    prepareMediaConfig(s.connection, record);
    s.render = makeRenderInfo(surface, cell);
    // The decoder scales each picture once, to no more than the cell.
    s.render.flags |= OSTREL_RENDER_FIT_PICTURES;
    s.events = record.showEvents != 0;
    s.playAudio = playAudio;
    s.subStreamAddress = std::string(textOf(record.subStreamUrl));
    return s;
}

namespace {

// The cell shows what its camera's stream shows.
SurfacePool::Show showIn(WallCell* cell) {
    return [cell](const std::shared_ptr<VideoSurface>& surface) { cell->setSurface(surface); };
}

} // namespace

WallStreamSet::WallStreamSet(std::span<const CameraRecord, kCameraCount> records, StreamFactory factory, CellOf cellOf,
                             QObject* parent, StreamCatalogues* catalogues, ViewTimerFactory timers)
    : QObject(parent), records_(records), factory_(std::move(factory)), cellOf_(std::move(cellOf)),
      catalogues_(catalogues), timers_(std::move(timers)), closing_(*this) {
    if (catalogues_ == nullptr) {
        ownCatalogues_ = std::make_unique<StreamCatalogues>();
        catalogues_ = ownCatalogues_.get();
    }
}

WallStreamSet::~WallStreamSet() {
    // Streams end with their objects, each waiting for its own worker.
    controller_ = nullptr;
}

void WallStreamSet::open(int position, bool playAudio) {
    if (position < 0 || position >= kCameraCount || open_[position].stream) return;
    WallCell* cell = cellOf_(position);
    if (cell == nullptr) return;
    Open& slot = open_[position];
    slot.surfaces = std::make_unique<SurfacePool>(cell, VideoSurface::Repaint::WhenAsked, showIn(cell));
    slot.surfaces->setKeepAspect(true);
    // Each cell converts its pictures as it paints them (see VideoSurface).
    slot.surfaces->setTakesPlanes(true);
    slot.cell = cell;
    slot.box = cell->size();
    slot.stream =
        std::make_unique<SwitchingStream>(cellStreamSettings(records_[position], slot.box, 0, playAudio),
                                          SwitchingStream::Place{catalogues_, slot.surfaces.get(), factory_, timers_});
    slot.zoom = cell->zoom().factor();
    if (slot.zoom != 1.0) slot.stream->setDigitalZoom(slot.zoom);
    slot.connected = false;
    slot.audioAsked = slot.audioWanted = playAudio;
    connectSignals(position, slot.stream.get());
    slot.stream->open();
}

void WallStreamSet::fitPicturesToCells() {
    for (int position = 0; position < kCameraCount; ++position) {
        Open& slot = open_[position];
        if (!slot.stream) continue;
        if (WallCell* cell = cellOf_(position); cell != nullptr && cell != slot.cell) {
            // A new layout put the camera in another cell: its pictures go there.
            slot.cell = cell;
            slot.surfaces->moveTo(cell, showIn(cell));
        }
        if (slot.cell == nullptr) continue;
        if (slot.cell->size() != slot.box) {
            slot.box = slot.cell->size();
            slot.stream->fitPicturesInto(slot.box);
        }
        if (const double zoom = slot.cell->zoom().factor(); zoom != slot.zoom) {
            slot.zoom = zoom;
            slot.stream->setDigitalZoom(zoom);
        }
    }
}

void WallStreamSet::connectSignals(int position, LiveStream* stream) {
    connect(stream, &LiveStream::connected, this, [this, position, stream] {
        if (!isCurrent(position, stream)) return;
        Open& slot = open_[position];
        slot.connected = true;
        // Audio asked for while connecting went nowhere; ask again.
        if (slot.audioWanted != slot.audioAsked) setAudio(position, slot.audioWanted);
        if (controller_) controller_->streamConnected(position);
        emit changed(position);
    });
    connect(stream, &LiveStream::failed, this, [this, position, stream](const QString& reason) {
        if (!isCurrent(position, stream)) return;
        if (controller_) controller_->streamFailed(position, reason.toStdString());
        emit changed(position);
    });
    connect(stream, &LiveStream::networkLost, this, [this, position, stream](const QString& reason) {
        if (!isCurrent(position, stream)) return;
        if (controller_) controller_->streamLost(position, reason.toStdString());
        emit changed(position);
    });
    connect(stream, &LiveStream::pictureShown, this, [this, position, stream] {
        if (isCurrent(position, stream) && controller_ && controller_->pictureShown(position)) emit changed(position);
    });
    connect(stream, &LiveStream::motion, this, [this, position, stream](int r1, int r2, int r3, int r4) {
        if (isCurrent(position, stream)) emit motion(position, r1, r2, r3, r4);
    });
    connect(stream, &LiveStream::input, this, [this, position, stream](int i1, int i2) {
        if (isCurrent(position, stream)) emit input(position, i1, i2);
    });
}

bool WallStreamSet::isCurrent(int position, const QObject* stream) const {
    return open_[position].stream.get() == stream;
}

void WallStreamSet::close(int position) {
    if (position < 0 || position >= kCameraCount || !open_[position].stream) return;
    Open slot = std::exchange(open_[position], Open{});
    // The surfaces go after the stream; the cell may keep painting its last
    // picture.
    std::shared_ptr<SurfacePool> surfaces = std::move(slot.surfaces);
    closing_.retire(std::move(slot.stream), [this, position, surfaces](bool closedItself) {
        if (closedItself) onClosed(position);
    });
}

void WallStreamSet::onClosed(int position) {
    if (controller_) controller_->streamClosed(position);
    emit changed(position);
    if (count() == 0) emit allClosed();
}

void WallStreamSet::setAudio(int position, bool play) {
    if (position < 0 || position >= kCameraCount) return;
    Open& slot = open_[position];
    if (!slot.stream) return;
    slot.audioWanted = play;
    if (!slot.connected) return;
    slot.audioAsked = play;
    slot.stream->setAudioIn(play);
}

int WallStreamSet::count() const {
    const auto live = std::count_if(open_.begin(), open_.end(), [](const Open& s) { return s.stream != nullptr; });
    return static_cast<int>(live) + static_cast<int>(closing_.size());
}

} // namespace tavolin::ui
