// A camera's own recordings as a playback view's source: the camera's
// archive (its search and replay services) asked with its record's address
// and account. Only ONVIF cameras offer one; any other says so.
#pragma once

#include <memory>
#include <vector>

#include <onvif/recordings.h>

#include "tavolin/camera_record.h"
#include "tavolin/playback_source.h"

namespace tavolin {

std::unique_ptr<PlaybackSource> cameraPlaybackSource(const CameraRecord& record);

// The events a timeline marks: changes to on of motion, inputs and others
// (not their ends, the state at a search's start or data coming and going).
std::vector<TimelineEvent> timelineEvents(const std::vector<onvif::RecordedEvent>& events);

} // namespace tavolin
