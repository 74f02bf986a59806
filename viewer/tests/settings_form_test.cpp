#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "fake_shell.h"
#include "form/tavolin_dlg.h"
#include "modal_helpers.h"
#include "tavolin/camera_list.h"
#include "widgets/dialog_units.h"

namespace tavolin::ui {
namespace {

using test::FakeShell;
using test::fileText;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class SettingsFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("Tavolin.txt"));
    }

    CTavolinDlg& openForm() {
        form = std::make_unique<CTavolinDlg>(shell, path.toStdString());
        return *form;
    }
    const CTavolinDlg::Controls& c() const { return form->controls(); }

    // What the user does: type into a field, pick a camera from the list.
    void retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void chooseCamera(int position) {
        c().cameraId->setCurrentIndex(position);
        emit c().cameraId->activated(position);
    }

    // The records as a fresh start would load them from the file.
    CameraRecord stored(int position) {
        CameraList list(path.toStdString());
        return *list.record(position);
    }

    std::vector<QString> messageTexts() const {
        std::vector<QString> texts;
        for (const auto& m : shell.scripted.messages) texts.push_back(m.text);
        return texts;
    }

    QTemporaryDir folder;
    QString path;
    FakeShell shell;
    std::unique_ptr<CTavolinDlg> form;
};

TEST_F(SettingsFormTest, StartsOnCameraOneWithDefaultsAndWritesNothing) {
    openForm();
    EXPECT_EQ(c().cameraId->count(), 16);
    EXPECT_EQ(c().cameraId->currentText(), "1");
    EXPECT_EQ(c().cameraId->itemText(15), "16");
    EXPECT_EQ(c().streamingType->currentText(), "2.0");
    EXPECT_EQ(c().name->text(), "Camera - 1");
    EXPECT_EQ(c().host->text(), "192.168.0.100");
    EXPECT_EQ(c().channel->text(), "0");
    EXPECT_EQ(c().registerPort->text(), "6000");
    EXPECT_EQ(c().controlPort->text(), "6001");
    EXPECT_EQ(c().streamingPort->text(), "6002");
    EXPECT_EQ(c().httpPort->text(), "80");
    EXPECT_EQ(c().userName->text(), "Admin");
    EXPECT_EQ(c().password->text(), "604217");
    EXPECT_EQ(c().password->echoMode(), QLineEdit::Password);
    for (QCheckBox* box : {c().showName, c().showEvents, c().ptzSetting, c().quadServer, c().switchGroup}) {
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
    }
    EXPECT_FALSE(form->hasChanges());
    EXPECT_THAT(shell.orientations, ElementsAre(0));
    EXPECT_TRUE(shell.scripted.messages.empty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SettingsFormTest, SwitchingAfterAnEditAnsweredNoDropsTheEdit) {
    openForm();
    retype(c().name, "Gate");
    shell.scripted.answers = {PromptAnswer::No};
    chooseCamera(4);

    ASSERT_EQ(shell.scripted.messages.size(), 1u);
    EXPECT_EQ(shell.scripted.messages[0].text, "Setting Changed! Apply?");
    EXPECT_EQ(shell.scripted.messages[0].caption, "Setting Changed");
    EXPECT_EQ(shell.scripted.messages[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(form->currentCamera(), 4);
    EXPECT_EQ(c().name->text(), "Camera - 5");
    EXPECT_EQ(textOf(form->cameras().record(0)->name), "Camera - 1");
    EXPECT_FALSE(QFile::exists(path));

    // Back on camera 1 the edit is gone, and nothing more is asked.
    chooseCamera(0);
    EXPECT_EQ(c().name->text(), "Camera - 1");
    EXPECT_EQ(shell.scripted.messages.size(), 1u);
}

TEST_F(SettingsFormTest, SwitchingAfterAnEditAnsweredYesStoresItUnderTheCameraShown) {
    openForm();
    chooseCamera(2);
    retype(c().name, "Yard");
    retype(c().host, "127.0.0.1");
    shell.scripted.answers = {PromptAnswer::Yes};
    QTest::keyClick(c().cameraId, Qt::Key_Down); // to camera 4 with the keyboard

    EXPECT_THAT(messageTexts(), ElementsAre("Setting Changed! Apply?", "OK"));
    EXPECT_EQ(shell.scripted.messages[1].caption, "Apply Setting");
    EXPECT_EQ(form->currentCamera(), 3);
    EXPECT_EQ(c().name->text(), "Camera - 4");
    const CameraRecord yard = stored(2);
    EXPECT_EQ(textOf(yard.name), "Yard");
    EXPECT_EQ(textOf(yard.host), "127.0.0.1");
    EXPECT_EQ(textOf(stored(3).name), "Camera - 4");
}

TEST_F(SettingsFormTest, CheckBoxClicksAreEditsUntilTheQuestionIsAnswered) {
    openForm();
    c().showName->click();
    c().showName->click(); // clicking back is still a change
    chooseCamera(1);
    EXPECT_THAT(messageTexts(), ElementsAre("Setting Changed! Apply?"));
    chooseCamera(2);
    EXPECT_EQ(shell.scripted.messages.size(), 1u);
}

TEST_F(SettingsFormTest, ApplyStoresTheFormAndResetsSpeedAudioAndStreamingEngine) {
    openForm();
    CameraRecord* record = form->cameras().record(0);
    // As the live view leaves them, and as a file may hold them.
    record->ptzSpeed = 5;
    record->playAudio = 1;
    record->useStreamingEngine = 1;
    setText(record->streamingEngineHost, "127.0.0.9");

    c().streamingType->setCurrentIndex(0);
    emit c().streamingType->activated(0);
    c().showEvents->click();
    c().quadServer->click();
    c().switchGroup->click();
    retype(c().controlPort, "16001");
    c().apply->click();

    EXPECT_THAT(messageTexts(), ElementsAre("OK"));
    EXPECT_EQ(shell.scripted.messages[0].caption, "Apply Setting");
    EXPECT_TRUE(c().apply->isEnabled());
    EXPECT_FALSE(form->hasChanges());
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.ptzSpeed, 3);
    EXPECT_EQ(s.playAudio, 0);
    EXPECT_EQ(s.useStreamingEngine, 0);
    EXPECT_EQ(textOf(s.streamingEngineHost), "");
    EXPECT_EQ(s.streamingType, 1);
    EXPECT_EQ(s.showEvents, 1);
    EXPECT_EQ(s.quadServer, 1);
    EXPECT_EQ(s.inSwitchGroup, 1);
    EXPECT_EQ(s.showName, 0);
    EXPECT_EQ(s.controlPort, 16001u);
    EXPECT_EQ(form->cameras().record(0)->ptzSpeed, 3);
}

TEST_F(SettingsFormTest, ApplyThatCannotWriteShowsFailAndClearsTheChange) {
    // The settings file's place is a folder, so nothing can be written there.
    ASSERT_TRUE(QDir(folder.path()).mkdir("Tavolin.txt"));
    openForm();
    retype(c().name, "Lost");
    c().apply->click();
    EXPECT_THAT(messageTexts(), ElementsAre("Fail"));
    EXPECT_FALSE(form->hasChanges());
    EXPECT_TRUE(c().apply->isEnabled());
}

TEST_F(SettingsFormTest, ApplyIsDisabledWhileItsMessageIsOpen) {
    openForm();
    shell.scripted.hold = true;
    c().apply->click();
    ASSERT_EQ(shell.scripted.waiting(), 1u);
    EXPECT_FALSE(c().apply->isEnabled());
    shell.scripted.answerNext();
    EXPECT_TRUE(c().apply->isEnabled());
}

TEST_F(SettingsFormTest, LettersInAPortGiveAMessageAndKeepThePreviousValues) {
    openForm();
    form->show();
    retype(c().registerPort, "60x0");
    retype(c().httpPort, "8080"); // read after the bad field
    retype(c().name, "North");    // read last of all
    retype(c().userName, "");
    c().apply->click();

    EXPECT_THAT(messageTexts(), ElementsAre("Please enter an integer.", "OK"));
    EXPECT_EQ(form->focusWidget(), c().registerPort);
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.registerPort, 6000u);
    EXPECT_EQ(s.httpPort, 80u);
    EXPECT_EQ(textOf(s.name), "Camera - 1");
    EXPECT_EQ(textOf(s.userName), "Admin");
}

TEST_F(SettingsFormTest, NumbersAreReadWholeAndInRange) {
    openForm();
    const struct {
        const char* text;
        bool taken;
    } cases[] = {{" 7001 ", true}, {"-1", true},           {"+42", true},   {"", false},
                 {"12 3", false},  {"99999999999", false}, {"0x10", false}, {"-", false}};
    for (const auto& tc : cases) {
        retype(c().controlPort, "6001");
        c().apply->click();
        shell.scripted.messages.clear();
        retype(c().controlPort, tc.text);
        c().apply->click();
        EXPECT_EQ(shell.scripted.messages.front().text == "Please enter an integer.", !tc.taken) << tc.text;
        EXPECT_EQ(stored(0).controlPort != 6001u, tc.taken) << tc.text;
    }
}

TEST_F(SettingsFormTest, ChannelIsShownButNeverStored) {
    openForm();
    retype(c().channel, "7");
    EXPECT_TRUE(form->hasChanges());
    c().apply->click();
    EXPECT_THAT(messageTexts(), ElementsAre("OK"));
    EXPECT_EQ(stored(0).channel, 0u);
    EXPECT_EQ(form->cameras().record(0)->channel, 0u);
    EXPECT_THAT(fileText(path), Not(HasSubstr("=7")));

    shell.scripted.messages.clear();
    retype(c().channel, "-3");
    c().apply->click();
    EXPECT_THAT(messageTexts(), ElementsAre("Please enter a positive integer.", "OK"));
    EXPECT_EQ(form->focusWidget(), c().channel);
}

TEST_F(SettingsFormTest, CheckBoxesAreStoredAsTheirFlags) {
    openForm();
    c().showName->click();
    EXPECT_TRUE(form->hasChanges());
    c().apply->click();
    EXPECT_EQ(stored(0).showName, 1);
    EXPECT_THAT(fileText(path), HasSubstr("ShowCameraName=1"));
    c().showName->click();
    c().apply->click();
    EXPECT_EQ(stored(0).showName, 0);
}

TEST_F(SettingsFormTest, LoadDefaultShowsDefaultsAndSavesNothing) {
    openForm();
    retype(c().name, "Dock");
    retype(c().host, "127.0.0.1");
    c().apply->click();
    c().loadDefault->click();
    EXPECT_EQ(c().name->text(), "Camera - 1");
    EXPECT_EQ(c().host->text(), "192.168.0.100");
    EXPECT_TRUE(form->hasChanges());
    EXPECT_EQ(textOf(stored(0).name), "Dock");
}

TEST_F(SettingsFormTest, LoadDefaultThenPlayAnsweredNoStartsTheViewWithTheStoredRecord) {
    openForm();
    retype(c().name, "Dock");
    retype(c().host, "127.0.0.1");
    c().apply->click();
    c().loadDefault->click();
    shell.scripted.messages.clear();
    shell.scripted.answers = {PromptAnswer::No};

    int runs = 0;
    std::string hostSeen;
    std::vector<bool> enabledDuringView;
    form->setLiveViewRunner([&](const CTavolinDlg::Records& records, int position, QWidget*,
                                CTavolinDlg::Closed closed) {
        ++runs;
        EXPECT_EQ(position, 0);
        for (int i = 0; i < kCameraCount; ++i) EXPECT_EQ(records[i], form->cameras().record(i));
        hostSeen = textOf(records[position]->host);
        for (QWidget* w :
             std::initializer_list<QWidget*>{c().play, c().apply, c().loadDefault, c().exit, c().cameraId, c().name}) {
            enabledDuringView.push_back(w->isEnabled());
        }
        closed({});
    });
    c().play->click();

    EXPECT_THAT(messageTexts(), ElementsAre("Setting Changed! Apply?"));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(hostSeen, "127.0.0.1");
    EXPECT_THAT(enabledDuringView, ElementsAre(false, false, false, false, false, true));
    for (QWidget* w : std::initializer_list<QWidget*>{c().play, c().apply, c().loadDefault, c().exit, c().cameraId}) {
        EXPECT_TRUE(w->isEnabled());
    }
}

TEST_F(SettingsFormTest, AfterTheViewClosesAllSixteenRecordsAreSaved) {
    openForm();
    chooseCamera(5);
    form->setLiveViewRunner([](const CTavolinDlg::Records&, int position, QWidget*, CTavolinDlg::Closed closed) {
        // The view hands back speed and audio, here also after switching cameras.
        LiveViewChanges changes{};
        changes[static_cast<std::size_t>(position)].ptzSpeed = 5;
        changes[9].playAudio = 1;
        closed(changes);
    });
    c().play->click();

    const std::string text = fileText(path);
    for (int i = 0; i < kCameraCount; ++i) {
        EXPECT_THAT(text, HasSubstr("[" + std::to_string(i) + "]"));
    }
    EXPECT_EQ(stored(5).ptzSpeed, 5);
    EXPECT_EQ(stored(9).playAudio, 1);
    // The form still shows camera 6 as it was.
    EXPECT_EQ(form->currentCamera(), 5);
    EXPECT_FALSE(form->hasChanges());

    // Apply after the view puts speed 3 and audio off back.
    c().apply->click();
    EXPECT_EQ(stored(5).ptzSpeed, 3);
    EXPECT_EQ(stored(5).playAudio, 0);
}

TEST_F(SettingsFormTest, ExitAsksAboutEditsThenCloses) {
    openForm();
    form->show();
    retype(c().password, "secret");
    shell.scripted.answers = {PromptAnswer::Yes};
    c().exit->click();
    EXPECT_THAT(messageTexts(), ElementsAre("Setting Changed! Apply?", "OK"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(textOf(stored(0).password), "secret");
}

TEST_F(SettingsFormTest, EscapeIsExitAndReturnPressesNoButton) {
    openForm();
    form->show();
    retype(c().name, "Back");
    QTest::keyClick(c().name, Qt::Key_Return);
    EXPECT_TRUE(shell.scripted.messages.empty());
    EXPECT_TRUE(form->isVisible());

    QTest::keyClick(c().name, Qt::Key_Escape);
    EXPECT_THAT(messageTexts(), ElementsAre("Setting Changed! Apply?"));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(SettingsFormTest, FieldsHoldNoMoreThanTheirRecordFields) {
    openForm();
    retype(c().host, "127.000.000.001.extra");
    EXPECT_EQ(c().host->text(), "127.000.000.001");
    // Two-byte letters typed one by one: 31 fit in 63 bytes, the 32nd does not.
    retype(c().name, "");
    for (int i = 0; i < 40; ++i) c().name->insert(QString(QChar(0x00E4)));
    EXPECT_EQ(c().name->text(), QString(31, QChar(0x00E4)));
    QTest::keyClicks(c().name, "z");
    EXPECT_EQ(c().name->text().size(), 32);
    c().apply->click();
    EXPECT_EQ(textOf(stored(0).host), "127.000.000.001");
    EXPECT_EQ(QString::fromUtf8(textOf(stored(0).name).data()), QString(31, QChar(0x00E4)) + "z");
}

TEST_F(SettingsFormTest, FieldsAreNamedByTheirLabelsAndTabbedInLayoutOrder) {
    openForm();
    const std::pair<QWidget*, const char*> named[] = {{c().cameraId, "Camera ID"},
                                                      {c().streamingType, "Streaming Type"},
                                                      {c().name, "Name"},
                                                      {c().host, "Camera IP"},
                                                      {c().find, "Find..."},
                                                      {c().channel, "Channel NO."},
                                                      {c().subStream, "Sub URL"},
                                                      {c().registerPort, "Register Port"},
                                                      {c().controlPort, "Control Port"},
                                                      {c().streamingPort, "Streaming Port"},
                                                      {c().httpPort, "HTTP Port"},
                                                      {c().userName, "User Name"},
                                                      {c().password, "Password"},
                                                      {c().showName, "Display Camera Name"},
                                                      {c().showEvents, "Display MD/DI Event"},
                                                      {c().ptzSetting, "PTZ  Setting"},
                                                      {c().quadServer, "Quad Video Server"},
                                                      {c().switchGroup, "Add To Switch Group"},
                                                      {c().autoReconnect, "Auto Reconnect"},
                                                      {c().keepAspect, "Keep Aspect"},
                                                      {c().loadDefault, "Load Default"},
                                                      {c().apply, "Apply"},
                                                      {c().play, "Play"},
                                                      {c().wall, "Wall"},
                                                      {c().exit, "Exit"}};
    for (const auto& [widget, name] : named) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(a, nullptr);
        if (qobject_cast<QComboBox*>(widget)) {
            // A drop-down list's name is its item; its label is a relation.
            EXPECT_EQ(widget->accessibleName(), name);
            const auto labels = a->relations(QAccessible::Label);
            ASSERT_EQ(labels.size(), 1) << name;
            EXPECT_EQ(labels[0].first->text(QAccessible::Name), name);
        } else {
            EXPECT_EQ(a->text(QAccessible::Name), name);
        }
    }
    QWidget* w = c().cameraId;
    for (std::size_t i = 1; i < std::size(named); ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->parentWidget() != form.get()) w = w->nextInFocusChain();
        EXPECT_EQ(w, named[i].first) << "after " << named[i - 1].second;
    }
}

TEST_F(SettingsFormTest, KeepsItsUprightLayoutAtAnySizeAndOrientation) {
    openForm();
    const DialogUnits du(form->font());
    const QRect play = du.rect(85, 151, 48, 11);
    EXPECT_EQ(c().play->geometry(), play);
    EXPECT_EQ(form->size(), QSize(du.x(138), du.y(200)));
    EXPECT_LT(form->width(), form->height());

    shell.screen = QSize(1920, 1080);
    form->resize(900, 300);
    form->relayout();
    EXPECT_EQ(c().play->geometry(), play);
    shell.screen = QSize(480, 800);
    form->resize(480, 800);
    form->relayout();
    EXPECT_EQ(c().play->geometry(), play);
    EXPECT_EQ(c().name->geometry(), du.rect(41, 19, 94, 12));
}

TEST_F(SettingsFormTest, LabelsReadWholeBeforeTheirFields) {
    openForm();
    int labelled = 0;
    for (QLabel* label : form->findChildren<QLabel*>()) {
        const QWidget* field = label->buddy();
        if (field == nullptr) continue;
        ++labelled;
        EXPECT_EQ(field->accessibleName(), label->text());
        const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
        EXPECT_GE(label->width(), textWidth) << label->text().toStdString();
        // Either the whole text stands before the field, or the part the field
        // covers can still be read in the tool tip.
        if (label->x() + textWidth >= field->x()) {
            EXPECT_EQ(label->toolTip(), label->text()) << label->text().toStdString();
        }
    }
    EXPECT_EQ(labelled, 12);
}

} // namespace
} // namespace tavolin::ui
