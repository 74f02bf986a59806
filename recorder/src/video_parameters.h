// What a muxer must know of a video stream before its first picture: the
// codec, the picture size and the parameter sets. All of it is read from the
// stream's first key picture, which carries its parameter sets in band.
#pragma once

#include <span>
#include <string>

#include "recorder/frame.h"

struct AVCodecParameters;

namespace recorder {

// Fills `parameters` (codec type, id, size, extradata) from a key picture of
// `kind`. False, with the reason in `error`, when the picture cannot be read.
bool describeVideo(MediaKind kind, std::span<const uint8_t> keyPicture, AVCodecParameters& parameters,
                   std::string& error);

} // namespace recorder
