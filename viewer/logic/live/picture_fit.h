// How the live view fits a camera's picture into its window.
#pragma once

#include <QRect>
#include <QSize>

namespace tavolin::ui {

enum class PictureFit {
    Stretch,    // the whole rectangle, whatever the picture's shape
    KeepAspect, // as large as fits, centred, black bars beside it, smoothly scaled
};

// Where a picture of `picture`'s size goes in `box` with its aspect kept: as
// large as fits, centred. Empty when either is empty.
QRect fitKeepingAspect(QSize picture, const QRect& box);

} // namespace tavolin::ui
