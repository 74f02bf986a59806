#include "wall/camera_wall_dlg.h"

#include "capture/capture_set.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "live/digital_zoom.h"
#include "live/stream_records.h"
#include "stream/stream_catalogues.h"
#include "live/zoom_input.h"
#include "shell/shell.h"
#include "tavolin/camera_record.h"
#include "wall/wall_cell.h"
#include "wall/wall_stream_set.h"

namespace tavolin::ui {
namespace {

// How often the wall paints its cells' new pictures: the screen's refresh,
// but at most 30 times a second. Cameras send 25 or 30 pictures a second, so
// every picture is still painted, and each paint is a round trip to the X
// server: at 60 a second the wall's drawing and the server's cost about a
// third more (16 cameras of 640x360 in 4x4).
int repaintIntervalMs(const QScreen* screen) {
    constexpr double kMostPaintsPerSecond = 30.0;
    const double hertz = screen != nullptr ? screen->refreshRate() : 0.0;
    const double clamped = hertz >= 10.0 && hertz <= 240.0 ? hertz : 60.0;
    return static_cast<int>(1000.0 / std::min(clamped, kMostPaintsPerSecond));
}

// A swipe crosses at least this share of the wall's width.
constexpr int kSwipeShareOfWidth = 6;

std::optional<WallKey> wallKeyOf(int key) {
    switch (key) {
    case Qt::Key_1: return WallKey::One;
    case Qt::Key_4: return WallKey::Four;
    case Qt::Key_9: return WallKey::Nine;
    case Qt::Key_6: return WallKey::Sixteen;
    case Qt::Key_PageUp: return WallKey::PageUp;
    case Qt::Key_PageDown: return WallKey::PageDown;
    case Qt::Key_Left: return WallKey::Left;
    case Qt::Key_Right: return WallKey::Right;
    case Qt::Key_Up: return WallKey::Up;
    case Qt::Key_Down: return WallKey::Down;
    case Qt::Key_Return:
    case Qt::Key_Enter: return WallKey::Return;
    case Qt::Key_Menu: return WallKey::Menu;
    case Qt::Key_Escape: return WallKey::Escape;
    default: return std::nullopt;
    }
}

} // namespace

CameraWallDlg::CameraWallDlg(const Records& records, WallSettings settings, StreamFactory streams,
                             SingleViewRunner singleView, Shell& shell, const platform::Clock& clock, QWidget* parent,
                             std::optional<CaptureConfig> capture, StreamCatalogues* catalogues)
    : QDialog(parent), shell_(shell), singleView_(std::move(singleView)), pointer_(clock, 1) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
        records_[i] = records[i] != nullptr ? *records[i] : defaultCameraRecord(static_cast<int>(i));
    }
    setWindowTitle(QStringLiteral("Tavolin"));
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setFocusPolicy(Qt::StrongFocus);
    grabGesture(Qt::PinchGesture);

    for (auto& cell : cells_) cell = new WallCell(this);
    if (catalogues == nullptr) {
        ownCatalogues_ = std::make_unique<StreamCatalogues>();
        catalogues = ownCatalogues_.get();
    }
    if (capture) {
        CaptureServices services;
        services.streams = streams;
        services.catalogues = catalogues;
        services.timers = qtViewTimers();
        captures_ = new CaptureSet(records_, std::move(*capture), std::move(services), this);
        connect(captures_, &CaptureSet::recordingChanged, this, [this] { refreshCells(); });
        connect(captures_, &CaptureSet::told, this, [this](int, const QString& line) {
            shell_.prompts().showMessage(this, {line, QStringLiteral("Capture")}, {});
        });
    }
    streams_ = new WallStreamSet(
        records_, std::move(streams),
        [this](int position) -> WallCell* {
            // Cells are laid out for the grid the controller has just chosen.
            layoutCells();
            const auto index = controller_->grid().cellOf(position);
            return index ? cells_[static_cast<std::size_t>(*index)] : nullptr;
        },
        this, catalogues);
    controller_ = std::make_unique<WallController>(records_, *streams_, clock, settings);
    streams_->setController(controller_.get());
    connect(streams_, &WallStreamSet::changed, this, [this] { refreshCells(); });
    connect(streams_, &WallStreamSet::motion, this,
            [this](int position, int r1, int r2, int r3, int r4) { controller_->motion(position, r1, r2, r3, r4); });
    connect(streams_, &WallStreamSet::input, this,
            [this](int position, int i1, int i2) { controller_->input(position, i1, i2); });
    connect(streams_, &WallStreamSet::allClosed, this, [this] {
        if (started_ && !controller_->isRunning()) accept();
    });

    buildMenu();
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, [this] {
        if (pointer_.tick() == WallGesture::Hold) act(WallAction::OpenMenu);
        controller_->tick();
        refreshCells();
    });
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, &CameraWallDlg::repaintNewPictures);
    layoutCells();
}

CameraWallDlg::~CameraWallDlg() {
    // Streams still open close with their objects (the normal way out waits
    // for them to close first).
    streams_->setController(nullptr);
}

int CameraWallDlg::streamCount() const { return streams_->count(); }

void CameraWallDlg::buildMenu() {
    menu_ = new QMenu(this);
    const std::pair<const char*, WallLayout> layouts[] = {{"1 Camera", WallLayout::Single},
                                                          {"2 x 2", WallLayout::Grid2x2},
                                                          {"3 x 3", WallLayout::Grid3x3},
                                                          {"4 x 4", WallLayout::Grid4x4}};
    for (const auto& [text, layout] : layouts) {
        QAction* item = menu_->addAction(QString::fromLatin1(text));
        item->setCheckable(true);
        item->setData(cellCount(layout));
        connect(item, &QAction::triggered, this, [this, layout = layout] {
            controller_->setLayout(layout);
            act(WallAction::Redraw);
        });
    }
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Next Page")), &QAction::triggered, this,
            [this] { press(WallKey::PageDown); });
    connect(menu_->addAction(QStringLiteral("Previous Page")), &QAction::triggered, this,
            [this] { press(WallKey::PageUp); });
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Open Camera")), &QAction::triggered, this,
            [this] { act(WallAction::OpenSingle); });
    if (captures_ != nullptr) {
        connect(menu_->addAction(QStringLiteral("Snapshot")), &QAction::triggered, this, [this] {
            if (const auto camera = controller_->grid().selectedCamera()) captures_->snapshot(*camera);
        });
        connect(menu_->addAction(QStringLiteral("Record")), &QAction::triggered, this, [this] {
            if (const auto camera = controller_->grid().selectedCamera()) captures_->toggleRecord(*camera);
        });
    }
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Quit")), &QAction::triggered, this, [this] { act(WallAction::Close); });
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : menu_->actions()) {
            if (item->isCheckable()) item->setChecked(item->data().toInt() == controller_->grid().cells());
        }
    });
}

void CameraWallDlg::setVisible(bool visible) {
    if (visible && !started_) {
        shell_.enterFullScreen(this);
        resize(shell_.screenSize(this));
        QDialog::setVisible(true);
        if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
            raise();
            activateWindow();
        }
        start();
        return;
    }
    QDialog::setVisible(visible);
}

void CameraWallDlg::start() {
    started_ = true;
    layoutCells();
    controller_->start();
    refreshCells();
    tick_.start();
    frames_.start(repaintIntervalMs(screen()));
}

// All cells with a new picture are repainted together, in one pass over the
// window, so the X server gets one update per tick instead of one per
// picture of every camera. Nothing is repainted under the single view.
void CameraWallDlg::repaintNewPictures() {
    if (controller_->singleView()) return;
    for (WallCell* cell : cells_) {
        if (cell->isVisible()) cell->repaintIfNewPicture();
    }
}

void CameraWallDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutCells();
}

void CameraWallDlg::press(WallKey key) { act(controller_->key(key)); }

void CameraWallDlg::act(WallAction action) {
    if (!takesInput()) return;
    switch (action) {
    case WallAction::None: return;
    case WallAction::Redraw:
        layoutCells();
        refreshCells();
        return;
    case WallAction::OpenSingle: openSingleView(); return;
    case WallAction::OpenMenu: {
        const WallCell* selected = cells_[static_cast<std::size_t>(controller_->grid().selectedCell())];
        menu_->popup(mapToGlobal(selected->geometry().center()));
        return;
    }
    case WallAction::Close: finish(); return;
    }
}

void CameraWallDlg::openSingleView() {
    const auto position = controller_->openSingleView();
    if (!position) return;
    refreshCells();
    // The tick goes on behind the single view: the other cells keep
    // reconnecting on their own schedules.
    if (!singleView_) {
        singleViewClosed(*position, {});
        return;
    }
    const QPointer<CameraWallDlg> wall(this);
    ViewHandover handover;
    if (const auto index = controller_->grid().cellOf(*position)) {
        handover.picture = cells_[static_cast<std::size_t>(*index)]->newestPicture();
    }
    // The cell's stream runs on until the single view shows its own picture.
    handover.taken = [wall] {
        if (wall) wall->controller_->singleViewTookOver();
    };
    handover.closing = [wall](std::shared_ptr<VideoSurface> last) {
        if (wall) wall->singleViewPicture_ = std::move(last);
    };
    singleView_(*position, this, std::move(handover), [wall, position = *position](const LiveViewChanges& changed) {
        if (wall) wall->singleViewClosed(position, changed);
    });
}

void CameraWallDlg::singleViewClosed(int position, const LiveViewChanges& changed) {
    // The single view may have changed audio or speed of any camera it showed.
    for (std::size_t i = 0; i < changed.size(); ++i) {
        if (changed[i].ptzSpeed) changes_[i].ptzSpeed = changed[i].ptzSpeed;
        if (changed[i].playAudio) {
            changes_[i].playAudio = changed[i].playAudio;
            records_[i].playAudio = *changed[i].playAudio;
        }
    }
    controller_->singleViewClosed();
    // The camera's cell shows the single view's last picture until its own
    // stream has one again.
    if (const auto index = controller_->grid().cellOf(position); index && singleViewPicture_) {
        cells_[static_cast<std::size_t>(*index)]->setStandIn(singleViewPicture_);
    }
    singleViewPicture_.reset();
    if (!controller_->isRunning()) return;
    refreshCells();
    activateWindow();
    setFocus();
}

void CameraWallDlg::finish() {
    if (!controller_->isRunning()) return;
    tick_.stop();
    frames_.stop();
    controller_->stop();
    refreshCells();
    if (streams_->count() == 0) accept();
}

void CameraWallDlg::reject() { finish(); }

void CameraWallDlg::keyPressEvent(QKeyEvent* event) {
    if (const auto zoomKey = zoomKeyOf(event->key()); zoomKey && takesInput()) {
        // The selected cell zooms, around the pointer when it is over it.
        const int index = controller_->grid().selectedCell();
        const QRect area = cells_[static_cast<std::size_t>(index)]->geometry();
        const QPoint pointer = mapFromGlobal(QCursor::pos());
        zoomCell(index, area.contains(pointer) ? pointer : area.center(),
                 [key = *zoomKey](DigitalZoom& zoom, QPointF at) { return applyZoomKey(zoom, key, at); });
        return;
    }
    const auto key = wallKeyOf(event->key());
    if (!key) {
        QDialog::keyPressEvent(event);
        return;
    }
    press(*key);
}

void CameraWallDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) pointer_.press(at.x(), at.y());
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
        const int index = cellAt(at);
        const bool zoomed = index >= 0 && cells_[static_cast<std::size_t>(index)]->zoom().isZoomed();
        panCell_ = zoomed || event->button() == Qt::MiddleButton ? index : -1;
        panFrom_ = at;
        panned_ = false;
    }
}

void CameraWallDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    pointer_.move(at.x(), at.y());
    panTo(at);
}

void CameraWallDlg::panTo(QPoint at) {
    if (panCell_ < 0 || !takesInput()) return;
    WallCell* cell = cells_[static_cast<std::size_t>(panCell_)];
    const QPoint delta = at - panFrom_;
    panFrom_ = at;
    panned_ = panned_ || delta.manhattanLength() > 0;
    if (cell->zoom().pan(cell->pictureShareOfMove(delta))) cell->update();
}

void CameraWallDlg::mouseReleaseEvent(QMouseEvent* event) {
    const bool panned = std::exchange(panned_, false);
    if (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton) panCell_ = -1;
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    switch (pointer_.release(at.x(), at.y())) {
    case WallGesture::Tap:
        if (const int index = cellAt(at); index >= 0) act(controller_->click(index));
        return;
    // A drag that moved a zoomed picture turns no page.
    case WallGesture::SwipeNextPage:
        if (!panned) press(WallKey::PageDown);
        return;
    case WallGesture::SwipePreviousPage:
        if (!panned) press(WallKey::PageUp);
        return;
    case WallGesture::Hold:
    case WallGesture::None: return;
    }
}

void CameraWallDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (takesInput()) menu_->popup(event->globalPos());
}

void CameraWallDlg::wheelEvent(QWheelEvent* event) {
    const QPoint at = event->position().toPoint();
    const double steps = wheelSteps(*event);
    zoomCell(cellAt(at), at, [steps](DigitalZoom& zoom, QPointF share) { return zoom.zoomSteps(steps, share); });
    event->accept();
}

bool CameraWallDlg::event(QEvent* event) {
    if (const auto pinch = pinchOf(event, *this)) {
        const QPoint at = pinch->centre.toPoint();
        zoomCell(cellAt(at), at,
                 [ratio = pinch->ratio](DigitalZoom& zoom, QPointF share) { return zoom.zoomBy(ratio, share); });
        return true;
    }
    return QDialog::event(event);
}

void CameraWallDlg::zoomCell(int index, QPoint at, const std::function<bool(DigitalZoom&, QPointF share)>& change) {
    if (!takesInput() || index < 0 || index >= controller_->grid().cells()) return;
    WallCell* cell = cells_[static_cast<std::size_t>(index)];
    if (cell->camera() < 0 || !change(cell->zoom(), cell->pictureShareAt(at - cell->pos()))) return;
    cell->showZoom();
    // Zoomed in, the cell may need a larger stream.
    streams_->fitPicturesToCells();
}

int CameraWallDlg::cellAt(QPoint point) const {
    for (int i = 0; i < controller_->grid().cells(); ++i) {
        if (cells_[static_cast<std::size_t>(i)]->geometry().contains(point)) return i;
    }
    return -1;
}

void CameraWallDlg::layoutCells() {
    // Opening a stream lays the cells out first; that may come from here.
    if (std::exchange(layingOut_, true)) return;
    const WallGrid& grid = controller_->grid();
    const int n = grid.columns();
    pointer_.setSwipeDistance(std::max(1, width() / kSwipeShareOfWidth));
    for (int i = 0; i < kCameraCount; ++i) {
        WallCell* cell = cells_[static_cast<std::size_t>(i)];
        if (i >= grid.cells()) {
            cell->setCamera(-1, QString());
            cell->hide();
            continue;
        }
        const int row = i / n;
        const int column = i % n;
        const int left = column * width() / n;
        const int top = row * height() / n;
        cell->setGeometry(left, top, (column + 1) * width() / n - left, (row + 1) * height() / n - top);
        if (const auto position = grid.cameraAt(i)) {
            cell->setCamera(*position, cameraNameText(*position, records_[static_cast<std::size_t>(*position)]));
        } else {
            cell->setCamera(-1, QString());
        }
        cell->show();
    }
    // Streams kept across a change of layout now fill cells of another size.
    if (streams_ != nullptr) streams_->fitPicturesToCells();
    layingOut_ = false;
}

void CameraWallDlg::refreshCells() {
    for (int i = 0; i < controller_->grid().cells(); ++i) {
        cells_[static_cast<std::size_t>(i)]->setStatus(controller_->cellStatus(i));
        if (captures_ != nullptr) {
            const auto camera = controller_->grid().cameraAt(i);
            cells_[static_cast<std::size_t>(i)]->setRecording(camera && captures_->recording(*camera));
        }
    }
    // The selected camera's big stream fills its pre-roll while the wall is
    // in front; the single view arms its own.
    if (captures_ != nullptr) {
        captures_->show(controller_->isRunning() && !controller_->singleView() ? controller_->grid().selectedCamera()
                                                                               : std::nullopt);
    }
}

} // namespace tavolin::ui
