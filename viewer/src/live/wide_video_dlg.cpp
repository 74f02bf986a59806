#include "live/wide_video_dlg.h"

#include <QScreen>

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointingDevice>
#include <QWheelEvent>

#include "capture/capture_set.h"
#include "live/camera_stream.h"
#include "live/live_pictures.h"
#include "live/surface_pool.h"
#include "live/video_surface.h"
#include "live/zoom_input.h"
#include "shell/shell.h"
#include "stream/stream_catalogues.h"
#include "stream/switching_stream.h"
#include "widgets/dialog_units.h"

namespace tavolin::ui {

namespace {

// Places of the window template, in dialog units.
constexpr int kIndicatorX = 169;
constexpr int kIndicatorTop = 2;
constexpr int kIndicatorStep = 9;
constexpr int kIndicatorWidth = 14;
constexpr int kIndicatorHeight = 6;
constexpr int kNameLabelX = 7;
constexpr int kNameLabelY = 54;
constexpr int kProgressX = 7;
constexpr int kProgressY = 69;

// The name label: yellow on dark blue, a 12-pixel sans font, six pixels a
// character.
const QColor kNameText(255, 255, 0);
const QColor kNameBackground(0, 0, 128);
constexpr int kNameCharWidth = 6;
constexpr int kNameHeight = 16;

QFont nameFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

bool fromTouch(const QMouseEvent* event) {
    const QPointingDevice* device = event->pointingDevice();
    return event->source() != Qt::MouseEventNotSynthesized ||
           (device != nullptr && device->type() == QInputDevice::DeviceType::TouchScreen);
}

LiveViewController::StreamFactory cameraStreams() {
    return [](const StreamSettings& settings) { return std::make_unique<CameraStream>(settings); };
}

// A handed-over picture changing under the view is repainted this often.
constexpr int kHandoverFrameMs = 20;

} // namespace

CWideVideoDlg::CWideVideoDlg(const std::array<CameraRecord*, kCameraCount>& records, int position, Shell& shell,
                             QWidget* parent, std::optional<CaptureConfig> capture, StreamCatalogues* catalogues)
    : CBDialog(parent), shell_(shell), startPosition_(position), catalogues_(catalogues) {
    pictures::load();
    setWindowTitle(QStringLiteral("Tavolin"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    if (catalogues_ == nullptr) {
        ownCatalogues_ = std::make_unique<StreamCatalogues>();
        catalogues_ = ownCatalogues_.get();
    }
    surfaces_ = std::make_unique<SurfacePool>(this, VideoSurface::Repaint::OnEachPicture,
                                              [this](const std::shared_ptr<VideoSurface>& surface) {
                                                  shown_.show(surface);
                                                  update();
                                              });
    createChildren();
    grabGesture(Qt::PinchGesture);
    handoverFrames_.setInterval(kHandoverFrameMs);
    connect(&handoverFrames_, &QTimer::timeout, this, [this] {
        if (shown_.hasOwnPicture()) releaseHandover(true);
        if (shown_.hasNewPicture()) update();
    });

    LiveViewController::Records copies{};
    for (std::size_t i = 0; i < copies.size(); ++i) {
        copies[i] = records[i] != nullptr ? *records[i] : defaultCameraRecord(static_cast<int>(i));
    }
    // Each camera's stream follows the view's size: the stream of the camera
    // that fits the screen, switched without a black picture.
    SwitchingStream::Place place{catalogues_, surfaces_.get(), cameraStreams(), qtViewTimers()};
    controller_ = std::make_unique<LiveViewController>(
        copies, static_cast<LiveViewDisplay&>(*this),
        [place](const StreamSettings& settings) { return std::make_unique<SwitchingStream>(settings, place); },
        qtViewTimers());
    connectMenu();
    if (capture) {
        CaptureServices services;
        services.streams = cameraStreams();
        services.catalogues = catalogues_;
        services.timers = qtViewTimers();
        captures_ = new CaptureSet(copies, std::move(*capture), std::move(services), this);
        controller_->setCaptures(captures_);
        menu_->addCaptureItems();
        LiveViewController* c = controller_.get();
        connect(menu_->snapshot, &QAction::triggered, this, [c] { c->snapshot(); });
        connect(menu_->record, &QAction::triggered, this, [c] { c->toggleRecord(); });
        recordingMark_ = new QLabel(QStringLiteral("\u25CF REC"), this);
        recordingMark_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); background: rgba(0, 0, 0, 140);"));
        recordingMark_->setFont(nameFont());
        recordingMark_->adjustSize();
        recordingMark_->hide();
    }
}

CWideVideoDlg::~CWideVideoDlg() {
    // A stream still open ends with the controller, which waits for it; so
    // do the capture streams, and their clips are finished.
    controller_.reset();
    delete captures_;
    releaseHandover(false);
}

void CWideVideoDlg::offerPlayback(PlaybackOpener open) {
    if (!open || menu_->playback != nullptr) return;
    menu_->addPlaybackItem();
    connect(menu_->playback, &QAction::triggered, this,
            [this, open = std::move(open)] { open(controller_->currentRecord(), this, {}); });
}

void CWideVideoDlg::takeOver(ViewHandover handover) {
    handover_ = std::move(handover);
    shown_.setStandIn(handover_.picture);
    if (handover_.picture) handoverFrames_.start();
}

void CWideVideoDlg::releaseHandover(bool tell) {
    handoverFrames_.stop();
    handover_.picture.reset();
    auto taken = std::exchange(handover_.taken, nullptr);
    if (tell && taken) taken();
}

void CWideVideoDlg::createChildren() {
    const DialogUnits units(dialogFont());
    for (int i = 0; i < kIndicatorCount; ++i) {
        auto* label = new QLabel(this);
        label->setPixmap(QPixmap(pictures::indicator(i)));
        label->setScaledContents(true);
        label->setGeometry(
            units.rect(kIndicatorX, kIndicatorTop + kIndicatorStep * i, kIndicatorWidth, kIndicatorHeight));
        indicators_[static_cast<std::size_t>(i)] = label;
    }
    for (int sector = 1; sector <= kArrowCount; ++sector) {
        auto* label = new QLabel(this);
        label->setPixmap(QPixmap(pictures::ptzArrow(static_cast<PtzSector>(sector))));
        label->setGeometry(0, 0, kPtzArrowSize, kPtzArrowSize);
        arrows_[static_cast<std::size_t>(sector - 1)] = label;
    }
    nameLabel_ = new CColorStatic(this);
    nameLabel_->move(units.x(kNameLabelX), units.y(kNameLabelY));
    reconnectingLabel_ = new CColorStatic(this);
    reconnectingLabel_->setFont(nameFont());
    reconnectingLabel_->setTextColor(kNameText);
    reconnectingLabel_->setBkColor(kNameBackground);
    reconnectingLabel_->setAlignment(Qt::AlignCenter);
    reconnectingLabel_->setText(QStringLiteral("Reconnecting..."));
    reconnectingLabel_->resize(kNameCharWidth * (static_cast<int>(reconnectingLabel_->text().size()) + 4),
                               kNameHeight + 8);
    reconnectingLabel_->hide();
    progressBar_ = new QProgressBar(this);
    progressBar_->setTextVisible(false);
    progressBar_->move(units.x(kProgressX), units.y(kProgressY));
    menu_ = std::make_unique<LiveMenu>(this);
    zoomLabel_ = new ZoomFactorLabel(this);
    noteLabel_ = new ZoomFactorLabel(this);
    aimOverlay_ = std::make_unique<AimOverlay>(*this);
}

void CWideVideoDlg::connectMenu() {
    LiveMenu& m = *menu_;
    LiveViewController* c = controller_.get();
    for (int n = 1; n <= 8; ++n) {
        connect(m.setPreset[n - 1], &QAction::triggered, this, [c, n] { c->setPreset(n); });
        connect(m.gotoPreset[n - 1], &QAction::triggered, this, [c, n] { c->goToPreset(n); });
    }
    connect(m.osdOn, &QAction::triggered, this, [c] { c->setOsdMode(true); });
    connect(m.osdOff, &QAction::triggered, this, [c] { c->setOsdMode(false); });
    for (int n = 1; n <= 5; ++n) connect(m.speed[n - 1], &QAction::triggered, this, [c, n] { c->chooseSpeed(n); });
    // Monitor n shows input n full screen; the quad item shows all four.
    for (int n = 0; n <= 4; ++n) {
        QAction* item = n == 0 ? m.monitorQuad : m.monitor[n - 1];
        connect(item, &QAction::triggered, this, [c, n] { c->setQuadDisplay(n); });
    }
    connect(m.audioInOn, &QAction::triggered, this, [c] { c->setAudioIn(true); });
    connect(m.audioInOff, &QAction::triggered, this, [c] { c->setAudioIn(false); });
    connect(m.audioOutOn, &QAction::triggered, this, [c] { c->startTalking(); });
    connect(m.audioOutOff, &QAction::triggered, this, [c] { c->stopTalking(); });
    connect(m.triggerDo1, &QAction::triggered, this, [c] { c->toggleOutput(); });
    // "Return" is left unconnected on purpose: it goes back to the video, and
    // choosing any item closes the menu already. "Quit" leaves the view.
    connect(m.quit, &QAction::triggered, this, [c] { c->close(); });
}

void CWideVideoDlg::setVisible(bool visible) {
    if (visible && !initialised_) {
        initialised_ = true;
        initialiseView();
        return;
    }
    CBDialog::setVisible(visible);
}

void CWideVideoDlg::initialiseView() {
    for (QLabel* label : indicators_) label->hide();
    nameLabel_->hide();
    for (QLabel* label : arrows_) label->hide();

    shell_.setOrientation(LiveViewController::kTurnedDegrees);
    setDrawMode(DrawMode::Center);
    if (handover_.screen != nullptr) {
        // Beside the wall, on a screen of its own.
        setScreen(handover_.screen);
        setGeometry(handover_.screen->geometry());
    }
    screen_ = shell_.screenSize(this);

    shell_.enterFullScreen(this);
    resize(screen_);
    CBDialog::setVisible(true);
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        raise();
        activateWindow();
    }
    progressBar_->setGeometry(25, screen_.height() - 21, 150, 10);
    // Each stream draws into a surface of its own.
    controller_->start(startPosition_, screen_, 0);
}

void CWideVideoDlg::setBackground(Background background) {
    switch (background) {
    case Background::Plain: CBDialog::setBackground(pictures::kBackgroundPlain); break;
    case Background::Connecting: CBDialog::setBackground(pictures::kBackgroundConnecting); break;
    case Background::Failed: CBDialog::setBackground(pictures::kBackgroundFailed); break;
    }
}

void CWideVideoDlg::clearVideo() {
    shown_.clear();
    // The camera handed over keeps its picture until its own stream's first;
    // another camera starts from nothing.
    if (controller_->currentPosition() != startPosition_) releaseHandover(true);
    if (handover_.picture) shown_.setStandIn(handover_.picture);
    update();
}

void CWideVideoDlg::setPictureFit(PictureFit fit) {
    keepAspect_ = fit == PictureFit::KeepAspect;
    surfaces_->setKeepAspect(keepAspect_);
    update();
}

void CWideVideoDlg::showReconnecting(bool shown) {
    if (shown) {
        // Centred low on the picture, clear of the question in the middle.
        reconnectingLabel_->move((width() - reconnectingLabel_->width()) / 2,
                                 height() * 3 / 4 - reconnectingLabel_->height() / 2);
        reconnectingLabel_->raise();
    }
    reconnectingLabel_->setVisible(shown);
}

void CWideVideoDlg::setProgressVisible(bool visible) { progressBar_->setVisible(visible); }

void CWideVideoDlg::setProgress(int value, int maximum) {
    progressBar_->setRange(0, maximum);
    progressBar_->setValue(value);
}

void CWideVideoDlg::setNameText(const QString& text) {
    nameLabel_->setFont(nameFont());
    nameLabel_->setTextColor(kNameText);
    nameLabel_->setBkColor(kNameBackground);
    nameLabel_->setGeometry(0, 0, kNameCharWidth * (static_cast<int>(text.size()) + 1), kNameHeight);
    nameLabel_->setText(text);
}

void CWideVideoDlg::setNameVisible(bool visible) {
    nameLabel_->setVisible(visible);
    update();
}

void CWideVideoDlg::showIndicators(const IndicatorStates& shown) {
    for (std::size_t i = 0; i < indicators_.size(); ++i) indicators_[i]->setVisible(shown[i]);
}

void CWideVideoDlg::showArrow(PtzSector sector, QPoint at) {
    QLabel* picture = arrow(static_cast<int>(sector));
    picture->move(at);
    picture->show();
    picture->raise();
}

void CWideVideoDlg::hideArrow(PtzSector sector) { arrow(static_cast<int>(sector))->hide(); }

void CWideVideoDlg::showMenuState(const LiveMenuState& state) { menu_->show(state); }

void CWideVideoDlg::openMenu() {
    // Right-aligned to the view's top-left corner and kept on the screen: on a
    // full-screen view that is the screen's top-left corner.
    QMenu& popup = menu_->popup();
    popup.popup(mapToGlobal(QPoint(0, 0)) - QPoint(popup.sizeHint().width(), 0));
}

void CWideVideoDlg::ask(const Prompt& prompt, PromptAnswered answered) {
    shell_.prompts().showMessage(this, prompt, std::move(answered));
}

void CWideVideoDlg::setOrientation(int degrees) { shell_.setOrientation(degrees); }

void CWideVideoDlg::showRecording(bool shown) {
    if (recordingMark_ == nullptr) return;
    // Top middle, clear of the name label and the event indicators.
    recordingMark_->move((width() - recordingMark_->width()) / 2, 4);
    recordingMark_->raise();
    recordingMark_->setVisible(shown);
}

void CWideVideoDlg::finish() {
    // The view left behind takes its camera back as the view closes.
    releaseHandover(false);
    if (auto closing = std::exchange(handover_.closing, nullptr)) closing(shown_.newest());
    QDialog::done(QDialog::Rejected);
}

void CWideVideoDlg::showZoom(double factor) {
    zoomLabel_->showFactor(factor);
    update();
}

void CWideVideoDlg::showNote(const QString& line) { noteLabel_->showNote(line); }
std::optional<aim::GrayPicture> CWideVideoDlg::pictureSample() {
    const QImage picture = shown_.latestPicture();
    if (picture.isNull()) return std::nullopt;
    const aim::SampleSize size = aim::sampleSizeFor(picture.width(), picture.height());
    if (size.width <= 0) return std::nullopt;
    const QImage grey = picture.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    aim::GrayPicture sample{size.width, size.height, {}};
    sample.pixels.reserve(static_cast<std::size_t>(size.width) * size.height);
    for (int y = 0; y < size.height; ++y) {
        const uchar* row = grey.constScanLine(y);
        sample.pixels.insert(sample.pixels.end(), row, row + size.width);
    }
    return sample;
}

void CWideVideoDlg::showAimTarget(QRect target) { aimOverlay_->showTarget(target); }

void CWideVideoDlg::showAimBox(std::optional<QRect> box) { aimOverlay_->showBox(box); }

QPoint CWideVideoDlg::zoomCentre() const {
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    return rect().contains(pointer) ? pointer : rect().center();
}

void CWideVideoDlg::reject() { controller_->close(); }

void CWideVideoDlg::accept() { controller_->actionKey(); }

void CWideVideoDlg::closeEvent(QCloseEvent* event) {
    // The window's close button ends the view the same way as Quit; the
    // window goes once the stream has closed.
    if (controller_->isClosed()) {
        event->accept();
        return;
    }
    controller_->close();
    event->ignore();
}

void CWideVideoDlg::resizeEvent(QResizeEvent* event) {
    surfaces_->setClientSize(size());
    CBDialog::resizeEvent(event);
}

void CWideVideoDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // While connected the picture is the stream client's; until its first
    // picture arrives, and whenever not connected, the background shows. A
    // camera being reached again keeps its last picture, and one handed over
    // by another view shows that view's picture until its own.
    const bool handedOver = controller_->isConnecting() && shown_.hasStandIn();
    const bool video =
        (controller_->showsVideo() || handedOver) && shown_.paint(painter, rect(), controller_->zoom().part());
    if (video) {
        const std::shared_ptr<VideoSurface> picture = shown_.newest();
        const QSize size = picture ? picture->pictureSize() : QSize();
        controller_->setPictureArea(keepAspect_ && !size.isEmpty() ? fitKeepingAspect(size, rect()) : rect());
    } else {
        painter.fillRect(rect(), Qt::white);
        paintBackground(painter, rect());
    }
    aimOverlay_->paint(painter);
    // The direction keys go to the view.
    if (!hasFocus()) setFocus(Qt::OtherFocusReason);
}

void CWideVideoDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        controller_->actionKey();
    } else if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier) != 0) {
        controller_->boxStart(event->position().toPoint());
    } else if (event->button() == Qt::LeftButton) {
        controller_->penDown(event->position().toPoint(), fromTouch(event));
    } else if (event->button() == Qt::MiddleButton) {
        middleFrom_ = event->position().toPoint();
    } else {
        CBDialog::mousePressEvent(event);
        return;
    }
    event->accept();
}

void CWideVideoDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (middleFrom_) controller_->moveZoomed(at - std::exchange(*middleFrom_, at));
    controller_->penMove(at);
    event->accept();
}

void CWideVideoDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) middleFrom_.reset();
    if (event->button() != Qt::LeftButton) {
        CBDialog::mouseReleaseEvent(event);
        return;
    }
    controller_->penUp();
    event->accept();
}

void CWideVideoDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click (or a double tap).
    if (event->button() != Qt::LeftButton) {
        CBDialog::mouseDoubleClickEvent(event);
        return;
    }
    controller_->doubleClick(event->position().toPoint(), fromTouch(event));
    event->accept();
}

void CWideVideoDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The keyboard's menu key, or a hold the platform turns into a menu
    // request. The right button has opened the menu on its press already.
    if (event->reason() != QContextMenuEvent::Mouse) controller_->actionKey();
    event->accept();
}

void CWideVideoDlg::wheelEvent(QWheelEvent* event) {
    controller_->zoomSteps(wheelSteps(*event), event->position().toPoint());
    event->accept();
}

bool CWideVideoDlg::event(QEvent* event) {
    if (const auto pinch = pinchOf(event, *this)) {
        controller_->zoomBy(pinch->ratio, pinch->centre.toPoint());
        return true;
    }
    return CBDialog::event(event);
}

void CWideVideoDlg::keyPressEvent(QKeyEvent* event) {
    if (const auto zoomKey = zoomKeyOf(event->key())) {
        switch (*zoomKey) {
        case ZoomKey::In: controller_->zoomSteps(1, zoomCentre()); break;
        case ZoomKey::Out: controller_->zoomSteps(-1, zoomCentre()); break;
        case ZoomKey::Reset: controller_->resetZoom(); break;
        }
        event->accept();
        return;
    }
    if (!LiveViewController::handlesKey(event->key())) {
        CBDialog::keyPressEvent(event);
        return;
    }
    controller_->keyDown(event->key(), event->isAutoRepeat());
    event->accept();
}

void CWideVideoDlg::keyReleaseEvent(QKeyEvent* event) {
    if (!LiveViewController::handlesKey(event->key())) {
        CBDialog::keyReleaseEvent(event);
        return;
    }
    controller_->keyUp(event->key(), event->isAutoRepeat());
    event->accept();
}

} // namespace tavolin::ui
