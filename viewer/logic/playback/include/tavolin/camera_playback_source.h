// A camera's own recordings as a playback view's source: the camera's
// archive (its search and replay services) asked with its record's address
// and account. Only ONVIF cameras offer one; any other says so.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <onvif/recordings.h>

#include "tavolin/camera_record.h"
#include "tavolin/playback_source.h"

namespace tavolin {

// With `clipFolder`, Tavolin's clips of the camera in it (by the record's
// name) come along.
std::unique_ptr<PlaybackSource> cameraPlaybackSource(const CameraRecord& record, const std::string& clipFolder = {});

// The events a timeline marks: changes to on of motion, inputs and others
// (not their ends, the state at a search's start or data coming and going).
std::vector<TimelineEvent> timelineEvents(const std::vector<onvif::RecordedEvent>& events);

} // namespace tavolin
