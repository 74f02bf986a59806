// The decoder plug-in of one stream, chosen by processor and bound by name
// on the receive thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "decoder_binding.h"
#include "platform/module.h"
#include "platform/processor.h"

namespace ostrel {

class DecoderPlugin {
public:
    DecoderPlugin() = default;
    ~DecoderPlugin() { unbind(); }
    DecoderPlugin(const DecoderPlugin&) = delete;
    DecoderPlugin& operator=(const DecoderPlugin&) = delete;

    // Loads the decoder for this processor and makes its instance. Without a
    // usable one (the reason is told) the stream runs without pictures.
    void bind(const platform::ProcessorInfo& processor, const std::array<std::string, 2>& names);
    void unbind();

    // Decodes one picture's data; the decoder's picture (header, then
    // pixels), or null when there is no decoder or no picture came back.
    const uint8_t* decode(int32_t width, int32_t height, const uint8_t* data, int32_t length) const;

private:
    platform::Module module_;
    DecoderTable table_;
    void* instance_ = nullptr;
};

} // namespace ostrel
