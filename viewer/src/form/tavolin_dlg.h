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
#include "playback/playback_runner.h"
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
    using Records = CameraForm::Records;
    using Closed = CameraForm::Closed;
    // Opens the live view for `position` over the 16 records, modal to the
    // form given as `parent`, and returns at once; `closed` gets what it
    // changed once the view has closed its stream.
    using LiveViewRunner = std::function<void(const Records& records, int position, QWidget* parent, Closed closed)>;
    // Opens the camera wall over the records the same way, keeping its layout
    // in `cameras`' settings file; `closed` gets what its single views changed.
    using WallRunner = std::function<void(const Records& records, CameraList& cameras, QWidget* parent, Closed closed)>;

    // The controls in the order they are laid out and tabbed through.
    struct Controls {
        QComboBox* cameraId;
        QComboBox* streamingType;
        QLineEdit* name;
        QLineEdit* host;
        QPushButton* find;
        QLineEdit* channel;
        QLineEdit* subStream; // an RTSP camera's second stream
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
        QPushButton* playback; // shown only when the form can open playback
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
    // Offers "Playback" of the chosen camera's recordings, opened this way.
    void setPlaybackOpener(PlaybackOpener opener);

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
    // Offers the edits for saving, then closes the form.
    void exitForm();

    void createControls();
    void connectHandlers();
    void applyPortraitLayout();
    void applyLandscapeLayout();
    QLineEdit* field(FormField which) const;
    QCheckBox* flagBox(FormFlag which) const;
    // FormView
    FormTexts texts() const override;
    void writeForm() override;
    void showTypeControls() override;
    void focusField(FormField which) override;
    void ask(const Prompt& prompt, PromptAnswered answered) override;
    void chooseProtocolFile(std::function<void(const QString& path)> chosen) override;
    void askPtzAddress(int32_t address, std::function<void(int32_t address)> chosen) override;
    void askSerial(int32_t controlCode, int32_t baudRateIndex,
                   std::function<void(int32_t controlCode, int32_t baudRateIndex)> chosen) override;
    void findCamera(std::function<void(const std::optional<FoundCamera>& found)> chosen) override;
    QString shippedProtocolFile(const QString& name) const override;
    void setApplyEnabled(bool enabled) override;
    void setEditing(bool enabled) override;

    Shell& shell_;
    CameraList cameras_;
    LiveViewRunner runLiveView_;
    WallRunner runWall_;
    PlaybackOpener openPlayback_;
    Controls c_{};
    CompactComboStyle* comboStyle_ = nullptr; // owned by the form
    std::array<QLabel*, 12> labels_{};
    std::unique_ptr<CameraForm> form_;
    bool writingForm_ = false;            // text changes made by the form itself are no edits
    QValidator* ipv4HostLimit_ = nullptr; // "Camera IP" of types 1 and 2; owned by the field
    int searchWindowMs_;
};

} // namespace tavolin::ui
