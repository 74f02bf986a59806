// The live view: one camera's video over the whole screen. It opens a stream
// with the stream client for the camera at a position, connects in the
// background while a progress bar runs, leaves the drawing of the video to the
// stream client's render thread (through its window surface), shows the
// camera's name and, once a second, the events that arrived, and reports a
// lost connection. It runs modally; when exec() returns the stream is closed.
//
// Threads: the connect and progress workers and the stream client's threads
// never touch a widget. They post to the GUI thread, tagged with the number of
// the stream they belong to, and whatever arrives for a stream that has since
// closed is dropped. Message boxes are shown by the GUI thread; a worker never
// waits for one. Closing a stream waits for its connect thread with the GUI
// running and never closes the interface under a thread that is still inside
// M_KConnect.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QString>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "live/live_menu.h"
#include "live/patrol.h"
#include "live/stream_callbacks.h"
#include "ostrel/stream_client.h"
#include "shell/shell.h"
#include "tavolin/camera_record.h"
#include "transport/contract.h"
#include "widgets/b_dialog.h"
#include "widgets/color_static.h"

namespace tavolin::ui {

class StreamTeardown;
class VideoSurface;

class CWideVideoDlg : public CBDialog, private StreamEventSink {
  Q_OBJECT

 public:
  enum class OpenMode { FirstPlay, Switch };
  enum Indicator { MD1, MD2, MD3, MD4, DI1, DI2, kIndicatorCount };
  static constexpr int kArrowCount = 10;  // one per pointer sector
  static constexpr int kProgressMaximum = 90;
  static constexpr int kEventPeriodMs = 1000;
  static constexpr int kWorkerWaitMs = 10000;

  // `records` are the 16 records of the camera list, `position` the camera
  // to show first. The view initialises itself and opens the stream when it
  // is shown.
  CWideVideoDlg(const std::array<CameraRecord*, kCameraCount>& records, int position, Shell& shell,
                QWidget* parent = nullptr);
  ~CWideVideoDlg() override;

  // Opens the stream of the camera at `position`. FirstPlay closes the view
  // when the connection fails (after telling the user); Switch leaves the
  // failed picture up.
  void streamOpen(int position, OpenMode mode);
  // Closes the current stream: output back to 0, workers waited for, the
  // interface disconnected and closed.
  void streamClose();
  // Stops the timer, closes the stream, turns the display back and ends the
  // view. Runs once; later calls do nothing.
  void closeView();

  // Sets the camera's digital output 1 to the other state.
  void toggleOutput();

  // The action key: opens the popup menu unless a connection attempt runs.
  void actionKey();
  // Shows the next or previous camera of the switch group; nothing while a
  // connection attempt runs.
  void patrol(PatrolDirection direction);
  bool isOsdMode() const { return osdMode_; }

  // Shows or hides each indicator by the events of the last period, then
  // forgets them. The view's 1000 ms timer calls it.
  void showEventsOfPeriod();

  // State, as the commands read it.
  OstrelInterface* interfaceHandle() const { return handle_; }
  int currentPosition() const { return position_; }
  CameraRecord* currentRecord() const { return record_; }
  bool isConnecting() const { return connecting_.load() != 0; }
  bool isConnected() const { return connected_.load() != 0; }
  int progressCount() const { return progressCount_.load(); }
  int outputState() const { return outputState_; }
  QSize measuredScreen() const { return QSize(screenWidth_, screenHeight_); }
  const MediaConfig& connectionRecord() const { return connection_; }
  const QString& nameText() const { return nameText_; }
  bool eventFlag(Indicator which) const { return eventFlags_[which].load() != 0; }
  bool isClosed() const { return closed_; }

  LiveMenu& menu() { return *menu_; }
  QLabel* indicator(Indicator which) const { return indicators_[which]; }
  QLabel* arrow(int sector) const { return arrows_[sector - 1]; }
  CColorStatic* nameLabel() const { return nameLabel_; }
  QProgressBar* progressBar() const { return progressBar_; }
  VideoSurface& videoSurface() const { return *surface_; }
  // The window handle the stream client draws into.
  uint32_t surfaceHandle() const { return surfaceHandle_; }

  void setVisible(bool visible) override;

 public slots:
  void reject() override;
  // The dialog's OK command is the action key; it never closes the view.
  void accept() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Commands: the pointer steers, the keys drive the camera's menu or step
  // through cameras, the right button opens the popup menu.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  // Fields of the commands (pointer sectors, direction keys, menu).
  bool penDown_ = false;
  int sector_ = 0;
  int ptzAction_ = 0;
  bool osdMode_ = false;
  int outputState_ = 0;

 private:
  void initialiseView();
  void createChildren();
  void startWorkers(uint64_t stream, OpenMode mode);
  void connectThreadMain(uint64_t stream, OpenMode mode, OstrelInterface* handle, const CameraRecord* record);
  // Stream close; without `runEvents` it leaves the waiting to the caller.
  void endStream(bool runEvents);
  void progressThreadMain(uint64_t stream);
  // Posts `work` to the GUI thread; it runs only if `stream` is still open.
  void postForStream(uint64_t stream, std::function<void()> work);
  bool isCurrent(uint64_t stream) const { return stream_.load() == stream && streamOpen_.load(); }
  void connectFailed(OpenMode mode);
  void networkLost(uint64_t stream);
  void finishTeardowns(bool block);

  // Commands (wide_video_commands.cpp).
  void connectCommands();
  void penDownAt(QPoint point);
  void stopPtzAction();
  void setAudioIn(bool on);
  void startTalking();

  void motionFromStream(uint64_t stream, int32_t r1, int32_t r2, int32_t r3, int32_t r4) override;
  void digitalInputFromStream(uint64_t stream, int32_t di1, int32_t di2) override;
  void networkLossFromStream(uint64_t stream) override;

  Shell& shell_;
  std::array<CameraRecord*, kCameraCount> records_;
  int startPosition_;
  int position_ = 0;
  CameraRecord* record_ = nullptr;
  OstrelInterface* handle_ = nullptr;
  MediaConfig connection_{};
  RenderInfo renderInfo_{};
  std::atomic<uint8_t> connecting_{0};
  std::atomic<uint8_t> connected_{0};
  std::atomic<int32_t> progressCount_{0};
  std::thread connectThread_;
  std::thread progressThread_;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  std::array<std::atomic<uint8_t>, kIndicatorCount> eventFlags_{};
  QString nameText_;

  // Which stream is open: workers and callbacks of any other are ignored.
  std::atomic<uint64_t> stream_{0};
  std::atomic<bool> streamOpen_{false};
  std::shared_ptr<StreamBridge> bridge_;
  // Guards the stream's flags against a late worker of a closed stream, and
  // lets the progress thread sleep until the attempt ends.
  std::mutex stateLock_;
  std::condition_variable progressWake_;
  std::vector<std::unique_ptr<StreamTeardown>> teardowns_;

  std::array<QLabel*, kIndicatorCount> indicators_{};
  std::array<QLabel*, kArrowCount> arrows_{};
  CColorStatic* nameLabel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  std::unique_ptr<LiveMenu> menu_;
  QTimer eventTimer_;
  std::shared_ptr<VideoSurface> surface_;
  uint32_t surfaceHandle_ = 0;
  // A finger held still on a view it does not steer opens the menu.
  QTimer holdTimer_;
  QPoint holdOrigin_;
  bool initialised_ = false;
  bool closing_ = false;
  bool closed_ = false;
};

}  // namespace tavolin::ui
