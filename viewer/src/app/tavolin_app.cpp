#include "app/tavolin_app.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <utility>

#include "app/termination_signals.h"
#include "shell/shell.h"
#include "tavolin/startup_check.h"
#include "tavolin/store_notices.h"

// Resources of a static library are registered by hand.
static void registerAppResources() { Q_INIT_RESOURCE(app_icon); }

namespace tavolin::ui {

CTavolinApp::CTavolinApp(Shell& shell, Options options)
    : shell_(shell), options_(std::move(options)), instance_(options_.instanceName) {
    registerAppResources();
}

CTavolinApp::~CTavolinApp() = default;

int CTavolinApp::run() {
    StartupCheck check(options_.settingsPath);
    // Refused before anything else: every save would fail.
    if (const std::string refusal = check.refusal(); !refusal.empty()) {
        tell(nullptr, refusal);
        return 1;
    }
    if (!instance_.claim()) return 0;
    instance_.setRaiseHandler([this] { raiseWindow(); });

    form_ = std::make_unique<CTavolinDlg>(shell_, options_.settingsPath, nullptr, options_.reasons);
    TerminationSignals termination([this] { endOnRequest(); });
    form_->setLiveViewRunner(options_.liveView);
    form_->setWallRunner(options_.wall);
    // Once the form is up: what its settings file could not give, then
    // whatever drives the form.
    QTimer::singleShot(0, form_.get(), [this, &check] {
        tell(form_.get(), check.takeLoadNotice(form_->cameras()));
        if (options_.whenShown) options_.whenShown(*form_);
    });
    form_->exec();
    // Closing the camera list writes the settings file once more; why that
    // failed, or where it kept a version another program wrote, is told unless
    // the system asked the program to end.
    form_->cameras().close();
    const std::string notices = joinedNotices(form_->cameras().takeSaveNotices());
    if (!endRequested_) tell(nullptr, notices);
    form_.reset();
    return 0;
}

void CTavolinApp::tell(QWidget* parent, const std::string& notice) {
    if (notice.empty()) return;
    if (options_.noticesToStandardError) {
        std::fprintf(stderr, "Tavolin: %s\n", notice.c_str());
        return;
    }
    shell_.prompts().showMessage(parent, QString::fromLocal8Bit(notice), QStringLiteral("Tavolin"), PromptButtons::Ok);
}

void CTavolinApp::endOnRequest() {
    if (!form_) return;
    endRequested_ = true;
    // Each window closes from its own event loop, innermost first; the form
    // goes last, once Play has saved the records after its view.
    auto* closer = new QTimer(form_.get());
    QObject::connect(closer, &QTimer::timeout, closer, [this, closer] {
        QWidget* top = QApplication::activeModalWidget();
        if (top != nullptr && top != form_.get()) {
            top->close();
            return;
        }
        closer->stop();
        form_->done(QDialog::Accepted);
    });
    closer->start(20);
}

void CTavolinApp::raiseWindow() {
    // The live view covers the form while it runs; it is the window to show.
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) window = form_.get();
    if (window == nullptr) return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace tavolin::ui
