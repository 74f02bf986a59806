// The wall's streams: one LiveStream per open camera, each drawing into
// picture surfaces of its own that its cell paints, with pictures no larger
// than the cell; the camera's stream that fits the cell is chosen, and
// switched when the cell changes size. Their signals become the
// controller's stream news. A stream asked to close is kept until it says it
// closed (ClosingStreams), so nothing of a closing stream waits on the GUI
// thread.
#pragma once

#include <QObject>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "live/closing_streams.h"
#include "live/live_stream.h"
#include "live/view_timer.h"
#include "tavolin/camera_record.h"
#include "tavolin/wall_controller.h"
#include "tavolin/wall_streams.h"

namespace tavolin::ui {

class StreamCatalogues;
class SurfacePool;
class WallCell;

// What the stream of a cell opens with: the record's connection, its events
// when it shows them, pictures fitted into `cell` on surface `surface`, no
// PTZ (steering is the single view's).
StreamSettings cellStreamSettings(const CameraRecord& record, QSize cell, uint32_t surface, bool playAudio);

class WallStreamSet final : public QObject, public WallStreams {
    Q_OBJECT

public:
    using StreamFactory = std::function<std::unique_ptr<LiveStream>(const StreamSettings& settings)>;
    // The cell that shows camera `position` now, laid out; null for none.
    using CellOf = std::function<WallCell*(int position)>;

    // `factory` opens one stream of a camera; `catalogues` tells each
    // camera's streams (the set keeps its own when none is given).
    WallStreamSet(std::span<const CameraRecord, kCameraCount> records, StreamFactory factory, CellOf cellOf,
                  QObject* parent = nullptr, StreamCatalogues* catalogues = nullptr,
                  ViewTimerFactory timers = qtViewTimers());
    ~WallStreamSet() override;

    // Where the stream news goes; null stops it.
    void setController(WallController* controller) { controller_ = controller; }

    void open(int position, bool playAudio) override;
    void close(int position) override;
    void setAudio(int position, bool play) override;

    // Streams that are open or still closing.
    int count() const;
    // Tells each open stream the size its cell has now and its digital zoom,
    // when they changed; a camera the layout moved to another cell is shown
    // there.
    void fitPicturesToCells();

signals:
    // The state of camera `position` may have changed.
    void changed(int position);
    void motion(int position, int region1, int region2, int region3, int region4);
    void input(int position, int input1, int input2);
    // The last stream closed.
    void allClosed();

private:
    struct Open {
        // Declared first, so they go after the stream that draws into them.
        std::shared_ptr<SurfacePool> surfaces;
        std::unique_ptr<LiveStream> stream;
        WallCell* cell = nullptr; // a child of the wall, as long as the wall
        QSize box;                // what the stream was last told to fit into
        double zoom = 1.0;        // and the digital zoom it was last told
        bool connected = false;
        bool audioAsked = false; // what the stream was opened with or told
        bool audioWanted = false;
    };

    void connectSignals(int position, LiveStream* stream);
    bool isCurrent(int position, const QObject* stream) const;
    void onClosed(int position);

    std::span<const CameraRecord, kCameraCount> records_;
    StreamFactory factory_;
    CellOf cellOf_;
    WallController* controller_ = nullptr;
    std::unique_ptr<StreamCatalogues> ownCatalogues_;
    StreamCatalogues* catalogues_;
    ViewTimerFactory timers_;
    std::array<Open, kCameraCount> open_;
    ClosingStreams closing_;
};

} // namespace tavolin::ui
