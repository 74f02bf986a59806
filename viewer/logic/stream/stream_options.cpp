#include "stream/stream_options.h"

#include <cstring>

#include "live/live_stream.h"
#include "transport/contract.h"
#include "transport/streaming_types.h"

namespace tavolin::ui {

std::optional<StreamOptions> streamsOfSettings(const StreamSettings& settings) {
    const int32_t channel = settings.connection.channel;
    if (settings.streamingType == transport::kOnvifStreamingType) {
        if (channel == 0) return std::nullopt;
        return StreamOptions{{channel, {}, {}, false}};
    }
    if (settings.streamingType == transport::kRtspStreamingType && !settings.subStreamAddress.empty()) {
        // The second stream is the smaller one: it is tried first, and its
        // first picture tells whether it is large enough.
        return StreamOptions{{channel, settings.subStreamAddress, {}, false}, {channel, {}, {}, false}};
    }
    return StreamOptions{{channel, {}, {}, false}};
}

StreamOptions streamsOfProfiles(const std::vector<onvif::Profile>& profiles) {
    StreamOptions options;
    for (const onvif::ChannelProfile& p : onvif::switchableProfiles(profiles)) {
        const bool sized = p.profile.width > 0 && p.profile.height > 0;
        options.push_back(
            {p.channel, {}, sized ? QSize(p.profile.width, p.profile.height) : QSize(), sized, p.profile.token});
    }
    if (options.empty()) options.push_back({0, {}, {}, false});
    return options;
}

void learnSize(StreamOption& option, QSize picture, QSize box) {
    if (option.sizeExact || picture.isEmpty()) return;
    const bool whole = box.isEmpty() || (picture.width() < box.width() && picture.height() < box.height());
    option.size = option.size.expandedTo(picture);
    option.sizeExact = whole;
    if (whole) option.size = picture;
}

void applyOption(MediaConfig& config, const StreamOption& option) {
    config.channel = option.channel;
    if (option.address.empty()) return;
    const std::size_t n = std::min(option.address.size(), sizeof config.cameraAddress - 1);
    std::memcpy(config.cameraAddress, option.address.data(), n);
    config.cameraAddress[n] = '\0';
}

} // namespace tavolin::ui
