#include "demo/onvif_demo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>
#include <memory>

#include "demo/demo_driver.h"
#include "dialogs/find_camera_dlg.h"
#include "form/tavolin_dlg.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"

namespace tavolin::demo {

using ui::CFindCameraDlg;
using ui::CTavolinDlg;
using ui::CWideVideoDlg;

namespace {

constexpr int kSettleMs = 500;
constexpr int kPollMs = 100;
constexpr int kPanMs = 1500;
// Long enough for a pointed camera's picture to come to rest.
constexpr int kAimSettleMs = 3000;
// How long the camera may take to come back after its restart: the view
// tries again at growing intervals, the fourth try after 15 s.
constexpr int kComeBackMs = 40000;
// Pictures that show video runs again.
constexpr long kPicturesBack = 10;

void shoot(QWidget* window, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    std::fprintf(stderr, window->grab().save(path) ? "demo: wrote %s\n" : "demo: could not write %s\n",
                 qPrintable(path));
}

// Calls `then` once `condition` holds, or `otherwise` after `timeoutMs`.
void whenTrue(std::function<bool()> condition, int timeoutMs, std::function<void()> then,
              std::function<void()> otherwise) {
    auto* timer = new QTimer(qApp);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        *waited += kPollMs;
        const bool done = condition();
        if (!done && *waited < timeoutMs) return;
        timer->stop();
        timer->deleteLater();
        done ? then() : otherwise();
    });
    timer->start(kPollMs);
}

// The form's own questions get the answer a user wanting to go on gives:
// Yes to applying the edits, OK to "OK". Others (a lost connection) are left
// to the view and the watchdog.
void answerFormPrompts(QObject* owner) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (box->text() == QStringLiteral("Setting Changed! Apply?")) {
            box->button(QMessageBox::Yes)->click();
        } else if (box->windowTitle() == QStringLiteral("Apply Setting")) {
            std::fprintf(stderr, "demo: Apply said %s\n", qPrintable(box->text()));
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer->start(kPollMs);
}

void pointer(CWideVideoDlg* view, QEvent::Type type, QPoint at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, held, keys);
    QApplication::sendEvent(view, &event);
}

void closeView(const QPointer<CWideVideoDlg>& view) {
    if (view) view->close();
}

// Pointing: a double-click on a point right of and above the middle, the
// picture when it came to the middle; then a box drawn with Shift round a
// part of the picture, and the picture zoomed into it.
void aimAround(QPointer<CWideVideoDlg> view, const QString& folder) {
    const QPoint at(view->width() * 4 / 5, view->height() * 3 / 10);
    std::fprintf(stderr, "demo: double-click at %d,%d\n", at.x(), at.y());
    pointer(view, QEvent::MouseButtonPress, at);
    pointer(view, QEvent::MouseButtonRelease, at);
    pointer(view, QEvent::MouseButtonDblClick, at);
    pointer(view, QEvent::MouseButtonRelease, at);
    shoot(view, folder, "live-view-aim-click.png");
    QTimer::singleShot(kAimSettleMs, qApp, [view, folder] {
        if (!view) return;
        shoot(view, folder, "live-view-aim-centred.png");
        const QPoint from(view->width() * 35 / 100, view->height() * 35 / 100);
        const QPoint to(view->width() * 60 / 100, view->height() * 58 / 100);
        pointer(view, QEvent::MouseButtonPress, from, Qt::ShiftModifier);
        pointer(view, QEvent::MouseMove, to, Qt::ShiftModifier);
        shoot(view, folder, "live-view-aim-box.png");
        pointer(view, QEvent::MouseButtonRelease, to, Qt::ShiftModifier);
        QTimer::singleShot(kAimSettleMs, qApp, [view, folder] {
            if (!view) return;
            shoot(view, folder, "live-view-aim-zoomed.png");
            closeView(view);
        });
    });
}

// The restart: the script stops the camera and starts it again; the view
// loses the stream, then shows video again.
void awaitRestart(QPointer<CWideVideoDlg> view, const QString& folder) {
    std::fprintf(stderr, "demo: restart the camera now\n");
    auto last = std::make_shared<long>(view->videoSurface().presentedCount());
    auto stalledFor = std::make_shared<int>(0);
    // First the loss: no new picture for a second.
    whenTrue(
        [view, last, stalledFor] {
            if (!view) return true;
            const long now = view->videoSurface().presentedCount();
            *stalledFor = now == *last ? *stalledFor + kPollMs : 0;
            *last = now;
            return *stalledFor >= 1000;
        },
        15000,
        [view, folder, last] {
            if (!view) return;
            std::fprintf(stderr, "demo: the stream stopped\n");
            const long lost = *last;
            whenTrue([view, lost] { return !view || view->videoSurface().presentedCount() >= lost + kPicturesBack; },
                     kComeBackMs,
                     [view, folder] {
                         if (!view) return;
                         std::fprintf(stderr, "demo: the camera came back\n");
                         shoot(view, folder, "live-view-onvif-back.png");
                         closeView(view);
                     },
                     [view] {
                         std::fprintf(stderr, "demo: the camera did not come back within %d s\n", kComeBackMs / 1000);
                         closeView(view);
                     });
        },
        [view] {
            std::fprintf(stderr, "demo: the stream never stopped (was the camera restarted?)\n");
            closeView(view);
        });
}

void fillAndPlay(QPointer<CTavolinDlg> guard, const DemoOptions& options) {
    CTavolinDlg& form = *guard;
    const CTavolinDlg::Controls& c = form.controls();
    const qsizetype colon = options.findLogin.indexOf(QLatin1Char(':'));
    c.userName->setText(options.findLogin.left(colon));
    c.password->setText(colon < 0 ? QString() : options.findLogin.mid(colon + 1));
    if (!c.ptzSetting->isChecked()) c.ptzSetting->click();
    shoot(&form, options.screenshotFolder, "form-onvif.png");
    if (!everyCameraIsLoopback(form.cameras()) || c.host->text() != QStringLiteral("127.0.0.1")) {
        std::fprintf(stderr, "demo: a camera of this list is not at 127.0.0.1; Play is left to you\n");
        c.exit->click();
        return;
    }
    answerFormPrompts(&form);
    startWatchdog(form, options.viewMs + 15000 + kComeBackMs + 15000);
    std::fprintf(stderr, "demo: pressing Play on camera 1\n");
    c.play->click();
}

} // namespace

void driveOnvifDemo(CTavolinDlg& form, const DemoOptions& options) {
    QDir().mkpath(options.screenshotFolder);
    QPointer<CTavolinDlg> guard(&form);
    QTimer::singleShot(kSettleMs, &form, [guard, options] {
        if (!guard) return;
        shoot(guard, options.screenshotFolder, "form.png");
        // The search dialog opens over the form from the button.
        QTimer::singleShot(kSettleMs, qApp, [guard, options] {
            auto* dialog = qobject_cast<CFindCameraDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            QPointer<CFindCameraDlg> find(dialog);
            // The form takes the camera chosen first; then the demo goes on.
            QObject::connect(find, &QDialog::finished, guard, [guard, options] {
                if (guard->controls().streamingType->currentText() != QStringLiteral("ONVIF")) {
                    std::fprintf(stderr, "demo: no camera was found; nothing to play\n");
                    guard->controls().exit->click();
                    return;
                }
                fillAndPlay(guard, options);
            });
            whenTrue([find] { return !find || !find->isSearching(); }, 10000,
                     [find, options] {
                         if (!find) return;
                         shoot(find, options.screenshotFolder, "find-cameras.png");
                         if (find->cameraList()->topLevelItemCount() == 0) {
                             std::fprintf(stderr, "demo: %s\n", qPrintable(find->statusLabel()->text()));
                             find->reject();
                             return;
                         }
                         std::fprintf(stderr, "demo: found %s at %s\n",
                                      qPrintable(find->cameraList()->topLevelItem(0)->text(0)),
                                      qPrintable(find->cameraList()->topLevelItem(0)->text(2)));
                         find->okButton()->click();
                     },
                     [find] {
                         if (find) find->reject();
                     });
        });
        std::fprintf(stderr, "demo: pressing Find...\n");
        guard->controls().find->click();
    });
}

void driveOnvifLiveView(CWideVideoDlg& view, const DemoOptions& options) {
    QPointer<CWideVideoDlg> shown(&view);
    const QString folder = options.screenshotFolder;
    const bool aim = options.aim;
    QTimer::singleShot(options.viewMs, shown, [shown, folder, aim] {
        whenTrue([shown] { return !shown || shown->videoSurface().presentedCount() >= 5; }, 15000,
                 [shown, folder, aim] {
                     if (!shown) return;
                     shoot(shown, folder, "live-view-onvif.png");
                     if (aim) {
                         aimAround(shown, folder);
                         return;
                     }
                     std::fprintf(stderr, "demo: panning right\n");
                     const QPoint at(shown->width() * 5 / 6, shown->height() / 2);
                     pointer(shown, QEvent::MouseButtonPress, at);
                     QTimer::singleShot(kPanMs, qApp, [shown, folder, at] {
                         if (!shown) return;
                         shoot(shown, folder, "live-view-onvif-pan.png");
                         pointer(shown, QEvent::MouseButtonRelease, at);
                         awaitRestart(shown, folder);
                     });
                 },
                 [shown] {
                     std::fprintf(stderr, "demo: no video from the camera\n");
                     closeView(shown);
                 });
    });
}

} // namespace tavolin::demo
