// The live view's popup menu: fourteen entries (submenus, items and
// separators) with every item the view's commands act on. What is enabled
// and checked follows the view's logic (LiveMenuState).
#pragma once

#include <QMenu>
#include <array>

#include "live/live_menu_state.h"

class QAction;

namespace tavolin::ui {

class LiveMenu {
public:
    explicit LiveMenu(QWidget* parent);

    QMenu& popup() { return popup_; }

    // Preset, speed and OSD items only with PTZ (the speed checked), monitor
    // items only on a quad server, audio in, audio out and the output checked
    // as they are.
    void show(const LiveMenuState& state);

    std::array<QAction*, 8> setPreset{};
    std::array<QAction*, 8> gotoPreset{};
    QAction* osdOn = nullptr;
    QAction* osdOff = nullptr;
    std::array<QAction*, 5> speed{};
    std::array<QAction*, 4> monitor{};
    QAction* monitorQuad = nullptr;
    QAction* audioInOn = nullptr;
    QAction* audioInOff = nullptr;
    QMenu* audioOutMenu = nullptr; // greyed, saying why, for a camera that cannot be talked to
    QAction* audioOutOn = nullptr;
    QAction* audioOutOff = nullptr;
    QAction* triggerDo1 = nullptr;
    QAction* returnItem = nullptr;
    QAction* quit = nullptr;
    // Snapshot and Record, after Trigger DO1: only in a view that captures.
    void addCaptureItems();
    QAction* snapshot = nullptr;
    QAction* record = nullptr;
    // Playback of the shown camera's recordings, before Return: only in a
    // view that offers it.
    void addPlaybackItem();
    QAction* playback = nullptr;

private:
    QMenu popup_;
    QAction* returnSeparator_ = nullptr;
};

} // namespace tavolin::ui
