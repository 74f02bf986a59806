// What the live view's logic asks of the window that shows it: pictures,
// labels, the progress bar, the menu's items, questions to the user, and
// the display's orientation. The widget implements it; tests record it.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <optional>

#include "aim/gray_picture.h"
#include "live/live_menu_state.h"
#include "live/picture_fit.h"
#include "live/ptz_sectors.h"
#include "shell/prompt.h"

namespace tavolin::ui {

enum class Background { Plain, Connecting, Failed };
inline constexpr int kIndicatorCount = 6; // MD1, MD2, MD3, MD4, DI1, DI2
using IndicatorStates = std::array<bool, kIndicatorCount>;

class LiveViewDisplay {
public:
    virtual ~LiveViewDisplay() = default;

    virtual void setBackground(Background background) = 0;
    // Forgets the last stream's picture; the background shows until the next.
    virtual void clearVideo() = 0;
    virtual void setPictureFit(PictureFit fit) = 0;
    // "Reconnecting..." over the last picture, while the stream is tried again.
    virtual void showReconnecting(bool shown) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgress(int value, int maximum) = 0;
    virtual void setNameText(const QString& text) = 0;
    virtual void setNameVisible(bool visible) = 0;
    virtual void showIndicators(const IndicatorStates& shown) = 0;
    // The arrow picture of `sector` with its top-left corner at `at`.
    virtual void showArrow(PtzSector sector, QPoint at) = 0;
    virtual void hideArrow(PtzSector sector) = 0;
    virtual void showMenuState(const LiveMenuState& state) = 0;
    virtual void openMenu() = 0;
    // A message over the view, modal to it; returns at once, and `answered`
    // (when given) gets the answer.
    virtual void ask(const Prompt& prompt, PromptAnswered answered = {}) = 0;
    virtual void setOrientation(int degrees) = 0;
    // The red mark while the shown camera records a clip.
    virtual void showRecording(bool) {}
    // Ends the view: it closes and whoever opened it is told.
    virtual void finish() = 0;
    // The digital zoom changed to `factor`: the picture is repainted with the
    // part shown and the factor appears for a moment.
    virtual void showZoom(double factor) { (void)factor; }
    // A line over the picture for a few seconds, needing no answer.
    virtual void showNote(const QString& line) { (void)line; }
    // Pointing: a small grey copy of the picture shown now (nothing without
    // one); where the camera is being pointed (a point, as a rectangle of no
    // size, or a box), drawn for a moment; the box being drawn (nothing when
    // none). What came of it goes to showNote.
    virtual std::optional<aim::GrayPicture> pictureSample() { return std::nullopt; }
    virtual void showAimTarget(QRect target) { (void)target; }
    virtual void showAimBox(std::optional<QRect> box) { (void)box; }
};

} // namespace tavolin::ui
