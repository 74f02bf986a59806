// Which of a camera's streams a place shows: the smallest whose pictures are
// never enlarged there, so a wall cell decodes a small stream and the full
// screen a large one.
#pragma once

#include <QSize>
#include <span>

namespace tavolin::ui {

// True when pictures of `stream`'s size, fitted into `place` with their
// aspect kept and magnified `zoom` times, are never enlarged on the screen:
// each shown pixel comes from at least one of the stream's. A stream of
// unknown size (empty) counts as covering, until its first picture tells.
bool streamCovers(QSize stream, QSize place, double zoom);

// The stream a place of `place` pixels shows at digital zoom `zoom`, as an
// index into `streams` (ordered from the smallest to the largest): the
// first that covers it, or the last when none does. -1 without streams.
int chooseStream(QSize place, double zoom, std::span<const QSize> streams);

} // namespace tavolin::ui
