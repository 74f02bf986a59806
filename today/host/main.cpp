// tavolin-today: shows the Tavolin launcher item as a 40-pixel strip; a tap
// on it starts the viewer. Options:
//   --root FOLDER     the folder that stands for the handheld's "\" (default:
//                     the "device" folder of this installation)
//   --user-settings   start the viewer in the user's settings folder
//                     (~/.config/Tavolin) instead of the current folder; the
//                     desktop entry passes it
//   --width N         strip width in pixels (default 240)
//   --screenshot FILE paint the strip once into FILE (PNG) and end
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <memory>

#include "windowing/process_start.h"
#include "qt_drawing_context.h"
#include "today_strip.h"
#include "platform/user_settings_folder.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tavolin-today [--root FOLDER] [--user-settings] [--width N] [--screenshot FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavolin-today"));

    // Installed, the handheld's "\Program Files\Tavolin\Tavolin.exe" is the
    // viewer beside this program: <prefix>/lib/tavolin/device mirrors it.
    QString root = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../device"));
    bool userSettings = false;
    int width = 240;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--root") == 0 && hasValue) {
            root = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--user-settings") == 0) {
            userSettings = true;
        } else if (std::strcmp(argv[i], "--width") == 0 && hasValue) {
            bool ok = false;
            width = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
            if (!ok || width < 40 || width > 4096) return usage();
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && hasValue) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            return usage();
        }
    }
    windowing::setDeviceRoot(QDir(root).absolutePath().toStdString());
    if (userSettings) {
        // The viewer keeps ".\Tavolin.txt" in its current folder, which it
        // inherits from us.
        const auto folder = platform::userSettingsFolder();
        if (!folder || ::chdir(folder->c_str()) != 0)
            std::fprintf(stderr, "tavolin-today: no settings folder in the home folder; using the current one\n");
    }

    auto host = std::make_unique<today::TodayHost>(width);
    if (!host->load("TavolinToday")) {
        std::fprintf(stderr, "tavolin-today: %s\n", host->error().c_str());
        return 1;
    }
    today::TodayStrip strip(std::move(host));
    strip.resize(width, strip.height());
    if (!screenshot.isEmpty()) {
        QImage image(strip.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        today::QtDrawingContext context(painter);
        strip.host().paint(context);
        painter.end();
        return image.save(screenshot) ? 0 : 1;
    }
    strip.show();
    return app.exec();
}
