#include "form/tavolin_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <limits>
#include <utility>

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
const QString kApplyCaption = QStringLiteral("Apply Setting");

// The form's size in dialog units, upright.
constexpr int kPortraitWidth = 138;
constexpr int kPortraitHeight = 185;

template <std::size_t N>
QString fromField(const char (&field)[N]) {
  const std::string_view text = textOf(field);
  // A text from the file may not be valid UTF-8; whatever it shows, it must
  // still fit the field when taken back.
  return cutToUtf8Bytes(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), static_cast<int>(N - 1));
}

template <std::size_t N>
void toField(char (&field)[N], const QString& text) {
  const QByteArray bytes = cutToUtf8Bytes(text, static_cast<int>(N - 1)).toUtf8();
  setText(field, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// A number as the form's number fields take it: blanks around it allowed,
// then an optional sign and at least one digit, nothing else.
bool parseNumber(const QString& text, bool allowNegative, long long low, long long high, long long& out) {
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  if (negative && !allowNegative) return false;
  if (i == t.size()) return false;
  long long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') return false;
    value = value * 10 + (t[i].unicode() - u'0');
    if (value > high - low + 1) return false;  // far out of range; stop before overflow
  }
  if (negative) value = -value;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace

CTavolinDlg::CTavolinDlg(Shell& shell, std::string settingsPath, QWidget* parent)
    : QDialog(parent), shell_(shell), cameras_(std::move(settingsPath)) {
  setWindowTitle(kProgramCaption);
  setFont(dialogFont());
  createControls();
  connectHandlers();

  setWindowIcon(QIcon(QStringLiteral(":/tavolin/app.png")));
  // Upright, the orientation the form is laid out for.
  shell_.setOrientation(0);
  for (int i = 1; i <= kCameraCount; ++i) c_.cameraId->addItem(QString::number(i));
  c_.cameraId->setCurrentIndex(0);
  c_.streamingType->addItem(QStringLiteral("1.0"));
  c_.streamingType->addItem(QStringLiteral("2.0"));
  streamingType_ = 2;
  current_ = 0;
  showRecord(*cameras_.record(0));

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
  c_.channel = edit(label(4, "Channel NO."));
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
  c_.loadDefault = button("Load Default");
  c_.apply = button("Apply");
  c_.play = button("Play");
  c_.exit = button("Exit");

  // Each text field holds no more than its record field.
  limitUtf8Bytes(c_.name, sizeof(CameraRecord::name) - 1);
  limitUtf8Bytes(c_.host, sizeof(CameraRecord::host) - 1);
  limitUtf8Bytes(c_.userName, sizeof(CameraRecord::userName) - 1);
  limitUtf8Bytes(c_.password, sizeof(CameraRecord::password) - 1);

  QWidget* order[] = {c_.cameraId,     c_.streamingType, c_.name,          c_.host,       c_.channel,
                      c_.registerPort, c_.controlPort,   c_.streamingPort, c_.httpPort,   c_.userName,
                      c_.password,     c_.showName,      c_.showEvents,    c_.ptzSetting, c_.quadServer,
                      c_.switchGroup,  c_.loadDefault,   c_.apply,         c_.play,       c_.exit};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CTavolinDlg::connectHandlers() {
  for (QLineEdit* e : {c_.name, c_.host, c_.channel, c_.registerPort, c_.controlPort, c_.streamingPort, c_.httpPort,
                       c_.userName, c_.password}) {
    connect(e, &QLineEdit::textChanged, this, [this] {
      if (!writingForm_) changed_ = 1;
    });
  }
  connect(c_.cameraId, &QComboBox::activated, this, &CTavolinDlg::onCameraSwitch);
  connect(c_.streamingType, &QComboBox::activated, this, &CTavolinDlg::onStreamingType);
  connect(c_.showName, &QCheckBox::clicked, this, [this] { onFlagClicked(c_.showName, showName_, true); });
  connect(c_.showEvents, &QCheckBox::clicked, this, [this] { onFlagClicked(c_.showEvents, showEvents_, true); });
  connect(c_.quadServer, &QCheckBox::clicked, this, [this] { onFlagClicked(c_.quadServer, quadServer_, true); });
  connect(c_.switchGroup, &QCheckBox::clicked, this, [this] { onFlagClicked(c_.switchGroup, inSwitchGroup_, false); });
  connect(c_.ptzSetting, &QCheckBox::clicked, this, &CTavolinDlg::onPtzSetting);
  connect(c_.loadDefault, &QPushButton::clicked, this, &CTavolinDlg::onLoadDefault);
  connect(c_.apply, &QPushButton::clicked, this, &CTavolinDlg::onApply);
  connect(c_.play, &QPushButton::clicked, this, &CTavolinDlg::onPlay);
  connect(c_.exit, &QPushButton::clicked, this, &CTavolinDlg::onExit);
}

void CTavolinDlg::applyPortraitLayout() {
  const DialogUnits du(font());
  struct LabelAt {
    int x, y;
  };
  constexpr LabelAt kLabels[] = {{4, 6},  {67, 6},  {4, 20},  {4, 34}, {4, 49}, {4, 63},
                                 {4, 77}, {67, 63}, {67, 77}, {4, 91}, {4, 103}};
  for (std::size_t i = 0; i < labels_.size(); ++i) placeLabel(labels_[i], du, kLabels[i].x, kLabels[i].y);

  placeComboBox(c_.cameraId, du, 41, 4, 24, 103);
  placeComboBox(c_.streamingType, du, 113, 4, 22, 65);
  c_.name->setGeometry(du.rect(41, 19, 94, 12));
  c_.host->setGeometry(du.rect(41, 33, 53, 12));
  c_.channel->setGeometry(du.rect(41, 47, 25, 12));
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
  c_.loadDefault->setGeometry(du.rect(85, 126, 48, 11));
  c_.apply->setGeometry(du.rect(85, 138, 48, 11));
  c_.play->setGeometry(du.rect(85, 151, 48, 11));
  c_.exit->setGeometry(du.rect(85, 164, 48, 11));
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

bool CTavolinDlg::readInteger(QLineEdit* edit, int32_t& value) {
  long long v = 0;
  if (parseNumber(edit->text(), true, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), v)) {
    value = static_cast<int32_t>(v);
    return true;
  }
  shell_.prompts().showMessage(this, QStringLiteral("Please enter an integer."), kProgramCaption, PromptButtons::Ok);
  edit->setFocus();
  edit->selectAll();
  return false;
}

bool CTavolinDlg::readUnsigned(QLineEdit* edit, uint32_t& value) {
  long long v = 0;
  if (parseNumber(edit->text(), false, 0, std::numeric_limits<uint32_t>::max(), v)) {
    value = static_cast<uint32_t>(v);
    return true;
  }
  shell_.prompts().showMessage(this, QStringLiteral("Please enter a positive integer."), kProgramCaption,
                               PromptButtons::Ok);
  edit->setFocus();
  edit->selectAll();
  return false;
}

bool CTavolinDlg::readForm() {
  // A field that does not hold a number stops the reading there: it and the
  // fields after it keep the values they had, and the action goes on.
  host_ = c_.host->text();
  if (!readUnsigned(c_.channel, channel_)) return false;
  if (!readInteger(c_.registerPort, registerPort_)) return false;
  if (!readInteger(c_.controlPort, controlPort_)) return false;
  if (!readInteger(c_.streamingPort, streamingPort_)) return false;
  if (!readInteger(c_.httpPort, httpPort_)) return false;
  userName_ = c_.userName->text();
  password_ = c_.password->text();
  name_ = c_.name->text();
  return true;
}

void CTavolinDlg::writeForm() {
  writingForm_ = true;
  c_.name->setText(name_);
  c_.host->setText(host_);
  c_.channel->setText(QString::number(channel_));
  c_.registerPort->setText(QString::number(registerPort_));
  c_.controlPort->setText(QString::number(controlPort_));
  c_.streamingPort->setText(QString::number(streamingPort_));
  c_.httpPort->setText(QString::number(httpPort_));
  c_.userName->setText(userName_);
  c_.password->setText(password_);
  c_.showName->setChecked(showName_ != 0);
  c_.showEvents->setChecked(showEvents_ != 0);
  c_.ptzSetting->setChecked(ptzEnabled_ != 0);
  c_.quadServer->setChecked(quadServer_ != 0);
  c_.switchGroup->setChecked(inSwitchGroup_ != 0);
  writingForm_ = false;
}

void CTavolinDlg::showRecord(const CameraRecord& record) {
  name_ = fromField(record.name);
  host_ = fromField(record.host);
  channel_ = record.channel;
  registerPort_ = static_cast<int32_t>(record.registerPort);
  controlPort_ = static_cast<int32_t>(record.controlPort);
  streamingPort_ = static_cast<int32_t>(record.streamingPort);
  httpPort_ = static_cast<int32_t>(record.httpPort);
  userName_ = fromField(record.userName);
  password_ = fromField(record.password);

  ptzEnabled_ = record.ptzEnabled;
  c_.ptzSetting->setChecked(ptzEnabled_ != 0);
  ptzVendor_.clear();
  ptzProtocol_.clear();
  if (ptzEnabled_) {
    ptzSourceType_ = 1;
    ptzProtocolFile_ = fromField(record.ptzProtocolFile);
  } else {
    ptzSourceType_ = 0;
    ptzProtocolFile_.clear();
  }

  inSwitchGroup_ = record.inSwitchGroup;
  quadServer_ = record.quadServer;
  showName_ = record.showName;
  showEvents_ = record.showEvents;
  serialControl_ = record.serialControl;
  serialBaudRate_ = record.serialBaudRate;
  ptzAddress_ = record.ptzAddress;
  streamingType_ = record.streamingType;
  c_.streamingType->setCurrentIndex(streamingType_ == 2 ? 1 : 0);
  writeForm();
}

bool CTavolinDlg::takeBack() {
  CameraRecord record{};
  record.index = current_;
  toField(record.name, name_);
  toField(record.host, host_);
  toField(record.userName, userName_);
  toField(record.password, password_);
  // The channel is shown but has no place in the settings file.
  record.registerPort = static_cast<uint32_t>(registerPort_);
  record.controlPort = static_cast<uint32_t>(controlPort_);
  record.streamingPort = static_cast<uint32_t>(streamingPort_);
  record.httpPort = static_cast<uint32_t>(httpPort_);

  record.useStreamingEngine = 0;
  toField(record.streamingEngineHost, streamingEngineHost_);
  toField(record.streamingEngineUser, streamingEngineUser_);
  toField(record.streamingEnginePassword, streamingEnginePassword_);

  record.ptzEnabled = ptzEnabled_;
  record.ptzSourceType = ptzSourceType_;
  toField(record.ptzVendor, ptzVendor_);
  toField(record.ptzProtocol, ptzProtocol_);
  toField(record.ptzProtocolFile, ptzProtocolFile_);
  record.inSwitchGroup = inSwitchGroup_;
  record.playAudio = playAudio_;
  record.quadServer = quadServer_;
  record.showName = showName_;
  record.showEvents = showEvents_;
  record.serialControl = serialControl_;
  record.serialBaudRate = serialBaudRate_;
  record.ptzAddress = ptzAddress_;
  record.streamingType = streamingType_;
  // PTZ speed stays 0, which saving turns into the default speed.

  changed_ = 0;
  return cameras_.saveRecord(record);
}

void CTavolinDlg::changePrompt() {
  readForm();
  if (changed_) {
    const PromptAnswer answer = shell_.prompts().showMessage(this, QStringLiteral("Setting Changed! Apply?"),
                                                             QStringLiteral("Setting Changed"), PromptButtons::YesNo);
    if (answer == PromptAnswer::Yes) {
      const bool saved = takeBack();
      shell_.prompts().showMessage(this, saved ? QStringLiteral("OK") : QStringLiteral("Fail"), kApplyCaption,
                                   PromptButtons::Ok);
    }
  }
  changed_ = 0;
}

void CTavolinDlg::onCameraSwitch() {
  // A Yes stores the edits under the camera that was shown.
  changePrompt();
  const int selected = c_.cameraId->currentIndex();
  if (selected < 0 || selected >= kCameraCount) return;
  current_ = selected;
  showRecord(*cameras_.record(current_));
}

void CTavolinDlg::onStreamingType() {
  readForm();
  streamingType_ = c_.streamingType->currentIndex() == 0 ? 1 : 2;
  changed_ = 1;
}

void CTavolinDlg::onFlagClicked(QCheckBox* box, uint8_t& flag, bool writeBack) {
  readForm();
  flag = box->isChecked() ? 1 : 0;
  changed_ = 1;
  if (writeBack) writeForm();
}

void CTavolinDlg::onPtzSetting() {
  readForm();
  if (!c_.ptzSetting->isChecked()) {
    // File, address and serial values stay for the next time PTZ is on.
    ptzEnabled_ = 0;
    changed_ = 1;
    return;
  }
  QString path = shell_.prompts().openFile(this, QStringLiteral("SELECTION - PTZ Protocol File "),
                                           QStringLiteral("PTZ Protocol Files (*.ptz)"), shell_.protocolFolder());
  if (!path.isEmpty() && path.toUtf8().size() >= static_cast<qsizetype>(sizeof(CameraRecord::ptzProtocolFile))) {
    // A cut path would name another file: refuse it as if none was chosen.
    shell_.prompts().showMessage(this, QStringLiteral("The path of this protocol file is too long."), kProgramCaption,
                                 PromptButtons::Ok);
    path.clear();
  }
  if (!path.isEmpty()) {
    ptzProtocolFile_ = path;
    ptzEnabled_ = 1;
    ptzSourceType_ = 1;
    ptzVendor_.clear();
    ptzProtocol_.clear();

    // Both dialogs hand their values back however they were closed.
    CPTZAddressIDDlg addressDlg(this);
    addressDlg.setAddress(ptzAddress_);
    addressDlg.exec();
    ptzAddress_ = addressDlg.address();

    CRS232SettingDlg serialDlg(this);
    serialDlg.setValues(static_cast<uint8_t>(serialControl_), static_cast<uint8_t>(serialBaudRate_));
    serialDlg.exec();
    serialControl_ = serialDlg.controlCode();
    serialBaudRate_ = serialDlg.baudRateIndex();
  } else {
    serialControl_ = 0;
    serialBaudRate_ = 0;
    ptzSourceType_ = 0;
    ptzVendor_.clear();
    ptzProtocol_.clear();
    ptzProtocolFile_.clear();
    ptzEnabled_ = 0;
    c_.ptzSetting->setChecked(false);
    writeForm();
  }
  changed_ = 1;
}

void CTavolinDlg::onLoadDefault() {
  // Shown only: nothing is saved until Apply.
  showRecord(defaultCameraRecord(current_));
  changed_ = 1;
}

void CTavolinDlg::onApply() {
  c_.apply->setEnabled(false);
  readForm();
  const bool saved = takeBack();
  shell_.prompts().showMessage(this, saved ? QStringLiteral("OK") : QStringLiteral("Fail"), kApplyCaption,
                               PromptButtons::Ok);
  c_.apply->setEnabled(true);
}

void CTavolinDlg::setEditing(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{c_.play, c_.apply, c_.loadDefault, c_.exit, c_.cameraId}) {
    w->setEnabled(enabled);
  }
}

void CTavolinDlg::onPlay() {
  // The change prompt reads the form first.
  changePrompt();
  const int position = c_.cameraId->currentIndex();
  if (position < 0 || position >= kCameraCount) return;
  Records records{};
  for (int i = 0; i < kCameraCount; ++i) records[static_cast<std::size_t>(i)] = cameras_.record(i);

  setEditing(false);
  // The view hands back the PTZ speed and audio it changed, on any camera it
  // switched to.
  if (runLiveView_) applyChanges(runLiveView_(records, position, this), records);
  for (int i = 0; i < kCameraCount; ++i) cameras_.saveRecord(*cameras_.record(i));
  setEditing(true);
}

void CTavolinDlg::onExit() {
  changePrompt();
  QDialog::accept();
}

void CTavolinDlg::reject() { onExit(); }

}  // namespace tavolin::ui
