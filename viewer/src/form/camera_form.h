// The settings form's logic, free of widgets: the camera shown (one camera
// record as the form edits it), the changed flag, reading and checking the
// text fields, and the camera switch, Apply, Load Default, PTZ setting, Play
// and Exit flows with their questions. CTavolinDlg only lays out the
// controls and passes their events here; tests drive it through a fake view.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "form/found_camera.h"
#include "live/record_changes.h"
#include "shell/shell.h"
#include "tavolin/camera_list.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui {

class ReasonLog;

// The text fields, in the order the form reads them.
enum class FormField { Host, Channel, RegisterPort, ControlPort, StreamingPort, HttpPort, UserName, Password, Name };
inline constexpr int kFormFieldCount = 9;
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
    virtual void focusField(FormField field) = 0;
    virtual PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons,
                             const QString& detail = {}) = 0;
    // The file dialog for a PTZ protocol file: its path, empty when cancelled.
    virtual QString chooseProtocolFile() = 0;
    // The PTZ address and serial dialogs; their values come back however they
    // were closed.
    virtual int32_t askPtzAddress(int32_t address) = 0;
    virtual void askSerial(int32_t& controlCode, int32_t& baudRateIndex) = 0;
    // The full path of a protocol file shipped with the program, empty when it
    // is not there.
    virtual QString shippedProtocolFile(const QString& name) const = 0;
    // The search for cameras: the one the user chose, none when cancelled.
    virtual std::optional<FoundCamera> findCamera() = 0;
    virtual void setApplyEnabled(bool enabled) = 0;
    // Play, Apply, Load Default, Exit and Camera ID, disabled while the live
    // view covers the form.
    virtual void setEditing(bool enabled) = 0;
};

class CameraForm {
public:
    // Runs the live view for `position` over the records and returns what it
    // changed.
    using LiveView =
        std::function<LiveViewChanges(const std::array<CameraRecord*, kCameraCount>& records, int position)>;

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
    void play(int selected, const LiveView& liveView);
    // The change prompt before the form closes.
    void exit();

private:
    // Takes the fields into the shown record; a field that holds no number
    // stops the reading there with a message, keeping its previous value and
    // those of the fields after it.
    bool readForm();
    // "Camera IP" within the type's limit; a longer one is refused with a
    // message and the previous host stays.
    void readHost(const QString& text);
    // PTZ of an ONVIF camera takes the shipped protocol file, with no
    // serial port or address to ask for; false when the file is missing.
    bool useShippedOnvifProtocol();
    void fillFromFound(const FoundCamera& found);
    void changeType(int32_t type);
    void showRecord(const CameraRecord& record);
    // The record becomes the one shown, as the form shows one (PTZ source and
    // texts by the PTZ flag; play audio, speed and streaming engine not taken).
    void takeShown(const CameraRecord& record);
    bool takeBack(QString& reason);
    void changePrompt();
    void tellSaved(bool saved, const QString& reason);

    CameraList& cameras_;
    FormView& view_;
    const ReasonLog* reasons_;
    CameraRecord shown_{};
    int current_ = 0;
    bool changed_ = false;
};

} // namespace tavolin::ui
