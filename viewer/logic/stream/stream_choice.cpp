#include "stream/stream_choice.h"

namespace tavolin::ui {

bool streamCovers(QSize stream, QSize place, double zoom) {
    if (stream.isEmpty()) return true;
    if (place.isEmpty()) return true;
    // Fitted with its aspect kept, the picture fills the place's width or its
    // height; it is enlarged unless the stream has as many pixels on that side.
    return stream.width() >= place.width() * zoom || stream.height() >= place.height() * zoom;
}

int chooseStream(QSize place, double zoom, std::span<const QSize> streams) {
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (streamCovers(streams[i], place, zoom)) return static_cast<int>(i);
    }
    return static_cast<int>(streams.size()) - 1;
}

} // namespace tavolin::ui
