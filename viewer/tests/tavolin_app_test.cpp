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
#include <regex>
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
  options.liveView = [&](const CTavolinDlg::Records&, int position, QWidget* parent) {
    QDialog view(parent);  // stands in for the live view
    viewRan = true;
    view.exec();
    LiveViewChanges changes{};
    changes[static_cast<std::size_t>(position)].ptzSpeed = 5;
    return changes;
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

// What the program tells about its settings file at start and at exit.
struct StartCase {
  const char* name;
  std::string file;       // at start
  bool pathTooLong;       // the settings path is longer than the store keeps
  bool changedMeanwhile;  // another program writes the file while the form is up
  int exitCode;
  const char* told;  // a pattern of every message shown, joined by " | "; "@" is the settings path
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

const StartCase kStartCases[] = {
    {"ALineThatCannotBeReadIsToldOnceAtStartAndTheFileLeftAsItIs", "[0]\nCameraName=Door\njunk\n", false, false, 0,
     "Line 3 of @ could not be read \\(a line without \"=\"\\); the file will be left as it is\\.\n\n.*not saved.*"},
    {"AVersionAnotherProgramWroteIsToldAtExit", "[0]\nCameraName=Door\n", false, true, 0,
     "@ was changed by another program since it was read; that version is kept in @\\.[0-9-]+\\.bak\\."},
    {"ASettingsPathTheStoreCannotKeepIsRefusedAtStart", "", true, false, 1,
     "The path of the settings file is longer than 254 bytes.*:\n@\n\nTavolin does not start with it\\."},
};

class TavolinAppStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(TavolinAppStartTest, TellsWhatTheSettingsFileCouldNotGive) {
  const StartCase& c = GetParam();
  QTemporaryDir folder;
  const QString path = c.pathTooLong ? folder.filePath(QString(250, QLatin1Char('d')) + QStringLiteral("/Tavolin.txt"))
                                     : folder.filePath(QStringLiteral("Tavolin.txt"));
  const auto write = [&](const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  };
  if (!c.file.empty()) write(c.file);
  test::FakeShell shell;
  CTavolinApp::Options options;
  options.instanceName = QStringLiteral("tavolin-test-") + QUuid::createUuid().toString(QUuid::Id128);
  options.settingsPath = path.toStdString();
  options.whenShown = [&](CTavolinDlg& form) {
    if (c.changedMeanwhile) write("[0]\nCameraName=Theirs\n");
    form.controls().exit->click();
  };
  CTavolinApp app(shell, options);
  EXPECT_EQ(app.run(), c.exitCode);

  QStringList shown;
  for (const auto& m : shell.scripted.messages) shown << m.text;
  const std::string pattern = std::regex_replace(c.told, std::regex("@"), path.toStdString());
  EXPECT_TRUE(std::regex_match(shown.join(QStringLiteral(" | ")).toStdString(), std::regex(pattern)))
      << shown.join(QStringLiteral(" | ")).toStdString();
  if (!c.file.empty() && !c.changedMeanwhile) {
    EXPECT_EQ(test::fileText(path), c.file);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, TavolinAppStartTest, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavolin::ui
