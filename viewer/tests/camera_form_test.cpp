// The settings form's logic through a fake view: no widget, a real settings
// file in a temporary folder.
#include "form/camera_form.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <fstream>
#include <regex>
#include <vector>

#include "modal_helpers.h"
#include "shell/reason_log.h"

namespace tavolin::ui::test {
namespace {

// The form's controls as texts, and every question asked.
class FakeFormView final : public FormView {
public:
    FormTexts fields;
    std::vector<QString> asked;
    std::vector<QString> details;
    std::deque<PromptAnswer> answers;
    std::optional<FormField> focused;
    QString protocolFile;
    int32_t addressChosen = 0;
    int32_t controlChosen = 0, baudChosen = 0;
    int writes = 0;
    bool applyEnabled = true;
    CameraForm* form = nullptr;

    FormTexts texts() const override { return fields; }
    void writeForm() override {
        ++writes;
        for (int i = 0; i < kFormFieldCount; ++i)
            fields[static_cast<std::size_t>(i)] = form->text(static_cast<FormField>(i));
    }
    void focusField(FormField f) override { focused = f; }
    PromptAnswer ask(const QString& text, const QString&, PromptButtons buttons, const QString& detail) override {
        asked.push_back(text);
        details.push_back(detail);
        if (!answers.empty()) {
            const PromptAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    }
    QString chooseProtocolFile() override { return protocolFile; }
    int32_t askPtzAddress(int32_t) override { return addressChosen; }
    void askSerial(int32_t& control, int32_t& baud) override {
        control = controlChosen;
        baud = baudChosen;
    }
    void setApplyEnabled(bool enabled) override { applyEnabled = enabled; }
    void setEditing(bool) override {}
    QString& operator[](FormField f) { return fields[static_cast<std::size_t>(f)]; }
};

class CameraFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = folder.filePath(QStringLiteral("Tavolin.txt"));
        open();
    }
    void open() {
        form.reset();
        cameras = std::make_unique<CameraList>(path.toStdString());
        form = std::make_unique<CameraForm>(*cameras, view, &reasons);
        view.form = form.get();
        view.writeForm();
    }
    CameraRecord stored(int position) { return *CameraList(path.toStdString()).record(position); }

    QTemporaryDir folder;
    QString path;
    ReasonLog reasons;
    FakeFormView view;
    std::unique_ptr<CameraList> cameras;
    std::unique_ptr<CameraForm> form;
};

TEST_F(CameraFormTest, ShowsCameraOneAndApplyStoresTheTextsButNotTheChannel) {
    EXPECT_EQ(view[FormField::Name], QStringLiteral("Camera - 1"));
    EXPECT_FALSE(form->hasChanges());
    view[FormField::Name] = QStringLiteral("Gate");
    view[FormField::Channel] = QStringLiteral("4");
    view[FormField::ControlPort] = QStringLiteral(" +16001 ");
    form->textEdited();
    form->apply();
    EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("OK")});
    EXPECT_TRUE(view.applyEnabled);
    EXPECT_FALSE(form->hasChanges());
    const CameraRecord s = stored(0);
    EXPECT_EQ(textOf(s.name), "Gate");
    EXPECT_EQ(s.controlPort, 16001u);
    EXPECT_EQ(s.channel, 0u);
    EXPECT_EQ(form->shown().channel, 4u); // still shown
}

// A field that is no number stops the reading there: it and the fields
// after it keep their values, the user is told and taken to the field.
struct BadNumberCase {
    FormField field;
    QString text;
    QString message;
};

class BadNumberTest : public CameraFormTest, public ::testing::WithParamInterface<BadNumberCase> {};

TEST_P(BadNumberTest, KeepsThePreviousValuesFromThatFieldOn) {
    const CameraRecord before = form->shown();
    view[GetParam().field] = GetParam().text;
    view[FormField::HttpPort] = QStringLiteral("8080");
    view[FormField::Host] = QStringLiteral("10.0.0.9");
    form->apply();
    ASSERT_EQ(view.asked.size(), 2u);
    EXPECT_EQ(view.asked[0], GetParam().message);
    EXPECT_EQ(view.asked[1], QStringLiteral("OK"));
    EXPECT_EQ(view.focused, GetParam().field);
    const CameraRecord s = stored(0);
    EXPECT_EQ(textOf(s.host), "10.0.0.9");  // read before the bad field
    EXPECT_EQ(s.httpPort, before.httpPort); // read after it
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BadNumberTest,
    ::testing::Values(
        BadNumberCase{FormField::RegisterPort, QStringLiteral("80a"), QStringLiteral("Please enter an integer.")},
        BadNumberCase{FormField::ControlPort, QStringLiteral("2147483648"), QStringLiteral("Please enter an integer.")},
        BadNumberCase{FormField::StreamingPort, QStringLiteral(""), QStringLiteral("Please enter an integer.")},
        BadNumberCase{FormField::Channel, QStringLiteral("-1"), QStringLiteral("Please enter a positive integer.")}));

TEST_F(CameraFormTest, ApplyResetsSpeedAudioAndTheStreamingEngine) {
    CameraRecord r = *cameras->record(0);
    r.ptzSpeed = 5;
    r.playAudio = 1;
    r.useStreamingEngine = 1;
    setText(r.streamingEngineHost, "10.1.1.1");
    ASSERT_TRUE(cameras->saveRecord(r));
    open();
    form->apply();
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.ptzSpeed, 3);
    EXPECT_EQ(s.playAudio, 0);
    EXPECT_EQ(s.useStreamingEngine, 0);
    EXPECT_EQ(textOf(s.streamingEngineHost), "");
}

TEST_F(CameraFormTest, FailedSaveSaysFailWithTheReason) {
    form.reset();
    cameras.reset();
    // The settings file's place becomes a folder, so nothing can be written there.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Tavolin.txt")));
    open();
    form->textEdited();
    form->apply();
    EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("Fail")});
    EXPECT_FALSE(view.details.at(0).isEmpty());
    EXPECT_FALSE(form->hasChanges());
}

TEST_F(CameraFormTest, SwitchingAsksAboutEditsAndStoresThemUnderTheCameraShown) {
    view[FormField::Name] = QStringLiteral("Dropped");
    form->textEdited();
    form->switchCamera(3); // answered No
    EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("Setting Changed! Apply?")});
    EXPECT_EQ(textOf(stored(0).name), "Camera - 1");
    EXPECT_EQ(view[FormField::Name], QStringLiteral("Camera - 4"));
    view[FormField::Name] = QStringLiteral("Kept");
    form->textEdited();
    view.answers = {PromptAnswer::Yes};
    form->switchCamera(0);
    EXPECT_EQ(textOf(stored(3).name), "Kept");
    EXPECT_EQ(form->current(), 0);
}

TEST_F(CameraFormTest, LoadDefaultThenPlayAnsweredNoPlaysTheStoredRecord) {
    view[FormField::Host] = QStringLiteral("127.0.0.1");
    form->apply();
    form->loadDefault();
    EXPECT_TRUE(form->hasChanges());
    EXPECT_EQ(view[FormField::Host], QStringLiteral("192.168.0.100"));
    std::string hostPlayed;
    form->play(0, [&](const std::array<CameraRecord*, kCameraCount>& records, int position) {
        hostPlayed = std::string(textOf(records[static_cast<std::size_t>(position)]->host));
        LiveViewChanges changes{};
        changes[0].ptzSpeed = 4;
        changes[7].playAudio = 1;
        return changes;
    });
    EXPECT_EQ(hostPlayed, "127.0.0.1");
    // What the view changed is stored with every record after it.
    EXPECT_EQ(stored(0).ptzSpeed, 4);
    EXPECT_EQ(stored(7).playAudio, 1);
    EXPECT_EQ(textOf(stored(0).host), "127.0.0.1");
}

TEST_F(CameraFormTest, FlagsAreEditsAndAllButTheSwitchGroupWriteTheFormBack) {
    const int writes = view.writes;
    form->setFlag(FormFlag::ShowEvents, true);
    form->setFlag(FormFlag::SwitchGroup, true);
    form->setStreamingType(0);
    EXPECT_EQ(view.writes, writes + 1);
    EXPECT_TRUE(form->hasChanges());
    form->apply();
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.showEvents, 1);
    EXPECT_EQ(s.inSwitchGroup, 1);
    EXPECT_EQ(s.streamingType, 1);
}

TEST_F(CameraFormTest, PtzSettingTakesFileAddressAndSerialOrClearsThemWhenCancelled) {
    view.protocolFile = QStringLiteral("/opt/p/Pelco-D.ptz");
    view.addressChosen = 0; // nothing chosen: stored as 1
    view.controlChosen = 24;
    view.baudChosen = 8;
    form->ptzSettingClicked(true);
    form->apply();
    CameraRecord s = stored(0);
    EXPECT_EQ(s.ptzEnabled, 1);
    EXPECT_EQ(textOf(s.ptzProtocolFile), "/opt/p/Pelco-D.ptz");
    EXPECT_EQ(s.ptzAddress, 1);
    EXPECT_EQ(s.serialControl, 24);
    EXPECT_EQ(s.serialBaudRate, 8);

    // Cleared, the box keeps file, address and serial values for later.
    form->ptzSettingClicked(false);
    form->apply();
    s = stored(0);
    EXPECT_EQ(s.ptzEnabled, 0);
    EXPECT_EQ(s.serialControl, 24);
    EXPECT_EQ(textOf(s.ptzProtocolFile), "/opt/p/Pelco-D.ptz");

    view.protocolFile.clear();
    form->ptzSettingClicked(true); // cancelled
    EXPECT_EQ(form->shown().ptzEnabled, 0);
    EXPECT_EQ(form->shown().serialControl, 0);
    EXPECT_EQ(textOf(form->shown().ptzProtocolFile), "");
}

// A settings file through the form, Apply and the store to the file's bytes.
enum class Act { kEditPort, kEditName, kChoosePath, kOtherProgramWrites };

struct FileCase {
    const char* name;
    std::string file;
    Act act;
    QString path;                  // the protocol file chosen
    QString asked;                 // every message, joined by " | "
    const char* detail;            // a pattern of the last message's detail
    std::vector<std::string> kept; // texts the file holds then; none: it is left as it was
};

const std::string kLatin1 = "[0]\nCameraName=Caf\xE9\nCameraPassword=p\xE4ss\xFF\n";
const QString kRefused = QStringLiteral("The path of this protocol file is too long. | OK");
// "PTZProtocolFileName=" and a path of 233 bytes fill the file's 253 characters.
const QString kLongest = QStringLiteral("/") + QString(228, QLatin1Char('p')) + QStringLiteral(".ptz");

// clang-format off
const FileCase kFileCases[] = {
    {"TextsThatAreNotUtf8GoBackByteForByte", kLatin1, Act::kEditPort, {}, "OK", "", {kLatin1.substr(4), "HTTPPort=81"}},
    {"AnEditedTextIsStoredAsUtf8", kLatin1, Act::kEditName, {}, "OK", "", {"=Caf\xC3\xA8\nCameraPassword=p\xE4ss\xFF\n"}},
    {"ProtocolPathThatFillsItsLineIsStored", "", Act::kChoosePath, kLongest, "OK", "",
     {"PTZProtocolFileName=" + kLongest.toStdString() + "\n"}},
    {"ProtocolPathOneByteLongerIsRefused", "", Act::kChoosePath, kLongest + "x", kRefused, "", {"FileName=\n"}},
    {"ProtocolPathWithALineBreakIsRefused", "", Act::kChoosePath, "/a.ptz\n/b.ptz", kRefused, "", {"FileName=\n"}},
    {"VersionAnotherProgramWroteIsToldWithOk", "[0]\nk=1\n", Act::kOtherProgramWrites, {}, "OK",
     ".*Tavolin.txt was changed by another program.*kept in .*Tavolin.txt.[0-9]{8}-[0-9]{6}.bak.", {"k=1\n"}},
    {"FileWhoseLoadStoppedIsLeftAloneAndApplySaysWhy", "[0]\njunk\n", Act::kEditPort, {}, "Fail",
     "Line 2 of .*Tavolin.txt could not be read .*; the file will be left as it is.", {}},
};
// clang-format on

class SettingsFileThroughTheFormTest : public CameraFormTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(SettingsFileThroughTheFormTest, ApplyLosesNothing) {
    const FileCase& c = GetParam();
    const auto write = [&](const std::string& bytes) { return !!(std::ofstream(path.toStdString()) << bytes); };
    form.reset();
    cameras.reset(); // closing the fixture's list writes its file
    ASSERT_TRUE(c.file.empty() || write(c.file));
    open();
    EXPECT_EQ(view[FormField::Name] == QStringLiteral("Caf\u00E9"), c.file == kLatin1);
    ASSERT_TRUE(c.act != Act::kOtherProgramWrites || write("[0]\nCameraName=Theirs\n"));
    view[c.act == Act::kEditName ? FormField::Name : FormField::HttpPort] =
        c.act == Act::kEditName ? QStringLiteral("Caf\u00E8") : QStringLiteral("81");
    view.protocolFile = c.path;
    if (c.act == Act::kChoosePath) form->ptzSettingClicked(true);
    form->textEdited();
    form->apply();
    EXPECT_EQ(QStringList(view.asked.begin(), view.asked.end()).join(" | "), c.asked);
    EXPECT_TRUE(std::regex_match(view.details.back().toStdString(), std::regex(c.detail)))
        << view.details.back().toStdString();
    const std::string after = test::fileText(path);
    EXPECT_TRUE(!c.kept.empty() || after == c.file) << after;
    for (const std::string& text : c.kept) EXPECT_NE(after.find(text), std::string::npos) << text << " in\n" << after;
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileThroughTheFormTest, ::testing::ValuesIn(kFileCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavolin::ui::test
