// The settings form's logic, free of widgets: the camera shown (one camera
// record as the form edits it), the changed flag, reading and checking the
// text fields, and the camera switch, Apply, Load Default, PTZ setting, Play
// and Exit flows with their questions. A flow that asks goes on when the
// answer comes; the view shows each dialog modal to the form, so the form
// takes no input meanwhile. CTavolinDlg only lays out the controls and
// passes their events here; tests drive it through a fake view.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "form/found_camera.h"
#include "live/record_changes.h"
#include "shell/prompt.h"
#include "tavolin/camera_list.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui {

class ReasonLog;

// The text fields, in the order the form reads them.
// SubStream is an RTSP camera's second, smaller stream.
enum class FormField {
    Host,
    Channel,
    RegisterPort,
    ControlPort,
    StreamingPort,
    HttpPort,
    UserName,
    Password,
    Name,
    SubStream
};
inline constexpr int kFormFieldCount = 10;
using FormTexts = std::array<QString, kFormFieldCount>;

enum class FormFlag { ShowName, ShowEvents, QuadServer, SwitchGroup, AutoReconnect, KeepAspect };

// "Streaming Type" items: the types of the table that the form offers, in
// its order. A record of another type (3, say) selects no item and keeps its
// type until an item is chosen.
const std::vector<transport::StreamingType>& streamingTypeItems();
// The item that shows `type`, -1 for none.
int streamingTypeItem(int32_t type);
using transport::kOnvifStreamingType;
using transport::kRtspStreamingType;

// Whether a control means something for a camera of `type`: one that does not
// is disabled and keeps its value. Types 1 and 2 use them all.
bool fieldUsed(int32_t type, FormField field);
bool flagUsed(int32_t type, FormFlag flag);
bool ptzUsed(int32_t type);

// The protocol file an ONVIF camera's PTZ takes, shipped with the program.
inline constexpr char kOnvifProtocolFile[] = "ONVIF.ptz";

// What the form's logic asks of the window that shows it.
class FormView {
public:
    virtual ~FormView() = default;
    // The text fields as they read now.
    virtual FormTexts texts() const = 0;
    // Puts the shown record's values into the controls.
    virtual void writeForm() = 0;
    // Enables the controls the shown record's streaming type uses.
    virtual void showTypeControls() = 0;
    virtual void focusField(FormField field) = 0;
    // Each of these opens its box or dialog over the form and returns at
    // once; the callback gets what the user chose.
    virtual void ask(const Prompt& prompt, PromptAnswered answered = {}) = 0;
    // The file dialog for a PTZ protocol file: its path, empty when cancelled.
    virtual void chooseProtocolFile(std::function<void(const QString& path)> chosen) = 0;
    // The PTZ address and serial dialogs; their values come back however they
    // were closed.
    virtual void askPtzAddress(int32_t address, std::function<void(int32_t address)> chosen) = 0;
    virtual void askSerial(int32_t controlCode, int32_t baudRateIndex,
                           std::function<void(int32_t controlCode, int32_t baudRateIndex)> chosen) = 0;
    // The search for cameras: the one the user chose, none when cancelled.
    virtual void findCamera(std::function<void(const std::optional<FoundCamera>& found)> chosen) = 0;
    // The full path of a protocol file shipped with the program, empty when it
    // is not there.
    virtual QString shippedProtocolFile(const QString& name) const = 0;
    virtual void setApplyEnabled(bool enabled) = 0;
    // Play, Apply, Load Default, Exit and Camera ID, disabled while the live
    // view covers the form.
    virtual void setEditing(bool enabled) = 0;
};

class CameraForm {
public:
    using Records = std::array<CameraRecord*, kCameraCount>;
    using Closed = std::function<void(const LiveViewChanges& changed)>;
    // Opens the live view (or the wall) for `position` over the records; it
    // calls `closed` with what it changed once it has closed.
    using LiveView = std::function<void(const Records& records, int position, Closed closed)>;

    // Shows camera 1 (the view writes the form once it holds this object).
    // `reasons`, when given, says why a save failed.
    CameraForm(CameraList& cameras, FormView& view, const ReasonLog* reasons = nullptr);

    const CameraRecord& shown() const { return shown_; }
    int current() const { return current_; }
    bool hasChanges() const { return changed_; }
    // The text a field shows for the shown record.
    QString text(FormField field) const;
    // Whether a control is enabled for the shown record's streaming type.
    bool fieldEnabled(FormField field) const { return fieldUsed(shown_.streamingType, field); }
    bool flagEnabled(FormFlag flag) const { return flagUsed(shown_.streamingType, flag); }
    bool ptzEnabled() const { return ptzUsed(shown_.streamingType); }
    // Whether a check box shows checked: "Keep Aspect" is always on for the
    // types that always keep it.
    bool flagChecked(FormFlag flag) const;

    // Handlers.
    void textEdited() { changed_ = true; }
    void switchCamera(int selected);
    // `index` of "Streaming Type" (streamingTypeItems()); values of fields the
    // new type does not use are kept for a switch back.
    void setStreamingType(int index);
    void setFlag(FormFlag flag, bool checked);
    void ptzSettingClicked(bool checked);
    // "Find...": a camera chosen from the search fills the shown record as an
    // ONVIF camera (host and device service port).
    void findCamera();
    void loadDefault();
    void apply();
    void play(int selected, LiveView liveView);
    // The change prompt before the form closes; `then` closes it.
    void exit(std::function<void()> then);

    // The record as the form would store it for the camera shown: what the
    // form holds, with the fields that are not the form's (play audio, PTZ
    // speed, the streaming engine, the channel but for ONVIF) at their
    // stored defaults.
    CameraRecord takeBack() const;

private:
    // Takes the fields into the shown record; a field that holds no number
    // stops the reading there with a message, keeping its previous value and
    // those of the fields after it. `then` goes on once the messages have
    // been read (at once when there are none).
    void readForm(std::function<void()> then);
    void readFields(std::vector<Prompt>& told);
    // "Camera IP" within the type's limit; a longer one is refused with a
    // message and the previous host stays.
    void readHost(const QString& text, std::vector<Prompt>& told);
    // Shows the messages one after the other, then runs `then`.
    void tellInTurn(std::vector<Prompt> prompts, std::function<void()> then);
    // PTZ of an ONVIF camera takes the shipped protocol file, with no
    // serial port or address to ask for; false when the file is missing.
    bool useShippedOnvifProtocol();
    void protocolFileChosen(QString path);
    void fillFromFound(const FoundCamera& found);
    void changeType(int32_t type);
    void showRecord(const CameraRecord& record);
    // The record becomes the one shown, as the form shows one (PTZ source and
    // texts by the PTZ flag; play audio, speed and streaming engine not taken).
    void takeShown(const CameraRecord& record);
    // Stores takeBack(); false with the reason when that failed.
    bool save(QString& reason);
    // Reads the form and, with edits, asks whether to apply them; `then` runs
    // once that is settled.
    void changePrompt(std::function<void()> then);
    void tellSaved(bool saved, const QString& reason, std::function<void()> then = {});
    void liveViewClosed(const Records& records, const LiveViewChanges& changed);

    CameraList& cameras_;
    FormView& view_;
    const ReasonLog* reasons_;
    CameraRecord shown_{};
    int current_ = 0;
    bool changed_ = false;
};

} // namespace tavolin::ui
