#include "live/closing_streams.h"

#include <algorithm>
#include <utility>

namespace tavolin::ui {

ClosingStreams::ClosingStreams(QObject& owner, std::function<void()> allClosed)
    : owner_(owner), allClosed_(std::move(allClosed)) {}

ClosingStreams::~ClosingStreams() {
    std::vector<Closing> closing = std::move(closing_);
    for (Closing& c : closing) {
        c.stream.reset();
        if (c.gone) c.gone(false);
    }
}

void ClosingStreams::retire(std::unique_ptr<LiveStream> stream, Gone gone) {
    LiveStream* s = stream.get();
    // Only the end of the stream matters from now on.
    s->disconnect(&owner_);
    QObject::connect(s, &LiveStream::closed, &owner_, [this, s] { closed(s); });
    closing_.push_back({std::move(stream), std::move(gone)});
    s->close();
}

void ClosingStreams::closed(LiveStream* stream) {
    const auto it =
        std::find_if(closing_.begin(), closing_.end(), [stream](const Closing& c) { return c.stream.get() == stream; });
    if (it == closing_.end()) return;
    // Its signal is still being emitted: the object goes once that is over.
    it->stream.release()->deleteLater();
    Gone gone = std::move(it->gone);
    closing_.erase(it);
    if (gone) gone(true);
    if (!closing_.empty()) return;
    std::vector<std::function<void()>> next;
    next.swap(waiting_);
    for (auto& work : next) work();
    if (allClosed_) allClosed_();
}

void ClosingStreams::whenAllClosed(std::function<void()> next) {
    if (closing_.empty()) {
        next();
    } else {
        waiting_.push_back(std::move(next));
    }
}

} // namespace tavolin::ui
