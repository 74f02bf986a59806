// Acting on modal dialogs from a test: a dialog's exec() runs its own event
// loop, so the test schedules what the user does in it before opening it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

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

// The whole text of a file, empty when it does not exist.
inline std::string fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

} // namespace tavolin::ui::test
