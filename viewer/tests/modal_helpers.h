// Acting on modal dialogs from a test: a dialog opens over its window and
// returns at once, so the test says what the user does in it before opening
// it, and lets the events run until every dialog has closed.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "file_text.h"

namespace tavolin::ui::test {

// Calls `act` with the first modal dialog of type `Dialog` that opens within
// five seconds (polling the event loop), then stops watching.
template <typename Dialog>
void whenDialogOpens(std::function<void(Dialog&)> act) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, act = std::move(act)] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && clock->elapsed() < 5000) return;
        timer->stop();
        timer->deleteLater();
        if (dialog != nullptr) act(*dialog);
    });
    timer->start(2);
}

// Runs the events until no modal dialog is open; false after `ms`.
inline bool dialogsClosed(int ms = 5000) {
    return QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, ms);
}

} // namespace tavolin::ui::test
