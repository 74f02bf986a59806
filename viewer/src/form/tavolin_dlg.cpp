#include "form/tavolin_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QResizeEvent>
#include <utility>

#include "dialogs/find_camera_dlg.h"
#include "dialogs/ptz_address_id_dlg.h"
#include "dialogs/rs232_setting_dlg.h"
#include "shell/shell.h"
#include "widgets/compact_combo_style.h"
#include "widgets/dialog_units.h"
#include "widgets/form_layout.h"
#include "widgets/utf8_limit.h"

namespace tavolin::ui {

namespace {

const QString kProgramCaption = QStringLiteral("Tavolin");

// The form's size in dialog units, upright.
constexpr int kPortraitWidth = 138;
constexpr int kPortraitHeight = 200;

} // namespace

CTavolinDlg::CTavolinDlg(Shell& shell, std::string settingsPath, QWidget* parent, const ReasonLog* reasons)
    : QDialog(parent), shell_(shell), cameras_(std::move(settingsPath)),
      searchWindowMs_(CFindCameraDlg::kSearchWindowMs) {
    setWindowTitle(kProgramCaption);
    setFont(dialogFont());
    createControls();
    connectHandlers();

    setWindowIcon(QIcon(QStringLiteral(":/tavolin/app.png")));
    // Upright, the orientation the form is laid out for.
    shell_.setOrientation(0);
    for (int i = 1; i <= kCameraCount; ++i) c_.cameraId->addItem(QString::number(i));
    c_.cameraId->setCurrentIndex(0);
    for (const transport::StreamingType& item : streamingTypeItems()) {
        c_.streamingType->addItem(QString::fromLatin1(item.formText));
    }
    form_ = std::make_unique<CameraForm>(cameras_, static_cast<FormView&>(*this), reasons);
    writeForm();

    const DialogUnits du(font());
    resize(du.x(kPortraitWidth), du.y(kPortraitHeight));
    applyPortraitLayout();
}

CTavolinDlg::~CTavolinDlg() = default;

void CTavolinDlg::createControls() {
    const auto label = [this](std::size_t slot, const char* text) {
        labels_[slot] = new QLabel(QString::fromLatin1(text), this);
        return labels_[slot];
    };
    const auto edit = [this](QLabel* caption) {
        auto* e = new QLineEdit(this);
        nameByLabel(e, caption);
        return e;
    };
    const auto combo = [this](QLabel* caption) {
        auto* box = new QComboBox(this);
        nameByLabel(box, caption);
        return box;
    };
    const auto check = [this](const char* text) { return new QCheckBox(QString::fromLatin1(text), this); };
    const auto button = [this](const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        // The form has no default button: Return in a field presses nothing.
        b->setAutoDefault(false);
        return b;
    };

    comboStyle_ = new CompactComboStyle(DialogUnits(font()).baseWidth() + 4);
    comboStyle_->setParent(this);

    // Created in tab order, which is the order of the layout.
    c_.cameraId = combo(label(0, "Camera ID"));
    c_.streamingType = combo(label(1, "Streaming Type"));
    for (QComboBox* box : {c_.cameraId, c_.streamingType}) box->setStyle(comboStyle_);
    c_.name = edit(label(2, "Name"));
    c_.host = edit(label(3, "Camera IP"));
    c_.find = button("Find...");
    c_.channel = edit(label(4, "Channel NO."));
    c_.subStream = edit(label(11, "Sub URL"));
    c_.registerPort = edit(label(5, "Register Port"));
    c_.controlPort = edit(label(6, "Control Port"));
    c_.streamingPort = edit(label(7, "Streaming Port"));
    c_.httpPort = edit(label(8, "HTTP Port"));
    c_.userName = edit(label(9, "User Name"));
    c_.password = edit(label(10, "Password"));
    c_.password->setEchoMode(QLineEdit::Password);
    c_.showName = check("Display Camera Name");
    c_.showEvents = check("Display MD/DI Event");
    c_.ptzSetting = check("PTZ  Setting");
    c_.quadServer = check("Quad Video Server");
    c_.switchGroup = check("Add To Switch Group");
    c_.autoReconnect = check("Auto Reconnect");
    c_.keepAspect = check("Keep Aspect");
    c_.loadDefault = button("Load Default");
    c_.apply = button("Apply");
    c_.play = button("Play");
    c_.wall = button("Wall");
    c_.exit = button("Exit");
    c_.playback = button("Playback");
    c_.playback->hide();

    // Each text field holds no more than its record field.
    limitUtf8Bytes(c_.name, sizeof(CameraRecord::name) - 1);
    // An RTSP URL or ONVIF host has no limit while typed: the form refuses
    // one too long with a message rather than cutting it.
    ipv4HostLimit_ = limitUtf8Bytes(c_.host, static_cast<int>(hostLimit(1)));
    limitUtf8Bytes(c_.userName, sizeof(CameraRecord::userName) - 1);
    limitUtf8Bytes(c_.password, sizeof(CameraRecord::password) - 1);
    limitUtf8Bytes(c_.subStream, sizeof(CameraRecord::subStreamUrl) - 1);

    QWidget* order[] = {c_.cameraId,    c_.streamingType, c_.name,         c_.host,          c_.find,
                        c_.channel,     c_.subStream,     c_.registerPort, c_.controlPort,   c_.streamingPort,
                        c_.httpPort,    c_.userName,      c_.password,     c_.showName,      c_.showEvents,
                        c_.ptzSetting,  c_.quadServer,    c_.switchGroup,  c_.autoReconnect, c_.keepAspect,
                        c_.loadDefault, c_.apply,         c_.play,         c_.exit};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    // The wall's button comes right after Play.
    setTabOrder(c_.play, c_.wall);
    setTabOrder(c_.wall, c_.exit);
    // Playback, shown when offered, comes last.
    setTabOrder(c_.exit, c_.playback);
}

void CTavolinDlg::connectHandlers() {
    for (QLineEdit* e : {c_.name, c_.host, c_.channel, c_.subStream, c_.registerPort, c_.controlPort, c_.streamingPort,
                         c_.httpPort, c_.userName, c_.password}) {
        connect(e, &QLineEdit::textChanged, this, [this] {
            if (!writingForm_) form_->textEdited();
        });
    }
    connect(c_.cameraId, &QComboBox::activated, this, [this](int index) { form_->switchCamera(index); });
    connect(c_.streamingType, &QComboBox::activated, this, [this](int index) { form_->setStreamingType(index); });
    connect(c_.find, &QPushButton::clicked, this, [this] { form_->findCamera(); });
    const auto flag = [this](QCheckBox* box, FormFlag which) {
        connect(box, &QCheckBox::clicked, this, [this, box, which] { form_->setFlag(which, box->isChecked()); });
    };
    flag(c_.showName, FormFlag::ShowName);
    flag(c_.showEvents, FormFlag::ShowEvents);
    flag(c_.quadServer, FormFlag::QuadServer);
    flag(c_.switchGroup, FormFlag::SwitchGroup);
    flag(c_.autoReconnect, FormFlag::AutoReconnect);
    flag(c_.keepAspect, FormFlag::KeepAspect);
    connect(c_.ptzSetting, &QCheckBox::clicked, this, [this] { form_->ptzSettingClicked(c_.ptzSetting->isChecked()); });
    connect(c_.loadDefault, &QPushButton::clicked, this, [this] { form_->loadDefault(); });
    connect(c_.apply, &QPushButton::clicked, this, [this] { form_->apply(); });
    connect(c_.play, &QPushButton::clicked, this, [this] {
        if (!runLiveView_) return form_->play(c_.cameraId->currentIndex(), {});
        form_->play(c_.cameraId->currentIndex(), [this](const Records& records, int position, Closed closed) {
            runLiveView_(records, position, this, std::move(closed));
        });
    });
    // The wall runs the way Play runs the live view: unsaved edits offered
    // first, every record saved after it.
    connect(c_.wall, &QPushButton::clicked, this, [this] {
        if (!runWall_) return form_->play(c_.cameraId->currentIndex(), {});
        form_->play(c_.cameraId->currentIndex(), [this](const Records& records, int, Closed closed) {
            runWall_(records, cameras_, this, std::move(closed));
        });
    });
    connect(c_.exit, &QPushButton::clicked, this, [this] { exitForm(); });
    // Playback runs the way Play runs the live view: unsaved edits offered
    // first, the form back once the window has closed.
    connect(c_.playback, &QPushButton::clicked, this, [this] {
        if (!openPlayback_) return;
        form_->play(c_.cameraId->currentIndex(), [this](const Records& records, int position, Closed closed) {
            openPlayback_(*records[static_cast<std::size_t>(position)], this,
                          [closed = std::move(closed)] { closed({}); });
        });
    });
}

void CTavolinDlg::setPlaybackOpener(PlaybackOpener opener) {
    openPlayback_ = std::move(opener);
    c_.playback->setVisible(static_cast<bool>(openPlayback_));
}

void CTavolinDlg::applyPortraitLayout() {
    const DialogUnits du(font());
    struct LabelAt {
        int x, y;
    };
    // The last, beside the channel, is the RTSP second stream's.
    constexpr LabelAt kLabels[] = {{4, 6},  {67, 6},  {4, 20},  {4, 34}, {4, 49},  {4, 63},
                                   {4, 77}, {67, 63}, {67, 77}, {4, 91}, {4, 103}, {69, 49}};
    for (std::size_t i = 0; i < labels_.size(); ++i) placeLabel(labels_[i], du, kLabels[i].x, kLabels[i].y);

    placeComboBox(c_.cameraId, du, 41, 4, 24, 103);
    // Wide enough for "ONVIF"; the label before it is set narrower to fit.
    placeComboBox(c_.streamingType, du, 104, 4, 31, 65);
    c_.name->setGeometry(du.rect(41, 19, 94, 12));
    c_.host->setGeometry(du.rect(41, 33, 53, 12));
    c_.find->setGeometry(du.rect(97, 33, 38, 12));
    c_.channel->setGeometry(du.rect(41, 47, 25, 12));
    c_.subStream->setGeometry(du.rect(97, 47, 38, 12));
    c_.registerPort->setGeometry(du.rect(41, 61, 25, 12));
    c_.controlPort->setGeometry(du.rect(41, 75, 25, 12));
    c_.streamingPort->setGeometry(du.rect(110, 60, 25, 12));
    c_.httpPort->setGeometry(du.rect(110, 74, 25, 12));
    c_.userName->setGeometry(du.rect(41, 89, 94, 12));
    c_.password->setGeometry(du.rect(41, 103, 94, 12));
    c_.showName->setGeometry(du.rect(5, 120, 88, 10));
    c_.showEvents->setGeometry(du.rect(5, 131, 79, 10));
    c_.ptzSetting->setGeometry(du.rect(5, 142, 59, 10));
    c_.quadServer->setGeometry(du.rect(5, 153, 74, 10));
    c_.switchGroup->setGeometry(du.rect(5, 164, 77, 10));
    c_.autoReconnect->setGeometry(du.rect(5, 175, 70, 10));
    c_.keepAspect->setGeometry(du.rect(5, 186, 60, 10));
    c_.loadDefault->setGeometry(du.rect(85, 126, 48, 11));
    c_.apply->setGeometry(du.rect(85, 138, 48, 11));
    c_.play->setGeometry(du.rect(85, 151, 48, 11));
    c_.exit->setGeometry(du.rect(85, 164, 48, 11));
    c_.wall->setGeometry(du.rect(85, 177, 48, 11));
    c_.playback->setGeometry(du.rect(85, 189, 48, 11));
    for (QLabel* label : labels_) fitLabelBeforeBuddy(label);
}

void CTavolinDlg::applyLandscapeLayout() {
    // The sideways layout places no control, so the controls stay where the
    // upright layout put them: the form keeps its portrait arrangement on a
    // screen wider than high, as a desktop's usually is.
}

void CTavolinDlg::relayout() {
    const QSize screen = shell_.screenSize(this);
    if (screen.width() >= screen.height()) {
        applyLandscapeLayout();
    } else {
        applyPortraitLayout();
    }
}

void CTavolinDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    relayout();
}

QLineEdit* CTavolinDlg::field(FormField which) const {
    switch (which) {
    case FormField::Host: return c_.host;
    case FormField::Channel: return c_.channel;
    case FormField::RegisterPort: return c_.registerPort;
    case FormField::ControlPort: return c_.controlPort;
    case FormField::StreamingPort: return c_.streamingPort;
    case FormField::HttpPort: return c_.httpPort;
    case FormField::UserName: return c_.userName;
    case FormField::Password: return c_.password;
    case FormField::Name: return c_.name;
    case FormField::SubStream: return c_.subStream;
    }
    return c_.name;
}

QCheckBox* CTavolinDlg::flagBox(FormFlag which) const {
    switch (which) {
    case FormFlag::ShowName: return c_.showName;
    case FormFlag::ShowEvents: return c_.showEvents;
    case FormFlag::QuadServer: return c_.quadServer;
    case FormFlag::SwitchGroup: return c_.switchGroup;
    case FormFlag::AutoReconnect: return c_.autoReconnect;
    case FormFlag::KeepAspect: return c_.keepAspect;
    }
    return c_.showName;
}

void CTavolinDlg::showTypeControls() {
    const CameraForm& form = *form_;
    for (int i = 0; i < kFormFieldCount; ++i) {
        const auto which = static_cast<FormField>(i);
        field(which)->setEnabled(form.fieldEnabled(which));
    }
    for (FormFlag which : {FormFlag::QuadServer, FormFlag::KeepAspect}) {
        flagBox(which)->setEnabled(form.flagEnabled(which));
        flagBox(which)->setChecked(form.flagChecked(which));
    }
    c_.ptzSetting->setEnabled(form.ptzEnabled());
    // A longer address left from RTSP or ONVIF stays editable (a limit would
    // refuse every edit that leaves it too long); Apply refuses it with a message.
    const QString host = c_.host->text();
    const bool ipv4Fits = cutToUtf8Bytes(host, static_cast<int>(hostLimit(1))) == host;
    c_.host->setValidator(streamsOverRtsp(form.shown().streamingType) || !ipv4Fits ? nullptr : ipv4HostLimit_);
}

FormTexts CTavolinDlg::texts() const {
    FormTexts all;
    for (int i = 0; i < kFormFieldCount; ++i)
        all[static_cast<std::size_t>(i)] = field(static_cast<FormField>(i))->text();
    return all;
}

void CTavolinDlg::writeForm() {
    writingForm_ = true;
    for (int i = 0; i < kFormFieldCount; ++i) {
        const auto which = static_cast<FormField>(i);
        field(which)->setText(form_->text(which));
    }
    const CameraRecord& shown = form_->shown();
    for (FormFlag which : {FormFlag::ShowName, FormFlag::ShowEvents, FormFlag::QuadServer, FormFlag::SwitchGroup,
                           FormFlag::AutoReconnect, FormFlag::KeepAspect}) {
        flagBox(which)->setChecked(form_->flagChecked(which));
    }
    c_.ptzSetting->setChecked(shown.ptzEnabled != 0);
    c_.streamingType->setCurrentIndex(streamingTypeItem(shown.streamingType));
    showTypeControls();
    writingForm_ = false;
}

void CTavolinDlg::focusField(FormField which) {
    QLineEdit* edit = field(which);
    edit->setFocus();
    edit->selectAll();
}

void CTavolinDlg::ask(const Prompt& prompt, PromptAnswered answered) {
    shell_.prompts().showMessage(this, prompt, std::move(answered));
}

void CTavolinDlg::chooseProtocolFile(std::function<void(const QString& path)> chosen) {
    shell_.prompts().openFile(this, QStringLiteral("SELECTION - PTZ Protocol File "),
                              QStringLiteral("PTZ Protocol Files (*.ptz)"), shell_.protocolFolder(), std::move(chosen));
}

namespace {

// Opens `dialog` modal to its parent, and hands it to `closed` once it has
// closed, however that was; it is deleted after.
template <typename Dialog>
void openDialog(Dialog* dialog, QObject* context, std::function<void(Dialog& dialog, int result)> closed) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, context,
                     [dialog, closed = std::move(closed)](int result) { closed(*dialog, result); });
    dialog->open();
}

} // namespace

void CTavolinDlg::askPtzAddress(int32_t address, std::function<void(int32_t address)> chosen) {
    auto* dialog = new CPTZAddressIDDlg(this);
    dialog->setAddress(address);
    openDialog<CPTZAddressIDDlg>(
        dialog, this, [chosen = std::move(chosen)](CPTZAddressIDDlg& closed, int) { chosen(closed.address()); });
}

void CTavolinDlg::askSerial(int32_t controlCode, int32_t baudRateIndex,
                            std::function<void(int32_t controlCode, int32_t baudRateIndex)> chosen) {
    auto* dialog = new CRS232SettingDlg(this);
    dialog->setValues(static_cast<uint8_t>(controlCode), static_cast<uint8_t>(baudRateIndex));
    openDialog<CRS232SettingDlg>(dialog, this, [chosen = std::move(chosen)](CRS232SettingDlg& closed, int) {
        chosen(closed.controlCode(), closed.baudRateIndex());
    });
}

QString CTavolinDlg::shippedProtocolFile(const QString& name) const {
    const QString path = QDir(shell_.protocolFolder()).filePath(name);
    return QFileInfo::exists(path) ? path : QString();
}

void CTavolinDlg::findCamera(std::function<void(const std::optional<FoundCamera>& found)> chosen) {
    auto* dialog = new CFindCameraDlg(this, searchWindowMs_);
    openDialog<CFindCameraDlg>(dialog, this, [chosen = std::move(chosen)](CFindCameraDlg& closed, int result) {
        chosen(result == QDialog::Accepted ? closed.chosen() : std::nullopt);
    });
}

void CTavolinDlg::setApplyEnabled(bool enabled) { c_.apply->setEnabled(enabled); }

void CTavolinDlg::setEditing(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{c_.play, c_.apply, c_.loadDefault, c_.exit, c_.cameraId, c_.playback}) {
        w->setEnabled(enabled);
    }
}

void CTavolinDlg::reject() {
    // Escape and the close box end the program the way "Exit" does.
    exitForm();
}

void CTavolinDlg::exitForm() {
    form_->exit([form = QPointer<CTavolinDlg>(this)] {
        if (form) form->QDialog::accept();
    });
}

} // namespace tavolin::ui
