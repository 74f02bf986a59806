#include "shell/qt_shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tavolin::ui {
namespace {

TEST(QtShellTest, FullScreenCoversTheWholeScreenWithoutDecoration) {
    QtShell shell;
    QWidget window;
    window.resize(100, 80);
    window.show();
    shell.enterFullScreen(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowState().testFlag(Qt::WindowFullScreen));
    ASSERT_NE(window.screen(), nullptr);
    EXPECT_EQ(window.geometry(), window.screen()->geometry());
    EXPECT_EQ(shell.screenSize(&window), window.screen()->size());
}

TEST(QtShellTest, RecordsTheOrientationAndFindsProtocolsBesideTheProgram) {
    QtShell shell;
    EXPECT_EQ(shell.orientation(), 0);
    shell.setOrientation(270);
    EXPECT_EQ(shell.orientation(), 270);
    EXPECT_EQ(shell.protocolFolder(), QCoreApplication::applicationDirPath() + QStringLiteral("/protocol"));
    EXPECT_EQ(shell.screenSize(nullptr), QGuiApplication::primaryScreen()->size());
}

} // namespace
} // namespace tavolin::ui
