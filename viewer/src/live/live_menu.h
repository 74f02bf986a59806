// The live view's popup menu: fourteen entries (submenus, items and
// separators) with every item the view's commands act on. The view enables,
// grays and checks the items when a stream opens.
#pragma once

#include <QMenu>
#include <array>

class QAction;

namespace tavolin::ui {

struct LiveMenuState {
  bool ptzEnabled = false;
  int ptzSpeed = 3;  // the speed item checked, 1..5
  bool quadServer = false;
  bool playAudio = false;
};

class LiveMenu {
 public:
  explicit LiveMenu(QWidget* parent);

  QMenu& popup() { return popup_; }

  // Item states for a stream that opens on a camera with these settings:
  // preset, speed and OSD items only with PTZ, monitor items only on a quad
  // server, audio in as set, audio out off, the digital output off.
  void applyStreamOpen(const LiveMenuState& state);
  // Checks speed item `speed` (1..5) and unchecks the other four.
  void checkSpeed(int speed);

  std::array<QAction*, 8> setPreset{};
  std::array<QAction*, 8> gotoPreset{};
  QAction* osdOn = nullptr;
  QAction* osdOff = nullptr;
  std::array<QAction*, 5> speed{};
  std::array<QAction*, 4> monitor{};
  QAction* monitorQuad = nullptr;
  QAction* audioInOn = nullptr;
  QAction* audioInOff = nullptr;
  QAction* audioOutOn = nullptr;
  QAction* audioOutOff = nullptr;
  QAction* triggerDo1 = nullptr;
  QAction* returnItem = nullptr;
  QAction* quit = nullptr;

 private:
  QMenu popup_;
};

}  // namespace tavolin::ui
