// The streams of the cameras a viewer shows, asked for once per camera and
// shared by every view: an ONVIF camera's profiles are fetched on a worker
// thread the first time a view needs them (and again after a failed fetch),
// and what pictures tell of an RTSP stream's size is kept for the next view.
// A camera is known by what reaches it (type, address, ports, login,
// channel), so an edited record is a new camera. Beside them it keeps which
// of the streams are open now (SharedStreams), for every view and capture.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "onvif/replies.h"
#include "stream/background_calls.h"
#include "stream/shared_streams.h"
#include "stream/stream_options.h"

namespace tavolin::ui {

struct StreamSettings;

class StreamCatalogues final : public QObject {
    Q_OBJECT

public:
    // Asks the camera of `settings` for its profiles, on a worker thread;
    // nothing when it could not tell. Ends soon after `stop` is requested.
    using ProfileFetch =
        std::function<std::optional<std::vector<onvif::Profile>>(const StreamSettings& settings, std::stop_token stop)>;

    // The fetch over ONVIF, each call bounded by `callTimeoutMs`.
    static ProfileFetch onvifProfiles(int callTimeoutMs = 2000);

    explicit StreamCatalogues(ProfileFetch fetch = onvifProfiles(), QObject* parent = nullptr);
    // Stops the fetches under way and waits for them.
    ~StreamCatalogues() override;

    SharedStreams& shared() { return *shared_; }
    StreamCatalogues(const StreamCatalogues&) = delete;
    StreamCatalogues& operator=(const StreamCatalogues&) = delete;

    // The camera's streams, or none while they are being asked for: ready()
    // follows with the camera's key.
    std::optional<StreamOptions> streams(const StreamSettings& settings);
    // What a picture of stream `option` decoded into `box` tells of its size.
    void pictureSeen(const StreamSettings& settings, int option, QSize picture, QSize box);

    static std::string keyOf(const StreamSettings& settings);

signals:
    void ready(const QString& key);

private:
    void fetched(const std::string& key, const std::optional<std::vector<onvif::Profile>>& profiles);

    ProfileFetch fetch_;
    SharedStreams* shared_; // a child
    std::map<std::string, StreamOptions> known_;
    std::set<std::string> failed_; // the last fetch failed
    std::set<std::string> asked_;  // a fetch is under way
    // Declared last: its workers are joined before what they use goes.
    BackgroundCalls fetching_;
};

} // namespace tavolin::ui
