// A camera's streams, as a place may choose between them: what opens each
// one (a channel, another address) and the size of its pictures where known.
// Protocols 1 and 2 have one stream; an RTSP camera its URL and, when set,
// a second, smaller one; an ONVIF camera the profiles that show its picture.
#pragma once

#include <QSize>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "onvif/replies.h"

struct MediaConfig;

namespace tavolin::ui {

struct StreamSettings;

struct StreamOption {
    int32_t channel = 0; // the connection record's channel (an ONVIF profile's number)
    std::string address; // replaces the record's address when not empty
    QSize size;          // of its pictures; empty while not known
    // False while `size` is only what one of its pictures showed in a box
    // smaller than the stream: its pictures are at least that large.
    bool sizeExact = false;
    std::string profileToken = {}; // an ONVIF profile's, for its snapshot
    bool operator==(const StreamOption&) const = default;
};
using StreamOptions = std::vector<StreamOption>; // from the smallest to the largest

// The streams known from the settings alone: none (nullopt) for an ONVIF
// camera on the automatic channel 0, whose profiles must be asked for.
std::optional<StreamOptions> streamsOfSettings(const StreamSettings& settings);

// An ONVIF camera's streams on channel 0: the profiles showing its picture;
// the plug-in's own choice (channel 0) when the camera names none.
StreamOptions streamsOfProfiles(const std::vector<onvif::Profile>& profiles);

// What a stream's first picture tells of its size: `picture` came decoded
// into `box` (never enlarged, aspect kept), so a picture smaller than the
// box on both sides is the stream's own size, and a larger stream at least
// fills it. Sizes known exactly stay as they are.
void learnSize(StreamOption& option, QSize picture, QSize box);

// The connection record of `option`: `config` with its channel and address.
void applyOption(MediaConfig& config, const StreamOption& option);

} // namespace tavolin::ui
