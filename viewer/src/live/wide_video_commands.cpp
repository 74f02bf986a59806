// The live view's commands: steering with the pointer, the direction keys,
// the popup menu and stepping through the switch group.
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointingDevice>

#include "live/audio_out.h"
#include "live/direction_keys.h"
#include "live/ptz_sectors.h"
#include "live/wide_video_dlg.h"  // the class whose members these are

namespace tavolin::ui {
namespace {

// A finger held this long without moving further than the slop opens the
// menu, where the finger steers nothing.
constexpr int kHoldMs = 700;
constexpr int kHoldSlop = 8;

bool fromTouch(const QMouseEvent* event) {
  const QPointingDevice* device = event->pointingDevice();
  return event->source() != Qt::MouseEventNotSynthesized ||
         (device != nullptr && device->type() == QInputDevice::DeviceType::TouchScreen);
}

}  // namespace

void CWideVideoDlg::connectCommands() {
  LiveMenu& m = *menu_;
  for (int n = 1; n <= 8; ++n) {
    connect(m.setPreset[n - 1], &QAction::triggered, this, [this, n] {
      if (handle_ != nullptr) M_KPTZ_SET_PRESET(handle_, n);
    });
    connect(m.gotoPreset[n - 1], &QAction::triggered, this, [this, n] {
      if (handle_ != nullptr) M_KPTZ_GOTO_PRESET(handle_, n);
    });
  }
  connect(m.osdOn, &QAction::triggered, this, [this] {
    osdMode_ = true;
    if (handle_ != nullptr && record_->ptzEnabled != 0) M_KPTZ_OSD_ON(handle_);
  });
  connect(m.osdOff, &QAction::triggered, this, [this] {
    if (handle_ != nullptr && record_->ptzEnabled != 0) M_KPTZ_OSD_OFF(handle_);
    osdMode_ = false;
  });
  for (int n = 1; n <= 5; ++n) {
    connect(m.speed[n - 1], &QAction::triggered, this, [this, n] {
      record_->ptzSpeed = n;
      menu_->checkSpeed(n);
    });
  }
  // Monitor n shows input n full screen; the quad item shows all four.
  for (int n = 0; n <= 4; ++n) {
    QAction* item = n == 0 ? m.monitorQuad : m.monitor[n - 1];
    connect(item, &QAction::triggered, this, [this, n] {
      if (handle_ != nullptr && record_->quadServer != 0) M_KQuadSetDisplayMode(handle_, n);
    });
  }
  connect(m.audioInOn, &QAction::triggered, this, [this] { setAudioIn(true); });
  connect(m.audioInOff, &QAction::triggered, this, [this] { setAudioIn(false); });
  connect(m.audioOutOn, &QAction::triggered, this, &CWideVideoDlg::startTalking);
  connect(m.audioOutOff, &QAction::triggered, this, [this] {
    stopAudioOut(handle_);
    menu_->audioOutOn->setChecked(false);
    menu_->audioOutOff->setChecked(true);
  });
  connect(m.triggerDo1, &QAction::triggered, this, &CWideVideoDlg::toggleOutput);
  // "Return" is left unconnected on purpose: it goes back to the video, and
  // choosing any item closes the menu already. "Quit" leaves the view.

  holdTimer_.setSingleShot(true);
  holdTimer_.setInterval(kHoldMs);
  connect(&holdTimer_, &QTimer::timeout, this, &CWideVideoDlg::actionKey);
}

void CWideVideoDlg::setAudioIn(bool on) {
  record_->playAudio = on ? 1 : 0;
  if (handle_ != nullptr) M_KSetMute(handle_, on ? 1 : 0);
  menu_->audioInOn->setChecked(on);
  menu_->audioInOff->setChecked(!on);
}

void CWideVideoDlg::startTalking() {
  // The item toggled itself when chosen; what it shows follows the outcome.
  const bool wasTalking = !menu_->audioOutOff->isChecked();
  const AudioOutStart result = startAudioOut(handle_, record_->streamingType, shell_.prompts(), this);
  bool talking = wasTalking;
  if (result == AudioOutStart::Started) talking = true;
  if (result == AudioOutStart::Failed) talking = false;
  menu_->audioOutOn->setChecked(talking);
  menu_->audioOutOff->setChecked(!talking);
}

void CWideVideoDlg::actionKey() {
  holdTimer_.stop();
  if (isConnecting() || !menu_) return;
  // The menu takes the pointer, so the view would never see this press end:
  // a move running under it stops now.
  if (penDown_) {
    stopPtzAction();
    penDown_ = false;
  }
  // Right-aligned to the view's top-left corner and kept on the screen: on a
  // full-screen view that is the screen's top-left corner.
  QMenu& popup = menu_->popup();
  popup.popup(mapToGlobal(QPoint(0, 0)) - QPoint(popup.sizeHint().width(), 0));
}

void CWideVideoDlg::accept() { actionKey(); }

void CWideVideoDlg::patrol(PatrolDirection direction) {
  if (isConnecting()) return;
  const std::optional<int> target = patrolStep(records_, position_, direction);
  if (!target) {
    shell_.prompts().showMessage(this, QStringLiteral("No camara to do patorl!"), QStringLiteral("Patrol"),
                                 PromptButtons::Ok);
    return;
  }
  // A move still running under the pen would go on after its stream closed.
  if (penDown_) {
    stopPtzAction();
    penDown_ = false;
  }
  streamClose();
  update();
  streamOpen(*target, OpenMode::Switch);
}

void CWideVideoDlg::penDownAt(QPoint point) {
  if (record_ != nullptr && record_->ptzEnabled != 0) {
    const PtzSector sector = ptzSectorAt(measuredScreen(), point);
    sector_ = static_cast<int>(sector);
    if (handle_ != nullptr) {
      ptzAction_ = sector_;
      QLabel* picture = arrow(sector_);
      picture->move(ptzArrowTopLeft(sector, point));
      picture->show();
      picture->raise();
      startPtzSector(handle_, sector, ptzSpeedArgument(record_->ptzSpeed));
    }
  }
  penDown_ = true;
}

void CWideVideoDlg::stopPtzAction() {
  if (record_ == nullptr || record_->ptzEnabled == 0 || handle_ == nullptr) return;
  if (ptzAction_ < 1 || ptzAction_ > kArrowCount) return;
  arrow(ptzAction_)->hide();
  stopPtzSector(handle_, static_cast<PtzSector>(ptzAction_));
}

void CWideVideoDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    actionKey();
    event->accept();
    return;
  }
  if (event->button() != Qt::LeftButton) {
    CBDialog::mousePressEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  penDownAt(point);
  // A finger that steers nothing may be held to open the menu.
  const bool steering = record_ != nullptr && record_->ptzEnabled != 0 && handle_ != nullptr;
  if (!steering && fromTouch(event)) {
    holdOrigin_ = point;
    holdTimer_.start();
  }
  event->accept();
}

void CWideVideoDlg::mouseMoveEvent(QMouseEvent* event) {
  if (!penDown_) {
    CBDialog::mouseMoveEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  if (holdTimer_.isActive() && (point - holdOrigin_).manhattanLength() > kHoldSlop) holdTimer_.stop();
  if (static_cast<int>(ptzSectorAt(measuredScreen(), point)) != sector_) {
    stopPtzAction();
    penDownAt(point);
  }
  event->accept();
}

void CWideVideoDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    CBDialog::mouseReleaseEvent(event);
    return;
  }
  holdTimer_.stop();
  stopPtzAction();
  penDown_ = false;
  event->accept();
}

void CWideVideoDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The keyboard's menu key, or a hold the platform turns into a menu
  // request. The right button has opened the menu on its press already.
  if (event->reason() != QContextMenuEvent::Mouse) actionKey();
  event->accept();
}

void CWideVideoDlg::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!event->isAutoRepeat()) actionKey();
    event->accept();
    return;
  }
  if (!isDirectionKey(key)) {
    CBDialog::keyPressEvent(event);
    return;
  }
  // A held key is one press: its repeats start nothing again.
  if (!event->isAutoRepeat()) {
    const bool ptz = record_ != nullptr && record_->ptzEnabled != 0;
    if (const std::optional<PatrolDirection> step = directionKeyDown(handle_, key, osdMode_, ptz)) patrol(*step);
  }
  event->accept();
}

void CWideVideoDlg::keyReleaseEvent(QKeyEvent* event) {
  const int key = event->key();
  if (!isDirectionKey(key)) {
    CBDialog::keyReleaseEvent(event);
    return;
  }
  if (!event->isAutoRepeat()) {
    directionKeyUp(handle_, key, osdMode_, record_ != nullptr && record_->ptzEnabled != 0);
  }
  event->accept();
}

}  // namespace tavolin::ui
