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

PromptAnswer QtPrompts::showMessage(QWidget* parent, const QString& text, const QString& caption, PromptButtons buttons,
                                    const QString& detail) {
    const bool yesNo = buttons == PromptButtons::YesNo;
    QMessageBox box(yesNo ? QMessageBox::Question : QMessageBox::Information, caption, text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    if (yesNo) box.setDefaultButton(QMessageBox::Yes);
    box.setInformativeText(detail);
    const int answer = box.exec();
    if (!yesNo) return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

QString QtPrompts::openFile(QWidget* parent, const QString& title, const QString& filter, const QString& startFolder) {
    return QFileDialog::getOpenFileName(parent, title, startFolder, filter);
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
