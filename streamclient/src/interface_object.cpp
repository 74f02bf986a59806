#include "interface_object.h"

#include "audio_player.h"
#include "audio_sender.h"
#include "video_renderer.h"

OstrelInterface::OstrelInterface() = default;

OstrelInterface::~OstrelInterface() = default;
