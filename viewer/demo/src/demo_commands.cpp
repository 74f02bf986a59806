#include "demo/demo_commands.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "live/wide_video_dlg.h"

namespace tavolin::demo {

using ui::CWideVideoDlg;

namespace {

// Long enough for the picture to move visibly while the pan runs.
constexpr int kPanMs = 1500;
constexpr int kMenuSettleMs = 500;
constexpr int kPatrolSettleMs = 2500;

void sendPointer(CWideVideoDlg* view, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void save(const QPixmap& picture, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (picture.save(path)) {
        std::fprintf(stderr, "demo: wrote %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "demo: could not write %s\n", qPrintable(path));
    }
}

// Opens "PTZ Speed" as a user pointing at it would, so that the picture shows
// a submenu with its check mark too.
void openSpeedSubmenu(QMenu& popup) {
    for (QAction* entry : popup.actions()) {
        if (entry->menu() == nullptr || entry->text() != QStringLiteral("PTZ Speed")) continue;
        popup.setActiveAction(entry);
        const QRect row = popup.actionGeometry(entry);
        entry->menu()->popup(popup.mapToGlobal(row.topRight()));
        return;
    }
}

} // namespace

void pictureCommands(CWideVideoDlg* target, const QString& folder, std::function<void()> done) {
    QPointer<CWideVideoDlg> view(target);
    auto finish = std::make_shared<std::function<void()>>(std::move(done));
    // A press in the right-hand cell pans right until it is released.
    const QPoint at(target->width() * 5 / 6, target->height() / 2);
    std::fprintf(stderr, "demo: panning right\n");
    sendPointer(target, QEvent::MouseButtonPress, at);
    QTimer::singleShot(kPanMs, qApp, [view, folder, finish, at] {
        if (!view) return (*finish)();
        save(view->grab(), folder, "live-view-ptz.png");
        sendPointer(view, QEvent::MouseButtonRelease, at);
        std::fprintf(stderr, "demo: opening the menu\n");
        view->controller().actionKey();
        openSpeedSubmenu(view->menu().popup());
        QTimer::singleShot(kMenuSettleMs, qApp, [view, folder, finish] {
            if (!view) return (*finish)();
            // The menu is a window of its own: picture the screen it is on.
            save(view->screen()->grabWindow(0), folder, "live-view-menu.png");
            view->menu().popup().close();
            // Down goes wherever the keyboard is, as a user's key press would.
            QWidget* keys = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : view.data();
            for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                QKeyEvent down(type, Qt::Key_Down, Qt::NoModifier);
                QApplication::sendEvent(keys, &down);
            }
            QTimer::singleShot(kPatrolSettleMs, qApp, [view, folder, finish] {
                if (view)
                    std::fprintf(stderr, "demo: Down stepped to camera %d\n", view->controller().currentPosition() + 1);
                if (view) save(view->grab(), folder, "live-view-patrol.png");
                (*finish)();
            });
        });
    });
}

} // namespace tavolin::demo
