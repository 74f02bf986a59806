#include "wall/camera_wall_dlg.h"

#include "capture/capture_set.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QWindow>
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
#include "tavolin/wall_screens.h"
#include "wall/wall_camera_list.h"
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
// The camera list's width beside the wall.
constexpr int kCameraListWidth = 220;

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
    setAcceptDrops(true);
    cameraList_ = new WallCameraList(this);
    for (const int position : wallCameras(records_)) {
        cameraList_->addCamera(position, cameraNameText(position, records_[static_cast<std::size_t>(position)]));
    }
    cameraList_->hide();
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
        // The tour shows its next layout.
        if (controller_->tick() == WallAction::Redraw) layoutCells();
        refreshCells();
    });
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, &CameraWallDlg::repaintNewPictures);
    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        if (started_) placeOnScreen();
    });
    // A removed screen is still listed while this is told; place once it is gone.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] {
        if (started_) QTimer::singleShot(0, this, [this] { placeOnScreen(); });
    });
    layoutCells();
}

void CameraWallDlg::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] {
        if (started_) placeOnScreen();
    });
}

void CameraWallDlg::placeOnScreen() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return;
    const WallScreens chosen = chooseWallScreens(controller_->settings().screen, static_cast<int>(screens.size()));
    QScreen* screen = screens[chosen.wall];
    // Another screen of another X display makes a new native window, hidden.
    const bool shown = isVisible();
    setScreen(screen);
    setGeometry(screen->geometry());
    shell_.enterFullScreen(this);
    resize(shell_.screenSize(this));
    if (shown && !isVisible()) {
        // Its widget still counts as shown: showing alone does nothing.
        QDialog::setVisible(false);
        QDialog::setVisible(true);
    }
    layoutCells();
}

void CameraWallDlg::moveToScreen(int index) {
    if (index < 0 || index >= static_cast<int>(QGuiApplication::screens().size())) return;
    controller_->setScreen(index);
    if (started_) placeOnScreen();
}

void CameraWallDlg::showLayout(int number) {
    if (controller_->showLayout(number)) act(WallAction::Redraw);
}

void CameraWallDlg::toggleCameraList() {
    cameraList_->setVisible(!cameraList_->isVisible());
    layoutCells();
}

QRect CameraWallDlg::wallArea() const {
    const int list = cameraList_ != nullptr && cameraList_->isVisible() ? std::min(kCameraListWidth, width() / 3) : 0;
    return {0, 0, width() - list, height()};
}

CameraWallDlg::~CameraWallDlg() {
    // Streams still open close with their objects (the normal way out waits
    // for them to close first).
    streams_->setController(nullptr);
}

void CameraWallDlg::offerPlayback(PlaybackOpener open) {
    openPlayback_ = std::move(open);
    playbackItem_->setVisible(static_cast<bool>(openPlayback_));
}

int CameraWallDlg::streamCount() const { return streams_->count(); }

void CameraWallDlg::buildMenu() {
    menu_ = new QMenu(this);
    for (const WallLayout layout : kWallLayouts) {
        QAction* item = menu_->addAction(QString::fromLatin1(layoutTitle(layout)));
        item->setCheckable(true);
        item->setData(cellCount(layout));
        connect(item, &QAction::triggered, this, [this, layout] {
            controller_->setLayout(layout);
            act(WallAction::Redraw);
        });
    }
    layoutsMenu_ = menu_->addMenu(QStringLiteral("Layouts"));
    connect(layoutsMenu_, &QMenu::aboutToShow, this, &CameraWallDlg::fillLayoutsMenu);
    connect(menu_->addAction(QStringLiteral("Cameras\tC")), &QAction::triggered, this, [this] { toggleCameraList(); });
    connect(menu_->addAction(QStringLiteral("Empty Cell\tDel")), &QAction::triggered, this, [this] {
        if (controller_->emptyCell(controller_->grid().selectedCell())) act(WallAction::Redraw);
    });
    connect(menu_->addAction(QStringLiteral("Start Tour")), &QAction::triggered, this, [this] {
        if (controller_->startTour()) act(WallAction::Redraw);
    });
    screensMenu_ = menu_->addMenu(QStringLiteral("Screen"));
    connect(screensMenu_, &QMenu::aboutToShow, this, &CameraWallDlg::fillScreensMenu);
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Next Page")), &QAction::triggered, this,
            [this] { press(WallKey::PageDown); });
    connect(menu_->addAction(QStringLiteral("Previous Page")), &QAction::triggered, this,
            [this] { press(WallKey::PageUp); });
    menu_->addSeparator();
    connect(menu_->addAction(QStringLiteral("Open Camera")), &QAction::triggered, this,
            [this] { act(WallAction::OpenSingle); });
    playbackItem_ = menu_->addAction(QStringLiteral("Playback"));
    playbackItem_->setVisible(false);
    connect(playbackItem_, &QAction::triggered, this, [this] {
        const auto camera = controller_->grid().selectedCamera();
        if (camera && openPlayback_) openPlayback_(records_[static_cast<std::size_t>(*camera)], this, {});
    });
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
        // Filled now, so that a test (or a keyboard user) finds them at once.
        fillLayoutsMenu();
        fillScreensMenu();
    });
    fillLayoutsMenu();
    fillScreensMenu();
}

void CameraWallDlg::fillLayoutsMenu() {
    layoutsMenu_->clear();
    for (int number = 0; number < controller_->layoutCount(); ++number) {
        QString text = QString::fromStdString(controller_->layoutName(number));
        if (number < 9) text += QStringLiteral("\tCtrl+%1").arg(number + 1);
        QAction* item = layoutsMenu_->addAction(text);
        item->setCheckable(true);
        item->setChecked(number == controller_->shownLayout());
        connect(item, &QAction::triggered, this, [this, number] { showLayout(number); });
    }
    layoutsMenu_->addSeparator();
    connect(layoutsMenu_->addAction(QStringLiteral("New Layout")), &QAction::triggered, this, [this] {
        controller_->addArrangement(controller_->grid().layout());
        act(WallAction::Redraw);
    });
}

void CameraWallDlg::fillScreensMenu() {
    screensMenu_->clear();
    const QList<QScreen*> screens = QGuiApplication::screens();
    const int shownOn = static_cast<int>(screens.indexOf(screen()));
    for (int index = 0; index < static_cast<int>(screens.size()); ++index) {
        QAction* item = screensMenu_->addAction(QStringLiteral("Move to Screen %1").arg(index + 1));
        item->setCheckable(true);
        item->setChecked(index == shownOn);
        connect(item, &QAction::triggered, this, [this, index] { moveToScreen(index); });
    }
}

void CameraWallDlg::setVisible(bool visible) {
    if (visible && !started_) {
        placeOnScreen();
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
    if (singleViewCoversWall()) return;
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
    const QList<QScreen*> screens = QGuiApplication::screens();
    const WallScreens chosen = chooseWallScreens(controller_->settings().screen, static_cast<int>(screens.size()));
    singleScreen_ = chosen.single != chosen.wall ? screens[chosen.single] : nullptr;
    handover.screen = singleScreen_;
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
    singleScreen_ = nullptr;
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
    // Any key stops a tour, and does nothing else.
    if (takesInput() && controller_->interruptTour()) return;
    const int key = event->key();
    if ((event->modifiers() & Qt::ControlModifier) != 0 && key >= Qt::Key_1 && key <= Qt::Key_9) {
        if (takesInput()) showLayout(key - Qt::Key_1);
        return;
    }
    if (key == Qt::Key_Delete && takesInput()) {
        if (controller_->emptyCell(controller_->grid().selectedCell())) act(WallAction::Redraw);
        return;
    }
    if (key == Qt::Key_C && takesInput()) {
        toggleCameraList();
        return;
    }
    if (const auto zoomKey = zoomKeyOf(event->key()); zoomKey && takesInput()) {
        // The selected cell zooms, around the pointer when it is over it.
        const int index = controller_->grid().selectedCell();
        const QRect area = cells_[static_cast<std::size_t>(index)]->geometry();
        const QPoint pointer = mapFromGlobal(QCursor::pos());
        zoomCell(index, area.contains(pointer) ? pointer : area.center(),
                 [key = *zoomKey](DigitalZoom& zoom, QPointF at) { return applyZoomKey(zoom, key, at); });
        return;
    }
    const auto wallKey = wallKeyOf(key);
    if (!wallKey) {
        QDialog::keyPressEvent(event);
        return;
    }
    press(*wallKey);
}

void CameraWallDlg::mousePressEvent(QMouseEvent* event) {
    // A click stops a tour, and does nothing else.
    if (takesInput() && controller_->interruptTour()) return;
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        pointer_.press(at.x(), at.y());
        dragFrom_ = cellAt(at);
    }
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
    const int from = std::exchange(dragFrom_, -1);
    const WallGesture gesture = pointer_.release(at.x(), at.y());
    // A drag from a camera onto another cell swaps the two, unless it is a
    // swipe through pages (Ctrl makes it a swap there too).
    const int to = cellAt(at);
    const bool swipe = gesture == WallGesture::SwipeNextPage || gesture == WallGesture::SwipePreviousPage;
    const bool paging = controller_->grid().pageCount() > 1 && (event->modifiers() & Qt::ControlModifier) == 0;
    if (!panned && gesture != WallGesture::Tap && from >= 0 && to >= 0 && to != from && (!swipe || !paging) &&
        takesInput() && controller_->grid().cameraAt(from) && controller_->swapCells(from, to)) {
        act(WallAction::Redraw);
        return;
    }
    switch (gesture) {
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

void CameraWallDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (takesInput() && WallCameraList::cameraOf(event->mimeData())) event->acceptProposedAction();
}

void CameraWallDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (cellAt(event->position().toPoint()) >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CameraWallDlg::dropEvent(QDropEvent* event) {
    const auto camera = WallCameraList::cameraOf(event->mimeData());
    const int cell = cellAt(event->position().toPoint());
    if (!camera || cell < 0 || !takesInput()) return;
    event->acceptProposedAction();
    if (controller_->putCamera(*camera, cell)) act(WallAction::Redraw);
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
    pointer_.setSwipeDistance(std::max(1, width() / kSwipeShareOfWidth));
    for (int i = 0; i < kCameraCount; ++i) {
        WallCell* cell = cells_[static_cast<std::size_t>(i)];
        if (i >= grid.cells()) {
            cell->setCamera(-1, QString());
            cell->hide();
            continue;
        }
        const QRect area = wallArea();
        const CellBox box = cellBox(grid.layout(), i, area.width(), area.height());
        cell->setGeometry(box.left, box.top, box.width, box.height);
        if (const auto position = grid.cameraAt(i)) {
            cell->setCamera(*position, cameraNameText(*position, records_[static_cast<std::size_t>(*position)]));
        } else {
            cell->setCamera(-1, QString());
        }
        cell->show();
    }
    if (cameraList_ != nullptr) cameraList_->setGeometry(wallArea().width(), 0, width() - wallArea().width(), height());
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
