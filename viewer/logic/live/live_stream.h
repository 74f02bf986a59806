// One camera's stream as the live view sees it: opened with the settings of
// one camera record, connecting in the background, reporting on the GUI
// thread by signals, taking the view's commands, and closed asynchronously.
// CameraStream is the one over the stream client; tests use a fake.
#pragma once

#include <ostrel/stream_client.h>

#include <QObject>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "live/aim_request.h"
#include "live/ptz_sectors.h"
#include "transport/contract.h"
#include "transport/streaming_types.h"

namespace tavolin::ui {

class FrameFanOut;

// What a stream is opened with.
struct StreamSettings {
    int32_t streamingType = 2;
    MediaConfig connection{};
    RenderInfo render{};
    // Motion and digital-input reports wanted.
    bool events = false;
    // PTZ on: the protocol, and the serial setting sent right after connecting.
    std::optional<PTZEnableInfo> ptz;
    uint8_t serialControl = 0;
    uint8_t serialBaudRate = 0;
    bool playAudio = false;
    // Opened only to record it: nothing decoded or drawn.
    bool recordOnly = false;
    // Where its frame records go (on the stream client's receive thread), for
    // whoever copies them; null: nowhere.
    std::shared_ptr<FrameFanOut> frames;
    // An RTSP camera's second, smaller stream (a whole URL); empty: none.
    std::string subStreamAddress;
};

// The camera's on-screen menu: switched on and off, moved, entered, left,
// and the stop after an up or down move.
enum class OsdCommand { On, Off, Up, Down, Leave, Enter, StopUp, StopDown };

enum class TalkResult {
    Refused, // another client holds the audio-out token; it is freed again
    Failed,  // the token came, the microphone did not; transfer stopped, token freed
    Started,
    Unavailable, // the camera has no back channel or refused it; the text says why
};

// How "Audio Out" reaches a camera ("On" does nothing where it does not).
using TalkRoute = transport::AudioOut;

constexpr TalkRoute talkRouteFor(int32_t streamingType) { return transport::audioOutOf(streamingType); }

class LiveStream : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts connecting; connected() or failed() follows.
    virtual void open() = 0;
    // Ends the stream; closed() follows once nothing of it runs any more.
    // Commands after this do nothing.
    virtual void close() = 0;

    // Commands, in the order given; none waits for the camera. While the
    // stream connects they do nothing, as an unconnected stream client does.
    virtual void startMove(PtzSector sector, int speed) = 0;
    virtual void stopMove(PtzSector sector) = 0;
    virtual void setPreset(int preset) = 0;
    virtual void goToPreset(int preset) = 0;
    virtual void osd(OsdCommand command) = 0;
    virtual void setQuadDisplay(int mode) = 0;
    virtual void setOutput(bool on) = 0;
    virtual void setAudioIn(bool play) = 0;
    // Asks for the audio-out token and starts sending the microphone;
    // talkResult() follows.
    virtual void startTalking() = 0;
    virtual void stopTalking() = 0;
    // From now on pictures come no larger than `box` (the wall's cells change
    // size with the layout); the decoder scales them, once.
    virtual void fitPicturesInto(QSize box) = 0;
    // The place shows its pictures magnified `factor` times (the digital
    // zoom). A stream that chooses between the camera's streams takes it
    // into the size it needs; one stream alone has nothing to choose.
    virtual void setDigitalZoom(double factor) { (void)factor; }
    // Turns the camera so that the target comes to the middle of its picture
    // (and zooms for a box), measuring its moves first where it needs that;
    // aimed() follows. A stream that cannot point says so in aimed().
    virtual void aim(const AimRequest& request) {
        (void)request;
        emit aimed(AimOutcome{false, QStringLiteral("this camera cannot be pointed"), std::nullopt});
    }

signals:
    void connected();
    // `reason` says why, as far as the libraries told; empty when they did not.
    void failed(const QString& reason);
    // Every 100 ms while connecting, counting from 1.
    void progress(int step);
    void motion(int region1, int region2, int region3, int region4);
    void input(int input1, int input2);
    // `reason` says why, when the libraries told.
    void networkLost(const QString& reason = {});
    // The connection's first picture was drawn; told once per connection.
    void pictureShown();
    // `text` names who holds the token when it was refused, or says why the
    // camera cannot be talked to when unavailable.
    void talkResult(tavolin::ui::TalkResult result, const QString& text);
    // Told once connected when the camera says it cannot be talked to (an
    // ONVIF camera without an audio output); `reason` is one line.
    void audioOutUnavailable(const QString& reason);
    // A line for the user about the stream that needs no answer (a larger
    // stream that failed while a smaller one is shown).
    void note(const QString& line);
    // What came of aim(); emitted on the GUI thread.
    void aimed(const tavolin::ui::AimOutcome& outcome);
    void closed();
};

} // namespace tavolin::ui
