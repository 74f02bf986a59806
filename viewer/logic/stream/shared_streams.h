// Which camera streams the viewer holds open, so that each has one
// connection: a view's stream feeds the captures of its camera too (through
// its FrameFanOut), and a capture opens a connection of its own only for a
// stream no view holds. Many cameras serve one connection at a time, and a
// second would take the stream from the first.
//
// A camera stream is known by what reaches it (type, address, ports, login,
// and which of its streams: channel, another address). A stream is held from
// hold() until it says it has closed. A view's stream displaces any other
// that holds the same camera stream: those are asked to let go, and the new
// one opens once they have closed. Everything runs on the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavolin::ui {

class FrameFanOut;
class LiveStream;
struct StreamSettings;

class SharedStreams final : public QObject {
    Q_OBJECT

public:
    // A view shows the stream (decoded); a capture only copies its records.
    enum class Holder { View, Capture };

    using QObject::QObject;
    ~SharedStreams() override;

    // What one connection reaches.
    static std::string keyOf(const StreamSettings& settings);
    // The camera alone, whichever of its streams.
    static std::string cameraOf(const StreamSettings& settings);

    // `stream`, opened with `settings` (its records reach settings.frames),
    // holds that camera stream from now on. `start` opens it: at once when
    // nothing else holds the camera stream, else once those have closed
    // (a view's stream asks them to let go; a capture's waits).
    void hold(LiveStream& stream, const StreamSettings& settings, Holder holder, std::function<void()> start);

    // The records of camera stream `key`: those of its newest holder, which
    // may still be connecting; null while nothing holds it.
    std::shared_ptr<FrameFanOut> frames(const std::string& key) const;
    // The stream holding camera stream `key`, as frames() chooses it.
    LiveStream* holderOf(const std::string& key) const;
    // A view holds some stream of this camera.
    bool viewHoldsCamera(const std::string& camera) const;
    // Streams held now (open, opening or closing), of every camera.
    int count() const { return static_cast<int>(held_.size()); }

signals:
    // The holder of `stream` is asked to close it: another needs the
    // connection.
    void letGo(tavolin::ui::LiveStream* stream);
    // What holds camera stream `key` changed (a new holder, or one closed).
    void changed(const QString& key);

private:
    struct Held {
        QPointer<LiveStream> stream;
        LiveStream* raw = nullptr; // to know it by once it is being destroyed
        std::string key;
        std::string camera;
        Holder holder = Holder::View;
        std::shared_ptr<FrameFanOut> frames;
        std::function<void()> start; // set while it waits for others to close
        bool askedToLetGo = false;
    };
    void gone(LiveStream* stream);
    void startWaiting(const std::string& key);

    std::vector<Held> held_; // oldest first
};

} // namespace tavolin::ui
