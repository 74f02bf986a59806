// The settings form, the program's one main window: pick one of the 16
// cameras, edit its settings, store them, and start the live view for it.
// The window lays out the controls and passes their events to CameraForm,
// which holds what they mean.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "form/camera_form.h"
#include "live/record_changes.h"
#include "tavolin/camera_list.h"
#include "tavolin/camera_record.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QValidator;

namespace tavolin::ui {

class CompactComboStyle;
class Shell;

class ReasonLog;

class CTavolinDlg : public QDialog, private FormView {
    Q_OBJECT

public:
    using Records = std::array<CameraRecord*, kCameraCount>;
    // Runs the live view modally for `position` over the 16 records, over the
    // form given as `parent`, and returns what it changed once the view has
    // closed its stream.
    using LiveViewRunner = std::function<LiveViewChanges(const Records& records, int position, QWidget* parent)>;
    // Runs the camera wall modally over the records, keeping its layout in
    // `cameras`' settings file, and returns what its single views changed.
    using WallRunner = std::function<LiveViewChanges(const Records& records, CameraList& cameras, QWidget* parent)>;

    // The controls in the order they are laid out and tabbed through.
    struct Controls {
        QComboBox* cameraId;
        QComboBox* streamingType;
        QLineEdit* name;
        QLineEdit* host;
        QPushButton* find;
        QLineEdit* channel;
        QLineEdit* registerPort;
        QLineEdit* controlPort;
        QLineEdit* streamingPort;
        QLineEdit* httpPort;
        QLineEdit* userName;
        QLineEdit* password;
        QCheckBox* showName;
        QCheckBox* showEvents;
        QCheckBox* ptzSetting;
        QCheckBox* quadServer;
        QCheckBox* switchGroup;
        QCheckBox* autoReconnect;
        QCheckBox* keepAspect;
        QPushButton* loadDefault;
        QPushButton* apply;
        QPushButton* play;
        QPushButton* wall;
        QPushButton* exit;
    };

    // Loads the camera list from `settingsPath` and shows camera 1. `reasons`,
    // when given, says why a save failed.
    explicit CTavolinDlg(Shell& shell, std::string settingsPath = kSettingsPath, QWidget* parent = nullptr,
                         const ReasonLog* reasons = nullptr);
    ~CTavolinDlg() override;

    void setLiveViewRunner(LiveViewRunner runner) { runLiveView_ = std::move(runner); }
    // How long "Find..." listens for answers (tests shorten it).
    void setSearchWindowMs(int ms) { searchWindowMs_ = ms; }
    void setWallRunner(WallRunner runner) { runWall_ = std::move(runner); }

    const Controls& controls() const { return c_; }
    CameraList& cameras() { return cameras_; }
    CameraForm& form() { return *form_; }
    int currentCamera() const { return form_->current(); }
    bool hasChanges() const { return form_->hasChanges(); }

    // Lays the controls out again for the screen's orientation.
    void relayout();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Escape and the close box end the program the way "Exit" does, so edits
    // are offered for saving first.
    void reject() override;

private:
    void createControls();
    void connectHandlers();
    void applyPortraitLayout();
    void applyLandscapeLayout();
    QLineEdit* field(FormField which) const;
    QCheckBox* flagBox(FormFlag which) const;
    // Enables the controls the shown streaming type uses.
    void showTypeControls();

    // FormView
    FormTexts texts() const override;
    void writeForm() override;
    void focusField(FormField which) override;
    PromptAnswer ask(const QString& text, const QString& caption, PromptButtons buttons,
                     const QString& detail) override;
    QString chooseProtocolFile() override;
    int32_t askPtzAddress(int32_t address) override;
    void askSerial(int32_t& controlCode, int32_t& baudRateIndex) override;
    QString shippedProtocolFile(const QString& name) const override;
    std::optional<FoundCamera> findCamera() override;
    void setApplyEnabled(bool enabled) override;
    void setEditing(bool enabled) override;

    Shell& shell_;
    CameraList cameras_;
    LiveViewRunner runLiveView_;
    WallRunner runWall_;
    Controls c_{};
    CompactComboStyle* comboStyle_ = nullptr; // owned by the form
    std::array<QLabel*, 11> labels_{};
    std::unique_ptr<CameraForm> form_;
    bool writingForm_ = false;            // text changes made by the form itself are no edits
    QValidator* ipv4HostLimit_ = nullptr; // "Camera IP" of types 1 and 2; owned by the field
    int searchWindowMs_;
};

} // namespace tavolin::ui
