#include "live/live_menu.h"

#include <QAction>

namespace tavolin::ui {

namespace {

QAction* checkable(QMenu* menu, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    return action;
}

} // namespace

LiveMenu::LiveMenu(QWidget* parent) : popup_(parent) {
    QMenu* setMenu = popup_.addMenu(QStringLiteral("PTZ Set Preset"));
    for (int n = 1; n <= 8; ++n) setPreset[n - 1] = setMenu->addAction(QStringLiteral("Set to Preset %1").arg(n));
    QMenu* gotoMenu = popup_.addMenu(QStringLiteral("PTZ Goto Preset"));
    for (int n = 1; n <= 8; ++n) gotoPreset[n - 1] = gotoMenu->addAction(QStringLiteral("Goto Preset %1").arg(n));
    QMenu* osdMenu = popup_.addMenu(QStringLiteral("PTZ OSD"));
    osdOn = osdMenu->addAction(QStringLiteral("ON"));
    osdOff = osdMenu->addAction(QStringLiteral("OFF"));
    QMenu* speedMenu = popup_.addMenu(QStringLiteral("PTZ Speed"));
    for (int n = 1; n <= 5; ++n) speed[n - 1] = checkable(speedMenu, QStringLiteral("Speed %1").arg(n));
    popup_.addSeparator();

    QMenu* quadMenu = popup_.addMenu(QStringLiteral("Qaud Switch"));
    for (int n = 1; n <= 4; ++n) monitor[n - 1] = quadMenu->addAction(QStringLiteral("Monitor %1").arg(n));
    monitorQuad = quadMenu->addAction(QStringLiteral("Monitor Quad"));
    popup_.addSeparator();

    QMenu* audioInMenu = popup_.addMenu(QStringLiteral("Audio In"));
    audioInOn = checkable(audioInMenu, QStringLiteral("On"));
    audioInOff = checkable(audioInMenu, QStringLiteral("Off"));
    audioOutMenu = popup_.addMenu(QStringLiteral("Audio Out"));
    audioOutOn = checkable(audioOutMenu, QStringLiteral("On"));
    audioOutOff = checkable(audioOutMenu, QStringLiteral("Off"));
    triggerDo1 = checkable(&popup_, QStringLiteral("Trigger DO1"));
    returnSeparator_ = popup_.addSeparator();
    returnItem = popup_.addAction(QStringLiteral("Return"));
    popup_.addSeparator();
    quit = popup_.addAction(QStringLiteral("Quit"));
}

void LiveMenu::addCaptureItems() {
    if (snapshot != nullptr) return;
    snapshot = new QAction(QStringLiteral("Snapshot\tS"), &popup_);
    record = new QAction(QStringLiteral("Record\tR"), &popup_);
    record->setCheckable(true);
    popup_.insertActions(returnSeparator_, {snapshot, record});
    popup_.insertSeparator(snapshot);
}

void LiveMenu::addPlaybackItem() {
    if (playback != nullptr) return;
    playback = new QAction(QStringLiteral("Playback"), &popup_);
    popup_.insertAction(returnSeparator_, playback);
}

void LiveMenu::show(const LiveMenuState& state) {
    if (record != nullptr) record->setChecked(state.recording);
    for (QAction* item : setPreset) item->setEnabled(state.ptzEnabled);
    for (QAction* item : gotoPreset) item->setEnabled(state.ptzEnabled);
    for (QAction* item : speed) item->setEnabled(state.ptzEnabled);
    osdOn->setEnabled(state.ptzEnabled);
    osdOff->setEnabled(state.ptzEnabled);
    if (state.ptzEnabled) {
        for (int n = 1; n <= 5; ++n) speed[n - 1]->setChecked(n == state.ptzSpeed);
    }

    for (QAction* item : monitor) item->setEnabled(state.quadServer);
    monitorQuad->setEnabled(state.quadServer);

    audioInOn->setChecked(state.playAudio);
    audioInOff->setChecked(!state.playAudio);
    audioOutMenu->menuAction()->setEnabled(state.audioOut);
    audioOutMenu->setTitle(state.audioOut ? QStringLiteral("Audio Out")
                                          : QStringLiteral("Audio Out (%1)").arg(state.audioOutReason));
    audioOutOn->setChecked(state.talking);
    audioOutOff->setChecked(!state.talking);
    triggerDo1->setChecked(state.output);
}

} // namespace tavolin::ui
