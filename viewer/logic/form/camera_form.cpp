#include "form/camera_form.h"

#include <QStringDecoder>
#include <limits>

#include "shell/reason_log.h"
#include "tavolin/camera_settings.h"
#include "tavolin/store_notices.h"
#include "form/utf8_text.h"

namespace tavolin::ui {

namespace {

const QString kProgramCaption = QStringLiteral("Tavolin");
const QString kApplyCaption = QStringLiteral("Apply Setting");

// A text from the file that is not UTF-8 (written in another code page)
// shows one character per byte, as Latin-1; whatever it shows, it must still
// fit the field when taken back.
template <std::size_t N>
QString fromField(const char (&field)[N]) {
    const std::string_view text = textOf(field);
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString shown = utf8(bytes);
    if (utf8.hasError()) shown = QString::fromLatin1(bytes);
    return cutToUtf8Bytes(shown, static_cast<int>(N - 1));
}

// Takes an edited text into a field; a text as it was shown leaves the
// field's bytes as they are, so a name that is not UTF-8 survives a save.
template <std::size_t N>
void toField(char (&field)[N], const QString& text) {
    if (text == fromField(field)) return;
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
        if (value > high - low + 1) return false; // far out of range; stop before overflow
    }
    if (negative) value = -value;
    if (value < low || value > high) return false;
    out = value;
    return true;
}

QString textAt(const FormTexts& texts, FormField field) { return texts[static_cast<std::size_t>(field)]; }

bool typeKeepsAspect(int32_t type) { return streamsOverRtsp(type); }

} // namespace

const std::vector<transport::StreamingType>& streamingTypeItems() {
    static const std::vector<transport::StreamingType> items = [] {
        std::vector<transport::StreamingType> offered;
        for (const transport::StreamingType& entry : transport::kStreamingTypes) {
            if (entry.formText != nullptr) offered.push_back(entry);
        }
        return offered;
    }();
    return items;
}

int streamingTypeItem(int32_t type) {
    const auto& items = streamingTypeItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].type == type) return static_cast<int>(i);
    }
    return -1;
}

bool fieldUsed(int32_t type, FormField field) {
    if (field == FormField::SubStream) return type == kRtspStreamingType;
    switch (type) {
    case kRtspStreamingType:
        // A URL, or a host with the RTSP port, and the login.
        return field != FormField::Channel && field != FormField::RegisterPort && field != FormField::ControlPort &&
               field != FormField::HttpPort;
    case kOnvifStreamingType:
        // The device service's host and port; the channel picks the profile.
        return field != FormField::RegisterPort && field != FormField::ControlPort && field != FormField::StreamingPort;
    default: return true;
    }
}

bool flagUsed(int32_t type, FormFlag flag) {
    // The quad display mode is a video server's; RTSP and ONVIF cameras keep
    // the aspect always.
    if (flag == FormFlag::QuadServer || flag == FormFlag::KeepAspect) return !typeKeepsAspect(type);
    return true;
}

bool ptzUsed(int32_t type) { return type != kRtspStreamingType; }

CameraForm::CameraForm(CameraList& cameras, FormView& view, const ReasonLog* reasons)
    : cameras_(cameras), view_(view), reasons_(reasons) {
    shown_.ptzAddress = 1;
    shown_.streamingType = 2;
    current_ = 0;
    // The view writes the form once it holds this object.
    takeShown(*cameras_.record(0));
}

QString CameraForm::text(FormField field) const {
    switch (field) {
    case FormField::Host: return fromField(shown_.host);
    case FormField::Channel: return QString::number(shown_.channel);
    case FormField::RegisterPort: return QString::number(static_cast<int32_t>(shown_.registerPort));
    case FormField::ControlPort: return QString::number(static_cast<int32_t>(shown_.controlPort));
    case FormField::StreamingPort: return QString::number(static_cast<int32_t>(shown_.streamingPort));
    case FormField::HttpPort: return QString::number(static_cast<int32_t>(shown_.httpPort));
    case FormField::UserName: return fromField(shown_.userName);
    case FormField::Password: return fromField(shown_.password);
    case FormField::Name: return fromField(shown_.name);
    case FormField::SubStream: return fromField(shown_.subStreamUrl);
    }
    return {};
}

bool CameraForm::flagChecked(FormFlag flag) const {
    switch (flag) {
    case FormFlag::ShowName: return shown_.showName != 0;
    case FormFlag::ShowEvents: return shown_.showEvents != 0;
    case FormFlag::QuadServer: return shown_.quadServer != 0;
    case FormFlag::SwitchGroup: return shown_.inSwitchGroup != 0;
    case FormFlag::AutoReconnect: return shown_.autoReconnect != 0;
    case FormFlag::KeepAspect: return shown_.keepAspect != 0 || typeKeepsAspect(shown_.streamingType);
    }
    return false;
}

void CameraForm::readHost(const QString& text, std::vector<Prompt>& told) {
    const auto limit = static_cast<qsizetype>(hostLimit(shown_.streamingType));
    const qsizetype bytes = text.toUtf8().size();
    if (bytes <= limit) {
        toField(shown_.host, text);
        return;
    }
    const QString detail = streamsOverRtsp(shown_.streamingType)
                               ? QStringLiteral("Camera IP holds an rtsp:// URL or host name of at most %1 bytes; "
                                                "this one has %2.")
                               : QStringLiteral("Camera IP holds a dotted IPv4 address of at most %1 bytes for "
                                                "this streaming type; this one has %2.");
    told.push_back({QStringLiteral("The camera address is too long."), kProgramCaption, PromptButtons::Ok,
                    detail.arg(limit).arg(bytes)});
    view_.focusField(FormField::Host);
}

void CameraForm::readForm(std::function<void()> then) {
    std::vector<Prompt> told;
    readFields(told);
    tellInTurn(std::move(told), std::move(then));
}

void CameraForm::tellInTurn(std::vector<Prompt> prompts, std::function<void()> then) {
    if (prompts.empty()) {
        if (then) then();
        return;
    }
    const Prompt first = prompts.front();
    prompts.erase(prompts.begin());
    view_.ask(first, [this, rest = std::move(prompts), then = std::move(then)](PromptAnswer) mutable {
        tellInTurn(std::move(rest), std::move(then));
    });
}

void CameraForm::readFields(std::vector<Prompt>& told) {
    const FormTexts texts = view_.texts();
    const auto readNumber = [&](FormField field, uint32_t& value, bool allowNegative) {
        // A field the type does not use keeps its value; it cannot be edited.
        if (!fieldEnabled(field)) return true;
        long long v = 0;
        const bool ok = allowNegative
                            ? parseNumber(textAt(texts, field), true, std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max(), v)
                            : parseNumber(textAt(texts, field), false, 0, std::numeric_limits<uint32_t>::max(), v);
        if (ok) {
            value = static_cast<uint32_t>(v);
            return true;
        }
        told.push_back({allowNegative ? QStringLiteral("Please enter an integer.")
                                      : QStringLiteral("Please enter a positive integer."),
                        kProgramCaption});
        view_.focusField(field);
        return false;
    };
    readHost(textAt(texts, FormField::Host), told);
    if (!readNumber(FormField::Channel, shown_.channel, false)) return;
    if (!readNumber(FormField::RegisterPort, shown_.registerPort, true)) return;
    if (!readNumber(FormField::ControlPort, shown_.controlPort, true)) return;
    if (!readNumber(FormField::StreamingPort, shown_.streamingPort, true)) return;
    if (!readNumber(FormField::HttpPort, shown_.httpPort, true)) return;
    toField(shown_.userName, textAt(texts, FormField::UserName));
    toField(shown_.password, textAt(texts, FormField::Password));
    toField(shown_.name, textAt(texts, FormField::Name));
    if (fieldEnabled(FormField::SubStream)) toField(shown_.subStreamUrl, textAt(texts, FormField::SubStream).trimmed());
}

void CameraForm::showRecord(const CameraRecord& record) {
    takeShown(record);
    view_.writeForm();
}

void CameraForm::takeShown(const CameraRecord& record) {
    // The record's play audio, PTZ speed and streaming-engine fields are not
    // the form's: they stay as the form had them.
    const CameraRecord before = shown_;
    shown_ = record;
    shown_.playAudio = before.playAudio;
    shown_.ptzSpeed = before.ptzSpeed;
    shown_.useStreamingEngine = before.useStreamingEngine;
    setText(shown_.streamingEngineHost, textOf(before.streamingEngineHost));
    setText(shown_.streamingEngineUser, textOf(before.streamingEngineUser));
    setText(shown_.streamingEnginePassword, textOf(before.streamingEnginePassword));
    setText(shown_.ptzVendor, "");
    setText(shown_.ptzProtocol, "");
    if (shown_.ptzEnabled != 0) {
        shown_.ptzSourceType = 1;
    } else {
        shown_.ptzSourceType = 0;
        setText(shown_.ptzProtocolFile, "");
    }
}

CameraRecord CameraForm::takeBack() const {
    CameraRecord record = shown_;
    record.index = current_;
    // The channel is shown but has no place in the settings file, except that
    // an ONVIF camera's picks its profile: it stays in memory for the live view.
    if (record.streamingType != kOnvifStreamingType) record.channel = 0;
    // Nothing in the form fills the streaming-engine fields, and play audio is
    // never the form's: a record taken back has them off and empty. PTZ speed
    // 0 becomes the default speed when saved.
    record.useStreamingEngine = 0;
    setText(record.streamingEngineHost, "");
    setText(record.streamingEngineUser, "");
    setText(record.streamingEnginePassword, "");
    record.playAudio = 0;
    record.ptzSpeed = 0;
    return record;
}

bool CameraForm::save(QString& reason) {
    const CameraRecord record = takeBack();
    changed_ = false;
    const uint64_t mark = reasons_ != nullptr ? reasons_->mark() : 0;
    const bool saved = cameras_.saveRecord(record);
    // What the store told: why a save failed, or where a save that went
    // through kept a version of the file that another program wrote. A file
    // left as it is since the load is not told again at a save: the load's
    // notice says why.
    reason = QString::fromLocal8Bit(joinedNotices(cameras_.takeSaveNotices()));
    if (!saved && !cameras_.loadNotices().empty()) reason = QString::fromLocal8Bit(cameras_.loadNotices().front());
    if (!saved && reason.isEmpty() && reasons_ != nullptr) reason = reasons_->lastSince(mark);
    // Not every refusal is told by the store: the file is named at least.
    if (!saved && reason.isEmpty()) {
        reason =
            QStringLiteral("the settings file %1 could not be written").arg(QString::fromStdString(cameras_.path()));
    }
    return saved;
}

void CameraForm::tellSaved(bool saved, const QString& reason, std::function<void()> then) {
    view_.ask({saved ? QStringLiteral("OK") : QStringLiteral("Fail"), kApplyCaption, PromptButtons::Ok, reason},
              [then = std::move(then)](PromptAnswer) {
                  if (then) then();
              });
}

void CameraForm::changePrompt(std::function<void()> then) {
    readForm([this, then = std::move(then)]() mutable {
        if (!changed_) {
            then();
            return;
        }
        view_.ask({QStringLiteral("Setting Changed! Apply?"), QStringLiteral("Setting Changed"), PromptButtons::YesNo},
                  [this, then = std::move(then)](PromptAnswer answer) {
                      changed_ = false;
                      if (answer != PromptAnswer::Yes) {
                          then();
                          return;
                      }
                      QString reason;
                      const bool saved = save(reason);
                      tellSaved(saved, reason, then);
                  });
    });
}

void CameraForm::switchCamera(int selected) {
    // A Yes stores the edits under the camera that was shown.
    changePrompt([this, selected] {
        if (selected < 0 || selected >= kCameraCount) return;
        current_ = selected;
        showRecord(*cameras_.record(current_));
    });
}

void CameraForm::setStreamingType(int index) {
    // Read with the type the fields were typed for.
    readForm([this, index] {
        const auto& items = streamingTypeItems();
        if (index >= 0 && index < static_cast<int>(items.size())) {
            changeType(items[static_cast<std::size_t>(index)].type);
        }
        changed_ = true;
        view_.showTypeControls();
    });
}

void CameraForm::changeType(int32_t type) {
    // "Auto Reconnect" takes the new kind of camera's default, as a record
    // without the key would: on for RTSP and ONVIF, off for 1.0 and 2.0.
    if (reconnectsByDefault(type) != reconnectsByDefault(shown_.streamingType)) {
        shown_.autoReconnect = reconnectsByDefault(type) ? 1 : 0;
    }
    shown_.streamingType = type;
}

void CameraForm::setFlag(FormFlag flag, bool checked) {
    readForm([this, flag, checked] {
        const uint8_t value = checked ? 1 : 0;
        switch (flag) {
        case FormFlag::ShowName: shown_.showName = value; break;
        case FormFlag::ShowEvents: shown_.showEvents = value; break;
        case FormFlag::QuadServer: shown_.quadServer = value; break;
        case FormFlag::SwitchGroup: shown_.inSwitchGroup = value; break;
        case FormFlag::AutoReconnect: shown_.autoReconnect = value; break;
        case FormFlag::KeepAspect: shown_.keepAspect = value; break;
        }
        changed_ = true;
        if (flag != FormFlag::SwitchGroup) view_.writeForm();
    });
}

void CameraForm::ptzSettingClicked(bool checked) {
    readForm([this, checked] {
        if (!checked) {
            // File, address and serial values stay for the next time PTZ is on.
            shown_.ptzEnabled = 0;
            changed_ = true;
            return;
        }
        if (shown_.streamingType == kOnvifStreamingType && useShippedOnvifProtocol()) {
            changed_ = true;
            return;
        }
        view_.chooseProtocolFile([this](const QString& path) { protocolFileChosen(path); });
    });
}

void CameraForm::protocolFileChosen(QString path) {
    const QByteArray chosen = path.toUtf8();
    if (!path.isEmpty() &&
        !fitsSettingsLine(kPtzProtocolFileKey,
                          std::string_view(chosen.constData(), static_cast<std::size_t>(chosen.size())))) {
        // The settings file would keep it cut, naming another file: refuse it as
        // if none was chosen.
        view_.ask({QStringLiteral("The path of this protocol file is too long."), kProgramCaption, PromptButtons::Ok,
                   QStringLiteral("The settings file keeps a path of at most %1 bytes, on one line.")
                       .arg(kMaxSettingsLine - std::string_view(kPtzProtocolFileKey).size() - 1)});
        path.clear();
    }
    if (path.isEmpty()) {
        shown_.serialControl = 0;
        shown_.serialBaudRate = 0;
        shown_.ptzSourceType = 0;
        setText(shown_.ptzVendor, "");
        setText(shown_.ptzProtocol, "");
        setText(shown_.ptzProtocolFile, "");
        shown_.ptzEnabled = 0;
        view_.writeForm();
        changed_ = true;
        return;
    }
    setText(shown_.ptzProtocolFile, std::string_view(chosen.constData(), static_cast<std::size_t>(chosen.size())));
    shown_.ptzEnabled = 1;
    shown_.ptzSourceType = 1;
    setText(shown_.ptzVendor, "");
    setText(shown_.ptzProtocol, "");
    // The address first, then the serial settings, each taken back however
    // its dialog was closed.
    view_.askPtzAddress(shown_.ptzAddress, [this](int32_t address) {
        shown_.ptzAddress = address;
        view_.askSerial(shown_.serialControl, shown_.serialBaudRate, [this](int32_t control, int32_t baud) {
            shown_.serialControl = control;
            shown_.serialBaudRate = baud;
            changed_ = true;
        });
    });
}

bool CameraForm::useShippedOnvifProtocol() {
    const QByteArray path = view_.shippedProtocolFile(QString::fromLatin1(kOnvifProtocolFile)).toUtf8();
    if (path.isEmpty() ||
        !fitsSettingsLine(kPtzProtocolFileKey,
                          std::string_view(path.constData(), static_cast<std::size_t>(path.size())))) {
        return false;
    }
    setText(shown_.ptzProtocolFile, std::string_view(path.constData(), static_cast<std::size_t>(path.size())));
    shown_.ptzEnabled = 1;
    shown_.ptzSourceType = 1;
    setText(shown_.ptzVendor, "");
    setText(shown_.ptzProtocol, "");
    return true;
}

void CameraForm::findCamera() {
    readForm([this] {
        view_.findCamera([this](const std::optional<FoundCamera>& found) {
            if (found) fillFromFound(*found);
        });
    });
}

void CameraForm::fillFromFound(const FoundCamera& found) {
    changeType(kOnvifStreamingType);
    setText(shown_.host, found.host);
    shown_.httpPort = found.httpPort;
    changed_ = true;
    view_.writeForm();
}

void CameraForm::loadDefault() {
    // Shown only: nothing is saved until Apply.
    showRecord(defaultCameraRecord(current_));
    changed_ = true;
}

void CameraForm::apply() {
    view_.setApplyEnabled(false);
    readForm([this] {
        QString reason;
        const bool saved = save(reason);
        tellSaved(saved, reason, [this] { view_.setApplyEnabled(true); });
    });
}

void CameraForm::play(int selected, LiveView liveView) {
    // The change prompt reads the form first.
    changePrompt([this, selected, liveView = std::move(liveView)] {
        if (selected < 0 || selected >= kCameraCount) return;
        Records records{};
        for (int i = 0; i < kCameraCount; ++i) records[static_cast<std::size_t>(i)] = cameras_.record(i);
        view_.setEditing(false);
        if (!liveView) {
            liveViewClosed(records, {});
            return;
        }
        liveView(records, selected,
                 [this, records](const LiveViewChanges& changed) { liveViewClosed(records, changed); });
    });
}

void CameraForm::liveViewClosed(const Records& records, const LiveViewChanges& changed) {
    // The view hands back the PTZ speed and audio it changed, on any camera it
    // switched to; every record is saved after it.
    applyChanges(changed, records);
    for (int i = 0; i < kCameraCount; ++i) cameras_.saveRecord(*cameras_.record(i));
    const std::vector<std::string> notices = cameras_.takeSaveNotices();
    if (notices.empty()) {
        view_.setEditing(true);
        return;
    }
    view_.ask({QString::fromLocal8Bit(joinedNotices(notices)), kProgramCaption},
              [this](PromptAnswer) { view_.setEditing(true); });
}

void CameraForm::exit(std::function<void()> then) { changePrompt(std::move(then)); }

} // namespace tavolin::ui
