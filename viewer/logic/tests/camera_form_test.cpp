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
#include <set>
#include <vector>

#include "file_text.h"
#include "platform/network_guard.h"
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
    bool editing = true;
    QString shippedFolder;            // where shipped protocol files are; empty: none shipped
    std::optional<FoundCamera> found; // what the search for cameras gives
    int fileDialogs = 0, addressDialogs = 0, serialDialogs = 0, searches = 0;
    CameraForm* form = nullptr;

    FormTexts texts() const override { return fields; }
    void showTypeControls() override {}
    void writeForm() override {
        ++writes;
        for (int i = 0; i < kFormFieldCount; ++i)
            fields[static_cast<std::size_t>(i)] = form->text(static_cast<FormField>(i));
    }
    void focusField(FormField f) override { focused = f; }
    // Answered at once from `answers` (a user who answers straight away), or
    // with `hold` kept up until the test answers.
    void ask(const Prompt& prompt, PromptAnswered answered) override {
        asked.push_back(prompt.text);
        details.push_back(prompt.detail);
        PromptAnswer answer = prompt.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (hold) {
            up.emplace_back(answer, std::move(answered));
        } else if (answered) {
            answered(answer);
        }
    }
    void answerNext() {
        ASSERT_FALSE(up.empty());
        auto [answer, answered] = std::move(up.front());
        up.pop_front();
        if (answered) answered(answer);
    }
    bool hold = false;
    std::deque<std::pair<PromptAnswer, PromptAnswered>> up;
    void chooseProtocolFile(std::function<void(const QString&)> chosen) override {
        ++fileDialogs;
        chosen(protocolFile);
    }
    void askPtzAddress(int32_t, std::function<void(int32_t)> chosen) override {
        ++addressDialogs;
        chosen(addressChosen);
    }
    QString shippedProtocolFile(const QString& name) const override {
        return shippedFolder.isEmpty() ? QString() : shippedFolder + QStringLiteral("/") + name;
    }
    void findCamera(std::function<void(const std::optional<FoundCamera>&)> chosen) override {
        ++searches;
        chosen(found);
    }
    void askSerial(int32_t, int32_t, std::function<void(int32_t, int32_t)> chosen) override {
        ++serialDialogs;
        chosen(controlChosen, baudChosen);
    }
    void setApplyEnabled(bool enabled) override { applyEnabled = enabled; }
    void setEditing(bool enabled) override { editing = enabled; }
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
    CameraForm::Closed viewClosed;
    form->play(0, [&](const CameraForm::Records& records, int position, CameraForm::Closed closed) {
        hostPlayed = std::string(textOf(records[static_cast<std::size_t>(position)]->host));
        viewClosed = std::move(closed);
    });
    EXPECT_EQ(hostPlayed, "127.0.0.1");
    // The form takes no edits until the view has closed.
    EXPECT_FALSE(view.editing);
    ASSERT_TRUE(viewClosed);
    LiveViewChanges changes{};
    changes[0].ptzSpeed = 4;
    changes[7].playAudio = 1;
    EXPECT_EQ(stored(0).ptzSpeed, 3);
    viewClosed(changes);
    EXPECT_TRUE(view.editing);
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
    form->setFlag(FormFlag::AutoReconnect, true);
    form->setFlag(FormFlag::KeepAspect, true);
    form->apply();
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.showEvents, 1);
    EXPECT_EQ(s.inSwitchGroup, 1);
    EXPECT_EQ(s.streamingType, 1);
    EXPECT_EQ(s.autoReconnect, 1);
    EXPECT_EQ(s.keepAspect, 1);
}

// What each "Streaming Type" item uses. A field the type does not use is
// disabled: it is not read (so nothing typed there stops an Apply) and keeps
// its value, in the file and for a switch back.
struct TypeCase {
    const char* name;
    int item;
    int32_t type;
    std::set<FormField> unused;
    bool quadAndAspectChoosable; // RTSP and ONVIF cameras always keep the aspect
    bool ptz;
};

const TypeCase kTypeCases[] = {
    {"Version1", 0, 1, {FormField::SubStream}, true, true},
    {"Version2", 1, 2, {FormField::SubStream}, true, true},
    {"Rtsp",
     2,
     4,
     {FormField::Channel, FormField::RegisterPort, FormField::ControlPort, FormField::HttpPort},
     false,
     false},
    {"Onvif",
     3,
     5,
     {FormField::RegisterPort, FormField::ControlPort, FormField::StreamingPort, FormField::SubStream},
     false,
     true},
};

class StreamingTypeTest : public CameraFormTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(StreamingTypeTest, UnusedFieldsAreDisabledAndKeepTheirValues) {
    const TypeCase& c = GetParam();
    const std::vector<uint32_t> ports = {3, 7000, 7001, 7002, 8080};
    for (int i = 0; i < 5; ++i) view[static_cast<FormField>(i + 1)] = QString::number(ports[i]);
    const QString subStream = QStringLiteral("rtsp://127.0.0.1/sub");
    view[FormField::SubStream] = subStream;
    form->setStreamingType(c.item);
    EXPECT_EQ(form->shown().streamingType, c.type);
    for (int i = 0; i < kFormFieldCount; ++i) {
        const auto field = static_cast<FormField>(i);
        EXPECT_EQ(form->fieldEnabled(field), c.unused.count(field) == 0) << "field " << i;
        if (c.unused.count(field) != 0) view[field] = QStringLiteral("junk"); // not read
    }
    EXPECT_EQ(form->flagEnabled(FormFlag::QuadServer), c.quadAndAspectChoosable);
    EXPECT_EQ(form->flagEnabled(FormFlag::KeepAspect), c.quadAndAspectChoosable);
    EXPECT_EQ(form->flagChecked(FormFlag::KeepAspect), !c.quadAndAspectChoosable);
    EXPECT_EQ(form->ptzEnabled(), c.ptz);

    form->apply();
    EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("OK")});
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.streamingType, c.type);
    EXPECT_EQ((std::vector<uint32_t>{s.registerPort, s.controlPort, s.streamingPort, s.httpPort}),
              std::vector<uint32_t>(ports.begin() + 1, ports.end()));
    EXPECT_EQ(s.keepAspect, 0); // shown on, not stored
    // Switched from 2.0, "Auto Reconnect" takes the new type's default.
    EXPECT_EQ(s.autoReconnect, c.type == 4 || c.type == 5 ? 1 : 0);
    // Only an ONVIF camera keeps its channel (its profile) past Apply.
    EXPECT_EQ(cameras->record(0)->channel, c.type == 5 ? 3u : 0u);
    EXPECT_EQ(QString::fromUtf8(textOf(s.subStreamUrl)), c.type == 4 ? subStream : QString());
}

INSTANTIATE_TEST_SUITE_P(Items, StreamingTypeTest, ::testing::ValuesIn(kTypeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CameraFormTest, AStoredTypeThreeIsKeptUntilAnItemIsChosen) {
    CameraRecord r = *cameras->record(0);
    r.streamingType = 3;
    ASSERT_TRUE(cameras->saveRecord(r));
    open();
    EXPECT_EQ(streamingTypeItem(form->shown().streamingType), -1);
    form->textEdited();
    form->apply();
    EXPECT_EQ(stored(0).streamingType, 3);
}

// "Camera IP" holds a URL or host name of 287 bytes for RTSP and ONVIF, a
// dotted address for 1.0 and 2.0. A longer one is refused with a message,
// the previous host stays and the other fields are read on.
TEST_F(CameraFormTest, HostLongerThanTheTypeHoldsIsRefusedWithAMessage) {
    const struct {
        int item, bytes;
        bool taken;
    } cases[] = {{2, 287, true}, {2, 288, false}, {1, 15, true}, {1, 16, false}, {3, 288, false}};
    for (const auto& c : cases) {
        view[FormField::Host] = QStringLiteral("127.0.0.1");
        form->setStreamingType(c.item);
        view.asked.clear();
        view.details.clear();
        const QString host = QStringLiteral("10.0.0.") + QString(c.bytes - 7, QLatin1Char('1'));
        view[FormField::Host] = host;
        view[FormField::Name] = QString::number(c.bytes);
        form->apply();
        const CameraRecord s = stored(0);
        EXPECT_EQ(textOf(s.name), std::to_string(c.bytes));
        EXPECT_EQ(std::string(textOf(s.host)), c.taken ? host.toStdString() : "127.0.0.1") << c.bytes;
        if (c.taken) {
            EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("OK")});
            continue;
        }
        ASSERT_EQ(view.asked.size(), 2u);
        EXPECT_EQ(view.asked[0], QStringLiteral("The camera address is too long."));
        EXPECT_TRUE(view.details[0].contains(QString::number(hostLimit(form->shown().streamingType))));
        EXPECT_EQ(view.focused, FormField::Host);
    }
}

TEST_F(CameraFormTest, ACameraChosenFromTheSearchFillsTheShownRecordAsOnvif) {
    view[FormField::Name] = QStringLiteral("Porch");
    form->findCamera(); // cancelled
    EXPECT_FALSE(form->hasChanges());
    view.found = FoundCamera{{}, {}, {}, "127.0.0.1", 8081};
    form->findCamera();
    form->apply();
    const CameraRecord s = stored(0);
    EXPECT_EQ(s.streamingType, 5);
    EXPECT_EQ(textOf(s.host), "127.0.0.1");
    EXPECT_EQ(s.httpPort, 8081u);
    EXPECT_EQ(s.autoReconnect, 1);
    EXPECT_EQ(textOf(s.name), "Porch"); // typed before the search, kept
}

TEST_F(CameraFormTest, PtzOfAnOnvifCameraTakesTheShippedFileAndAsksNothing) {
    view.shippedFolder = QStringLiteral("/opt/tavolin/protocol");
    form->setStreamingType(3);
    form->ptzSettingClicked(true);
    EXPECT_EQ(view.fileDialogs + view.addressDialogs + view.serialDialogs, 0);
    EXPECT_EQ(form->shown().ptzEnabled, 1);
    EXPECT_EQ(textOf(form->shown().ptzProtocolFile), "/opt/tavolin/protocol/ONVIF.ptz");
    // Without the shipped file, the file dialog as for any camera.
    view.shippedFolder.clear();
    form->ptzSettingClicked(true);
    EXPECT_EQ(view.fileDialogs, 1);
}

TEST(FoundCameraTest, HostIsWhereTheAnswerCameFromAndThePortThatOfItsService) {
    const struct {
        std::vector<std::string> xaddrs;
        uint32_t port;
    } cases[] = {{{"http://10.9.9.9:9000/d", "http://127.0.0.1:8081/d"}, 8081}, // the answering host's first
                 {{"http://10.9.9.9:9000/d"}, 9000},                            // an inner address: its port only
                 {{"not an address", "rtsp://127.0.0.1:554/"}, 80}};
    for (const auto& c : cases) {
        const FoundCamera found = foundCameraOf({"urn:uuid:1", "127.0.0.1", "Gate", "Dome", c.xaddrs});
        EXPECT_EQ(found.host, "127.0.0.1");
        EXPECT_EQ(found.httpPort, c.port) << c.xaddrs.front();
    }
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

// The flow goes on only once a message has been read: a bad port, the
// question about the edits and the save's result come one after the other,
// and the live view opens after the last.
TEST_F(CameraFormTest, PlayGoesOnOnlyAsEachMessageIsAnswered) {
    view.hold = true;
    view[FormField::RegisterPort] = QStringLiteral("letters");
    view[FormField::Host] = QStringLiteral("10.0.0.9"); // read before the port
    form->textEdited();
    view.answers = {PromptAnswer::Ok, PromptAnswer::Yes, PromptAnswer::Ok};
    bool opened = false;
    form->play(0, [&](const CameraForm::Records&, int, CameraForm::Closed) { opened = true; });
    EXPECT_EQ(view.asked, std::vector<QString>{QStringLiteral("Please enter an integer.")});
    view.answerNext();
    EXPECT_EQ(view.asked.back(), QStringLiteral("Setting Changed! Apply?"));
    EXPECT_EQ(textOf(stored(0).host), "192.168.0.100");
    view.answerNext();
    EXPECT_EQ(view.asked.back(), QStringLiteral("OK"));
    EXPECT_EQ(textOf(stored(0).host), "10.0.0.9");
    EXPECT_FALSE(opened);
    view.answerNext();
    EXPECT_TRUE(opened);
    EXPECT_EQ(view.asked.size(), 3u);
}

} // namespace
} // namespace tavolin::ui::test
