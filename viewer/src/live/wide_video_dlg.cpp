#include "live/wide_video_dlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <chrono>
#include <utility>

#include "live/live_pictures.h"
#include "live/ptz_sectors.h"
#include "live/stream_records.h"
#include "live/stream_teardown.h"
#include "live/video_surface.h"
#include "platform/surface.h"
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

constexpr int kPortraitDegrees = 0;
constexpr int kTurnedDegrees = 270;
constexpr auto kProgressStep = std::chrono::milliseconds(100);

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

}  // namespace

CWideVideoDlg::CWideVideoDlg(const std::array<CameraRecord*, kCameraCount>& records, int position, Shell& shell,
                             QWidget* parent)
    : CBDialog(parent), shell_(shell), records_(records), startPosition_(position) {
  pictures::load();
  setWindowTitle(QStringLiteral("Tavolin"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  surface_ = std::make_shared<VideoSurface>(this);
  surfaceHandle_ = platform::SurfaceRegistry::add(surface_);
  createChildren();
  eventTimer_.setInterval(kEventPeriodMs);
  connect(&eventTimer_, &QTimer::timeout, this, &CWideVideoDlg::showEventsOfPeriod);
}

CWideVideoDlg::~CWideVideoDlg() {
  eventTimer_.stop();
  // A view destroyed without having been closed still ends its stream; no
  // events may run here, so it waits for the teardown outright.
  endStream(false);
  finishTeardowns(true);
  surface_->detach();
  platform::SurfaceRegistry::remove(surfaceHandle_);
}

void CWideVideoDlg::createChildren() {
  const DialogUnits units(dialogFont());
  for (int i = 0; i < kIndicatorCount; ++i) {
    auto* label = new QLabel(this);
    label->setPixmap(QPixmap(pictures::indicator(i)));
    label->setScaledContents(true);
    label->setGeometry(units.rect(kIndicatorX, kIndicatorTop + kIndicatorStep * i, kIndicatorWidth, kIndicatorHeight));
    indicators_[static_cast<std::size_t>(i)] = label;
  }
  for (int sector = 1; sector <= kArrowCount; ++sector) {
    auto* label = new QLabel(this);
    label->setPixmap(QPixmap(ptzArrowPicture(static_cast<PtzSector>(sector))));
    label->setGeometry(0, 0, kPtzArrowSize, kPtzArrowSize);
    arrows_[static_cast<std::size_t>(sector - 1)] = label;
  }
  nameLabel_ = new CColorStatic(this);
  nameLabel_->move(units.x(kNameLabelX), units.y(kNameLabelY));
  progressBar_ = new QProgressBar(this);
  progressBar_->setTextVisible(false);
  progressBar_->move(units.x(kProgressX), units.y(kProgressY));
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

  shell_.setOrientation(kTurnedDegrees);

  setDrawMode(DrawMode::Center);
  const QSize screen = shell_.screenSize(this);
  screenWidth_ = screen.width();
  screenHeight_ = screen.height();

  shell_.enterFullScreen(this);
  resize(screenWidth_, screenHeight_);
  CBDialog::setVisible(true);
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    raise();
    activateWindow();
  }

  progressBar_->setGeometry(25, screenHeight_ - 21, 150, 10);

  menu_ = std::make_unique<LiveMenu>(this);
  connect(menu_->quit, &QAction::triggered, this, &CWideVideoDlg::closeView);
  connectCommands();

  eventTimer_.start();

  streamOpen(startPosition_, OpenMode::FirstPlay);
}

void CWideVideoDlg::streamOpen(int position, OpenMode mode) {
  if (position < 0 || position >= kCameraCount || records_[static_cast<std::size_t>(position)] == nullptr) return;
  position_ = position;
  record_ = records_[static_cast<std::size_t>(position)];
  // A record that cannot be reached leaves an empty connection record rather
  // than the previous camera's, so the attempt fails.
  prepareMediaConfig(connection_, *record_);

  for (auto& flag : eventFlags_) flag = 0;
  handle_ = nullptr;
  const uint64_t stream = stream_.fetch_add(1) + 1;
  streamOpen_ = true;
  bridge_ = std::make_shared<StreamBridge>(StreamBridge{this, stream});

  handle_ = M_KOpenInterface();
  if (record_->showEvents != 0) setEventCallbacks(handle_, bridge_.get());
  setNetworkLossCallback(handle_, bridge_.get());
  M_KSetStreamingType(handle_, record_->streamingType);
  M_KSetMediaConfig(handle_, &connection_);
  renderInfo_ = makeRenderInfo(surfaceHandle_, QSize(screenWidth_, screenHeight_));
  M_KSetRenderInfo(handle_, &renderInfo_);
  const bool ptz = record_->ptzEnabled != 0;
  if (ptz) {
    const PTZEnableInfo info = makePtzEnableInfo(*record_);
    M_KEnablePTZProtocol(handle_, 1, &info);
  }
  const bool playAudio = record_->playAudio != 0;
  if (menu_) menu_->applyStreamOpen({ptz, record_->ptzSpeed, record_->quadServer != 0, playAudio});
  if (handle_ != nullptr) M_KSetMute(handle_, playAudio ? 1 : 0);
  outputState_ = 0;
  osdMode_ = false;

  nameText_ = cameraNameText(position, *record_);
  nameLabel_->setFont(nameFont());
  nameLabel_->setTextColor(kNameText);
  nameLabel_->setBkColor(kNameBackground);
  nameLabel_->setGeometry(0, 0, kNameCharWidth * (static_cast<int>(nameText_.size()) + 1), kNameHeight);
  nameLabel_->setText(nameText_);
  nameLabel_->hide();

  progressBar_->setRange(0, kProgressMaximum);
  progressBar_->setValue(0);
  connecting_ = 1;
  progressCount_ = 0;
  surface_->clear();
  startWorkers(stream, mode);
}

void CWideVideoDlg::startWorkers(uint64_t stream, OpenMode mode) {
  connectThread_ = std::thread(&CWideVideoDlg::connectThreadMain, this, stream, mode, handle_, record_);
  progressThread_ = std::thread(&CWideVideoDlg::progressThreadMain, this, stream);
}

void CWideVideoDlg::postForStream(uint64_t stream, std::function<void()> work) {
  QMetaObject::invokeMethod(
      this,
      [this, stream, work = std::move(work)] {
        if (isCurrent(stream)) work();
      },
      Qt::QueuedConnection);
}

void CWideVideoDlg::connectThreadMain(uint64_t stream, OpenMode mode, OstrelInterface* handle,
                                      const CameraRecord* record) {
  while (connecting_.load() != 0 && isCurrent(stream)) {
    postForStream(stream, [this] {
      setBackground(pictures::kBackgroundConnecting);
      update();
    });
    // No interface from M_KOpenInterface is a failed connection.
    const bool connected = handle != nullptr && M_KConnect(handle) == 1;
    {
      // A stream closed meanwhile keeps the flags of whatever came after it.
      std::lock_guard lock(stateLock_);
      if (!isCurrent(stream)) return;
      if (!connected) {
        if (mode == OpenMode::Switch) connected_ = 0;
      } else {
        connected_ = 1;
      }
      connecting_ = 0;
    }
    progressWake_.notify_all();
    if (!connected) {
      postForStream(stream, [this, mode] { connectFailed(mode); });
      return;
    }
    postForStream(stream, [this] {
      progressBar_->setValue(progressBar_->maximum());
      progressBar_->hide();
      update();
    });
    if (record->ptzEnabled != 0) {
      M_KSendRS232Setting(handle, static_cast<uint8_t>(record->serialControl & 0xFF),
                          static_cast<uint8_t>(record->serialBaudRate & 0xFF));
    }
  }
  const bool showName = record->showName != 0;
  postForStream(stream, [this, showName] { nameLabel_->setVisible(showName); });
}

void CWideVideoDlg::progressThreadMain(uint64_t stream) {
  postForStream(stream, [this] { progressBar_->show(); });
  std::unique_lock lock(stateLock_);
  while (connecting_.load() != 0 && isCurrent(stream)) {
    const int count = progressCount_.load();
    if (count < kProgressMaximum) {
      postForStream(stream, [this, value = count + 1] { progressBar_->setValue(value); });
    }
    progressCount_ = count + 1;
    progressWake_.wait_for(lock, kProgressStep, [&] { return connecting_.load() == 0 || !isCurrent(stream); });
  }
  lock.unlock();
  postForStream(stream, [this] { progressBar_->hide(); });
}

void CWideVideoDlg::connectFailed(OpenMode mode) {
  setBackground(pictures::kBackgroundFailed);
  progressBar_->hide();
  update();
  if (mode == OpenMode::Switch) return;
  const uint64_t stream = stream_.load();
  shell_.prompts().showMessage(this, QStringLiteral("Connect Fail!"), QStringLiteral("Connect"), PromptButtons::Ok);
  if (!isCurrent(stream)) return;  // closed while the message was up
  setBackground(pictures::kBackgroundPlain);
  postForStream(stream, [this] { closeView(); });
}

void CWideVideoDlg::motionFromStream(uint64_t stream, int32_t r1, int32_t r2, int32_t r3, int32_t r4) {
  if (!isCurrent(stream)) return;
  eventFlags_[MD1] = static_cast<uint8_t>(r1);
  eventFlags_[MD2] = static_cast<uint8_t>(r2);
  eventFlags_[MD3] = static_cast<uint8_t>(r3);
  eventFlags_[MD4] = static_cast<uint8_t>(r4);
}

void CWideVideoDlg::digitalInputFromStream(uint64_t stream, int32_t di1, int32_t di2) {
  if (!isCurrent(stream)) return;
  eventFlags_[DI1] = static_cast<uint8_t>(di1);
  eventFlags_[DI2] = static_cast<uint8_t>(di2);
}

void CWideVideoDlg::networkLossFromStream(uint64_t stream) {
  // The stream client's receive thread: post and return at once, so that a
  // close waiting for that thread is never held up by the question.
  postForStream(stream, [this, stream] { networkLost(stream); });
}

void CWideVideoDlg::networkLost(uint64_t stream) {
  const PromptAnswer answer = shell_.prompts().showMessage(this, QStringLiteral("Network Loss!\nReturn to main menu?"),
                                                           QStringLiteral("Connection"), PromptButtons::YesNo);
  if (answer == PromptAnswer::Yes) postForStream(stream, [this] { closeView(); });
}

void CWideVideoDlg::showEventsOfPeriod() {
  if (record_ != nullptr && record_->showEvents != 0) {
    for (int i = 0; i < kIndicatorCount; ++i) {
      indicators_[static_cast<std::size_t>(i)]->setVisible(eventFlags_[static_cast<std::size_t>(i)].load() != 0);
    }
  }
  for (auto& flag : eventFlags_) flag = 0;
}

void CWideVideoDlg::toggleOutput() {
  const bool on = outputState_ != 1;
  M_KSendDO(handle_, on ? 1 : 0);
  if (menu_) menu_->triggerDo1->setChecked(on);
  outputState_ = on ? 1 : 0;
}

void CWideVideoDlg::streamClose() { endStream(true); }

void CWideVideoDlg::endStream(bool runEvents) {
  for (QLabel* label : indicators_) label->hide();
  nameLabel_->hide();
  progressBar_->hide();

  OstrelInterface* handle = std::exchange(handle_, nullptr);
  if (outputState_ == 1) {
    M_KSendDO(handle, 0);
    outputState_ = 0;
  }
  {
    std::lock_guard lock(stateLock_);
    streamOpen_ = false;
    connecting_ = 0;
    connected_ = 0;
  }
  progressWake_.notify_all();
  // The progress thread wakes at once and only posts.
  if (progressThread_.joinable()) progressThread_.join();

  if (handle != nullptr || connectThread_.joinable()) {
    auto teardown = std::make_unique<StreamTeardown>(handle, std::move(connectThread_), std::move(bridge_));
    StreamTeardown& pending = *teardown;
    teardowns_.push_back(std::move(teardown));
    // The view keeps repainting while the connect thread finishes its
    // attempt (at most M_KConnect's own bound). If it has not ended in time
    // the view goes on; the interface is closed once it has, and the view
    // joins that teardown later.
    if (runEvents && waitWithEvents([&] { return pending.connectThreadEnded(); }, kWorkerWaitMs)) {
      waitWithEvents([&] { return pending.finished(); }, -1);
    }
  }
  bridge_.reset();
  finishTeardowns(false);
  surface_->clear();
  update();
}

void CWideVideoDlg::finishTeardowns(bool block) {
  std::erase_if(teardowns_, [block](const std::unique_ptr<StreamTeardown>& t) { return block || t->finished(); });
}

void CWideVideoDlg::closeView() {
  if (closing_) return;
  closing_ = true;
  eventTimer_.stop();
  setBackground(pictures::kBackgroundPlain);
  streamClose();
  shell_.setOrientation(kPortraitDegrees);
  closed_ = true;
  QDialog::done(QDialog::Rejected);
}

void CWideVideoDlg::reject() { closeView(); }

void CWideVideoDlg::closeEvent(QCloseEvent* event) {
  // The window's close button ends the view the same way as Quit.
  closeView();
  event->accept();
}

void CWideVideoDlg::resizeEvent(QResizeEvent* event) {
  surface_->setClientSize(size());
  CBDialog::resizeEvent(event);
}

void CWideVideoDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // While connected the picture is the stream client's; until its first
  // picture arrives, and whenever not connected, the background shows.
  const bool video = connected_.load() != 0 && surface_->paint(painter, rect());
  if (!video) {
    painter.fillRect(rect(), Qt::white);
    paintBackground(painter, rect());
  }
  // The direction keys go to the view.
  if (!hasFocus()) setFocus(Qt::OtherFocusReason);
}

}  // namespace tavolin::ui
