#include "shell/qt_shell.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
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
    auto gone = std::make_unique<QWidget>();
    std::vector<PromptAnswer> answered;
    const auto record = [&](PromptAnswer a) { answered.push_back(a); };
    prompts.showMessage(&window, {QStringLiteral("Apply?"), QStringLiteral("Q"), PromptButtons::YesNo}, record);
    prompts.showMessage(gone.get(), {QStringLiteral("dropped"), QStringLiteral("Q")}, record);
    prompts.showMessage(&window, {QStringLiteral("OK"), QStringLiteral("Q"), PromptButtons::Ok, "why"}, record);
    gone.reset();

    ASSERT_NE(prompts.shownBox(), nullptr);
    EXPECT_EQ(prompts.shownBox()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(prompts.shownBox()->parentWidget(), &window);
    EXPECT_TRUE(answered.empty());
    prompts.shownBox()->button(QMessageBox::Yes)->click();
    EXPECT_EQ(answered, std::vector<PromptAnswer>{PromptAnswer::Yes});
    ASSERT_NE(prompts.shownBox(), nullptr);
    EXPECT_EQ(prompts.shownBox()->informativeText(), QStringLiteral("why"));
    prompts.shownBox()->close();
    EXPECT_EQ(answered, (std::vector<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::Ok}));
    EXPECT_EQ(prompts.shownBox(), nullptr);
}

} // namespace
} // namespace tavolin::ui
