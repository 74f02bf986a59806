#include "shell/qt_shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace tavolin::ui {

namespace {

// The screen the window is on; before it has one, the primary screen.
QScreen* screenOf(const QWidget* window) {
    if (window != nullptr && window->screen() != nullptr) return window->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

void QtPrompts::showMessage(QWidget* parent, const Prompt& prompt, PromptAnswered answered) {
    waiting_.push_back({parent, parent != nullptr, prompt, std::move(answered)});
    showNext();
}

void QtPrompts::showNext() {
    while (!shown_ && !waiting_.empty()) {
        Pending next = std::move(waiting_.front());
        waiting_.pop_front();
        // Asked for a window that has closed meanwhile: nobody waits for it.
        if (next.hadParent && !next.parent) continue;
        const bool yesNo = next.prompt.buttons == PromptButtons::YesNo;
        auto* box = new QMessageBox(yesNo ? QMessageBox::Question : QMessageBox::Information, next.prompt.caption,
                                    next.prompt.text, yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                                    next.parent);
        if (yesNo) box->setDefaultButton(QMessageBox::Yes);
        box->setInformativeText(next.prompt.detail);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(next.parent ? Qt::WindowModal : Qt::ApplicationModal);
        shown_ = box;
        QObject::connect(box, &QMessageBox::finished, &context_,
                         [this, box, yesNo, answered = std::move(next.answered)](int result) {
                             if (shown_ == box) shown_ = nullptr;
                             if (answered) {
                                 answered(!yesNo ? PromptAnswer::Ok
                                                 : (result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No));
                             }
                             showNext();
                         });
        // A box that goes with its window, unanswered, lets the next one show.
        QObject::connect(box, &QObject::destroyed, &context_, [this] { showNext(); });
        box->open();
    }
}

void QtPrompts::openFile(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder,
                         std::function<void(const QString& path)> chosen) {
    auto* dialog = new QFileDialog(parent, title, startFolder, filter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QFileDialog::finished, &context_, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        if (chosen) chosen(result == QDialog::Accepted && !files.isEmpty() ? files.front() : QString());
    });
    dialog->open();
}

void QtShell::enterFullScreen(QWidget* window) {
    if (window == nullptr) return;
    // No decoration and above the desktop's panels; a visible window has to be
    // shown again after its flags change.
    const bool visible = window->isVisible();
    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    if (QScreen* screen = screenOf(window)) window->setGeometry(screen->geometry());
    window->setWindowState(window->windowState() | Qt::WindowFullScreen);
    if (visible) window->show();
}

QSize QtShell::screenSize(const QWidget* window) const {
    QScreen* screen = screenOf(window);
    return screen != nullptr ? screen->size() : QSize();
}

QString QtShell::protocolFolder() const {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("protocol"));
}

} // namespace tavolin::ui
