// Where the control-request and two-way-audio files plug into the object's
// life.
#pragma once

#include <memory>

struct OstrelInterface;

namespace ostrel {

class AudioSender;

// audio_exports.cpp: the audio sender made by M_KOpenInterface.
std::unique_ptr<AudioSender> makeAudioSender(OstrelInterface& self);
// control_exports.cpp: closes the PTZ handle, if any (M_KCloseInterface).
void releasePtz(OstrelInterface& self);

} // namespace ostrel
