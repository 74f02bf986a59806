// The settings form, the program's one main window: pick one of the 16
// cameras, edit its settings, store them, and start the live view for it.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "live/record_changes.h"
#include "tavolin/camera_list.h"
#include "tavolin/camera_record.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavolin::ui {

class CompactComboStyle;
class Shell;

class CTavolinDlg : public QDialog {
  Q_OBJECT

 public:
  using Records = std::array<CameraRecord*, kCameraCount>;
  // Runs the live view modally for `position` over the 16 records, over the
  // form given as `parent`, and returns what it changed once the view has
  // closed its stream.
  using LiveViewRunner = std::function<LiveViewChanges(const Records& records, int position, QWidget* parent)>;

  // The controls in the order they are laid out and tabbed through.
  struct Controls {
    QComboBox* cameraId;
    QComboBox* streamingType;
    QLineEdit* name;
    QLineEdit* host;
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
    QPushButton* loadDefault;
    QPushButton* apply;
    QPushButton* play;
    QPushButton* exit;
  };

  // Loads the camera list from `settingsPath` and shows camera 1.
  explicit CTavolinDlg(Shell& shell, std::string settingsPath = kSettingsPath, QWidget* parent = nullptr);
  ~CTavolinDlg() override;

  void setLiveViewRunner(LiveViewRunner runner) { runLiveView_ = std::move(runner); }

  const Controls& controls() const { return c_; }
  CameraList& cameras() { return cameras_; }
  int currentCamera() const { return current_; }
  bool hasChanges() const { return changed_ != 0; }

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

  // Form values <-> controls and records.
  bool readForm();
  bool readInteger(QLineEdit* edit, int32_t& value);
  bool readUnsigned(QLineEdit* edit, uint32_t& value);
  void writeForm();
  void showRecord(const CameraRecord& record);
  bool takeBack();
  void changePrompt();
  void setEditing(bool enabled);

  // Handlers.
  void onCameraSwitch();
  void onStreamingType();
  void onFlagClicked(QCheckBox* box, uint8_t& flag, bool writeBack);
  void onPtzSetting();
  void onLoadDefault();
  void onApply();
  void onPlay();
  void onExit();

  Shell& shell_;
  CameraList cameras_;
  LiveViewRunner runLiveView_;
  Controls c_{};
  CompactComboStyle* comboStyle_ = nullptr;  // owned by the form
  std::array<QLabel*, 11> labels_{};

  // The camera shown, as the form edits it.
  QString name_, host_, userName_, password_;
  uint32_t channel_ = 0;
  int32_t registerPort_ = 0, controlPort_ = 0, streamingPort_ = 0, httpPort_ = 0;
  uint8_t ptzEnabled_ = 0, quadServer_ = 0, showName_ = 0, inSwitchGroup_ = 0, showEvents_ = 0, playAudio_ = 0;
  uint32_t ptzSourceType_ = 0;
  QString ptzVendor_, ptzProtocol_, ptzProtocolFile_;
  // Nothing in the form fills these; they are carried so a record taken back
  // has them empty.
  QString streamingEngineHost_, streamingEngineUser_, streamingEnginePassword_;
  int32_t serialControl_ = 0, serialBaudRate_ = 0, ptzAddress_ = 1, streamingType_ = 2;

  int current_ = 0;
  uint8_t changed_ = 0;
  bool writingForm_ = false;  // text changes made by the form itself are no edits
};

}  // namespace tavolin::ui
