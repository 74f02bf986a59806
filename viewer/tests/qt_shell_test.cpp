#include "shell/qt_shell.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

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

// Boxes open over their window without a loop of their own, one at a time in
// the order asked, and each answer goes to its own asker; a box asked for a
// window that has gone by its turn is dropped.
TEST(QtPromptsTest, BoxesComeOneAtATimeOverTheirWindowAndAnswerTheirAsker) {
    QtPrompts prompts;
    QWidget window;
    window.show();
    auto gone = std::make_unique<QWidget>();
    std::vector<QString> answered;
    prompts.showMessage(
        &window, {QStringLiteral("Setting Changed! Apply?"), QStringLiteral("Setting Changed"), PromptButtons::YesNo},
        [&](PromptAnswer a) { answered.push_back(a == PromptAnswer::Yes ? "yes" : "no"); });
    prompts.showMessage(gone.get(), {QStringLiteral("dropped"), QStringLiteral("x")},
                        [&](PromptAnswer) { answered.push_back("dropped"); });
    prompts.showMessage(
        &window, {QStringLiteral("OK"), QStringLiteral("Apply Setting"), PromptButtons::Ok, QStringLiteral("why")},
        [&](PromptAnswer a) { answered.push_back(a == PromptAnswer::Ok ? "ok" : "?"); });
    gone.reset();

    QMessageBox* first = prompts.shownBox();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(), QStringLiteral("Setting Changed! Apply?"));
    EXPECT_EQ(first->windowModality(), Qt::WindowModal);
    EXPECT_EQ(first->parentWidget(), &window);
    EXPECT_TRUE(answered.empty());
    first->button(QMessageBox::Yes)->click();
    EXPECT_EQ(answered, std::vector<QString>{"yes"});

    QMessageBox* second = prompts.shownBox();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), QStringLiteral("OK"));
    EXPECT_EQ(second->informativeText(), QStringLiteral("why"));
    second->close();
    EXPECT_EQ(answered, (std::vector<QString>{"yes", "ok"}));
    EXPECT_EQ(prompts.shownBox(), nullptr);
}

} // namespace
} // namespace tavolin::ui
