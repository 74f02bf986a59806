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

enum class FormFlag { ShowName, ShowEvents, QuadServer, SwitchGroup };

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

    // Handlers.
    void textEdited() { changed_ = true; }
    void switchCamera(int selected);
    // `index` of "Streaming Type": 0 is 1.0, any other 2.0.
    void setStreamingType(int index);
    void setFlag(FormFlag flag, bool checked);
    void ptzSettingClicked(bool checked);
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
