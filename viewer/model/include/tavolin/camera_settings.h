// How a camera record maps to the keys of its settings-file section: the
// defaults and conversions on load, the value forms and replacements on save.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavolin/camera_record.h"

namespace tavolin {

inline constexpr const char* kPtzProtocolFileKey = "PTZProtocolFileName";

// The longest line the settings file reads back, without its line end: the
// store cuts a longer key=value line when it writes it, and keeps a value
// only up to its first line break.
inline constexpr std::size_t kMaxSettingsLine = 253;

// Whether `value` goes into the file under `key` and comes back as itself.
bool fitsSettingsLine(std::string_view key, std::string_view value);

// Leading decimal number of a text, as the file's numbers are read: optional
// blanks and sign, then digits; 0 when the text does not begin with a number.
// Values beyond the 32-bit range are held at its ends.
int32_t parseDecimal(const char* text);

// Builds the record at `index` from the value of each key (an empty or
// missing value reads as ""), applying every default and conversion.
using ValueLookup = std::function<const char*(const char* key)>;
CameraRecord recordFromValues(int index, const ValueLookup& value);

// An RTSP URL or host name too long for one "CameraIP" line goes on with
// "CameraIPMore"; only RTSP and ONVIF records write and read it, so a record
// of another type never picks up a piece left from an earlier type.
inline constexpr const char* kHostMoreKey = "CameraIPMore";

// An RTSP camera's second stream, written for RTSP records only, and its
// continuation like the host's (older builds ignore both).
inline constexpr const char* kSubStreamKey = "SubStreamURL";
inline constexpr const char* kSubStreamMoreKey = "SubStreamURLMore";

// A PTZ camera's calibration for pointing, written only when measured (older
// builds ignore it).
inline constexpr const char* kPtzCalibrationKey = "PTZCalibration";

// Applies the save-time replacements to `record` (PTZ address, streaming type
// and PTZ speed of 0 become 1, 2 and 3; the host cut to its type's limit) and
// returns the key/value texts in save order: the 27 original keys, then
// "AutoReconnect" and "KeepAspect", then "CameraIPMore" for RTSP and ONVIF,
// then "SubStreamURL" and "SubStreamURLMore" for RTSP, then "PTZCalibration"
// when there is one.
using KeyValues = std::vector<std::pair<const char*, std::string>>;
KeyValues valuesForSave(CameraRecord& record);

} // namespace tavolin
