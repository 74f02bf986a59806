#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QDialog>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <thread>

#include "app/tavolin_app.h"
#include "fake_shell.h"
#include "modal_helpers.h"

namespace tavolin::ui {
namespace {

TEST(TavolinAppTest, ASecondStartBringsTheFormBackAndTheFileIsWrittenAtExit) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tavolin.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[0]\nCameraName=Door\n");
    }
    test::FakeShell shell;
    CTavolinApp::Options options;
    options.instanceName = QStringLiteral("tavolin-test-") + QUuid::createUuid().toString(QUuid::Id128);
    options.settingsPath = path.toStdString();

    QString nameShown;
    bool minimizedBefore = false;
    bool minimizedAfter = true;
    std::atomic<int> secondStart{-1};
    options.whenShown = [&](CTavolinDlg& form) {
        nameShown = form.controls().name->text();
        form.showMinimized();
        minimizedBefore = form.isMinimized();
        std::thread second([&] {
            SingleInstance other(options.instanceName);
            secondStart = other.claim(40, 250) ? 1 : 0;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return secondStart.load() != -1; }, 10000));
        second.join();
        minimizedAfter = form.isMinimized();
        form.controls().exit->click();
    };

    CTavolinApp app(shell, options);
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(nameShown, "Door");
    EXPECT_EQ(secondStart.load(), 0);
    EXPECT_TRUE(minimizedBefore);
    EXPECT_FALSE(minimizedAfter);
    EXPECT_EQ(app.form(), nullptr);
    // Closing the list wrote the file once more: its section is still there.
    EXPECT_NE(test::fileText(path).find("CameraName=Door"), std::string::npos);
}

TEST(TavolinAppTest, AnEndRequestDuringTheViewClosesItSavesEveryRecordAndEnds) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Tavolin.txt"));
    test::FakeShell shell;
    CTavolinApp::Options options;
    options.instanceName = QStringLiteral("tavolin-test-") + QUuid::createUuid().toString(QUuid::Id128);
    options.settingsPath = path.toStdString();
    bool viewRan = false;
    options.liveView = [&](const CTavolinDlg::Records&, int position, QWidget* parent, CTavolinDlg::Closed closed) {
        // Stands in for the live view: modal to the form until it is closed.
        auto* view = new QDialog(parent);
        view->setAttribute(Qt::WA_DeleteOnClose);
        viewRan = true;
        QObject::connect(view, &QDialog::finished, view, [position, closed = std::move(closed)] {
            LiveViewChanges changes{};
            changes[static_cast<std::size_t>(position)].ptzSpeed = 5;
            closed(changes);
        });
        view->open();
    };
    options.whenShown = [](CTavolinDlg& form) {
        QTimer::singleShot(50, [] { ::raise(SIGTERM); });
        form.controls().play->click();
    };

    CTavolinApp app(shell, options);
    EXPECT_EQ(app.run(), 0);
    EXPECT_TRUE(viewRan);
    const std::string text = test::fileText(path);
    EXPECT_NE(text.find("[15]\nCameraName="), std::string::npos);
    EXPECT_NE(text.find("PTZSpeed=5"), std::string::npos);
    EXPECT_TRUE(shell.scripted.messages.empty());
}

} // namespace
} // namespace tavolin::ui
