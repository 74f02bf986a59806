// Streams asked to close, each kept until it says it has closed: closing a
// camera's stream takes a while (its worker disconnects), and nothing of it
// may wait on the GUI thread. Once a stream has closed, its object is deleted
// after the signal that told it has returned.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "live/live_stream.h"

namespace tavolin::ui {

class ClosingStreams {
public:
    // Runs once the stream is gone: `closedItself` true when it said it had
    // closed, false when the set went first (after the stream's object).
    using Gone = std::function<void(bool closedItself)>;

    // `owner` is whom the streams told their news: from the retirement on it
    // hears only their end. `allClosed` runs whenever the last stream
    // closing has closed.
    explicit ClosingStreams(QObject& owner, std::function<void()> allClosed = {});
    // Streams still closing go with their objects (each waits for its own
    // worker); then their `gone` runs.
    ~ClosingStreams();
    ClosingStreams(const ClosingStreams&) = delete;
    ClosingStreams& operator=(const ClosingStreams&) = delete;

    // Closes `stream` and keeps it until it has closed.
    void retire(std::unique_ptr<LiveStream> stream, Gone gone = {});
    bool empty() const { return closing_.empty(); }
    std::size_t size() const { return closing_.size(); }
    // Runs `next` once every stream retired so far has closed (at once when
    // none is closing).
    void whenAllClosed(std::function<void()> next);

private:
    struct Closing {
        std::unique_ptr<LiveStream> stream;
        Gone gone;
    };
    void closed(LiveStream* stream);

    QObject& owner_;
    std::function<void()> allClosed_;
    std::vector<Closing> closing_;
    std::vector<std::function<void()>> waiting_;
};

} // namespace tavolin::ui
