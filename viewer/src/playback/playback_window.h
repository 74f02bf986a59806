// The playback window of one camera: its recorded picture, the day's
// timeline and the buttons, over the view it was opened from (the form, the
// live view or the wall, whose live streams go on). What happens is the
// PlaybackController's; the window draws and passes input on.
//
// Keys: Space plays or pauses; Right steps one picture, Left goes a second
// back, with Shift ten seconds either way; Page Up and Page Down go to the
// previous and next event; +, - and 0 zoom the timeline as they zoom the
// live view; Home goes to the day's first recording; S saves the minute from
// the picture shown into the capture folder; End goes back to live and
// Escape closes, both closing the window.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <cstdint>
#include <memory>

#include "tavolin/camera_record.h"
#include "tavolin/playback_controller.h"

namespace tavolin::ui {

class PlaybackPicture;
class TimelineStrip;

class PlaybackWindow final : public QDialog {
public:
    // Shows `record`'s recordings from `source`, the day of startMs first
    // (kNoTime: five minutes ago).
    PlaybackWindow(const CameraRecord& record, std::unique_ptr<PlaybackSource> source, QWidget* parent = nullptr,
                   int64_t startMs = playback::kNoTime);
    ~PlaybackWindow() override;

    PlaybackController& controller() { return *controller_; }
    PlaybackPicture* picture() const { return picture_; }
    TimelineStrip* timeline() const { return timeline_; }
    QPushButton* playButton() const { return play_; }
    QPushButton* exportButton() const { return export_; }
    QLabel* statusLabel() const { return status_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* button(const QString& text, const QString& tip);
    void buildControls();
    void refresh();
    void showDayOf(int64_t timeMs);

    PlaybackPicture* picture_ = nullptr;
    TimelineStrip* timeline_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* export_ = nullptr;
    QComboBox* speed_ = nullptr;
    QLabel* day_ = nullptr;
    QLabel* status_ = nullptr;
    QList<QWidget*> commands_; // greyed while there is nothing to play
    // Destroyed before the children: the player stops drawing into the picture first.
    std::unique_ptr<PlaybackController> controller_;
};

} // namespace tavolin::ui
