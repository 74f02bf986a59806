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
    QEventLoop loop;
    loop_ = &loop;
    exitCode_ = 0;
    const auto end = [this](int code) {
        exitCode_ = code;
        loop_->quit();
    };
    StartupCheck check(options_.settingsPath);
    // Refused before anything else: every save would fail.
    if (const std::string refusal = check.refusal(); !refusal.empty()) {
        tell(nullptr, refusal, [end] { end(1); });
        if (exitCode_ == 0) loop.exec();
        loop_ = nullptr;
        return exitCode_;
    }
    if (!instance_.claim()) {
        loop_ = nullptr;
        return 0;
    }
    instance_.setRaiseHandler([this] { raiseWindow(); });

    form_ = std::make_unique<CTavolinDlg>(shell_, options_.settingsPath, nullptr, options_.reasons);
    TerminationSignals termination([this] { endOnRequest(); });
    form_->setLiveViewRunner(options_.liveView);
    form_->setWallRunner(options_.wall);
    if (options_.playback) form_->setPlaybackOpener(options_.playback);
    QObject::connect(form_.get(), &QDialog::finished, form_.get(), [this] { formClosed(); });
    // Once the form is up: what its settings file could not give, then
    // whatever drives the form.
    QTimer::singleShot(0, form_.get(), [this, &check] {
        tell(form_.get(), check.takeLoadNotice(form_->cameras()), [this] {
            if (options_.whenShown && form_) options_.whenShown(*form_);
        });
    });
    form_->show();
    loop.exec();
    form_.reset();
    loop_ = nullptr;
    return exitCode_;
}

void CTavolinApp::formClosed() {
    // Closing the camera list writes the settings file once more; why that
    // failed, or where it kept a version another program wrote, is told unless
    // the system asked the program to end.
    form_->cameras().close();
    const std::string notices = joinedNotices(form_->cameras().takeSaveNotices());
    tell(nullptr, endRequested_ ? std::string() : notices, [this] { loop_->quit(); });
}

void CTavolinApp::tell(QWidget* parent, const std::string& notice, std::function<void()> then) {
    const auto done = [then = std::move(then)] {
        if (then) then();
    };
    if (notice.empty()) return done();
    if (options_.noticesToStandardError) {
        std::fprintf(stderr, "Tavolin: %s\n", notice.c_str());
        return done();
    }
    shell_.prompts().showMessage(parent, {QString::fromLocal8Bit(notice), QStringLiteral("Tavolin")},
                                 [done](PromptAnswer) { done(); });
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
