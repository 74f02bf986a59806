// The GStreamer source of a replay session: the raw pictures of one
// recording of the SD card, from wherever a seek lands. It is not live and
// it seeks in time: a seek's start is in nanoseconds since 1900 (the RTSP
// server's clock= ranges), and playback starts at the key picture at or
// before it (after the gap when it falls in one). The segment it sends
// carries the picture times as stream time, so an element downstream maps
// a buffer to the absolute time it was recorded.
//
// What it does on the way:
// - a forced key picture on the card's key-picture grid (the encoder after
//   it follows), and only key pictures in a key-unit trick mode, at most one
//   per trick-mode interval;
// - the scale of a PLAY request applied to the pictures' times (the segment
//   says so: applied rate), its speed left to the segment's rate;
// - over a gap, a discontinuity the ONVIF time-stamp element marks (the last
//   picture before it ends a section, the first after it is a new one);
// - at the recording's end, the end of the stream; at the newest picture of
//   a recording still being recorded, a wait for the next one.
#pragma once

#include "camsim/sd_card.h"
#include "recorded_scene.h"

#include <gst/gst.h>

#include <memory>
#include <string>

namespace camsim::replay {

// Nanoseconds from 1900-01-01 to 1970-01-01.
inline constexpr guint64 kNtpToUnixNs = 2208988800ULL * GST_SECOND;
// The custom event that tells the ONVIF time-stamp element of a gap.
inline constexpr const char* kOnvifTimestampEvent = "GstOnvifTimestamp";

// A new source element for recording `token`.
GstElement* makeReplaySource(std::shared_ptr<const SdCard> card, std::shared_ptr<RecordedScene> scene,
                             const std::string& token);

// The Scale of the PLAY request being answered (positive): the seek it
// makes asks for Scale times Speed, and the source takes the scale to the
// pictures' times, leaving the speed to the delivery.
void setReplayScale(GstElement* source, double scale);

} // namespace camsim::replay
