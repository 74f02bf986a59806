// The decoder plug-in of one stream, chosen by processor and bound by name
// on the receive thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "decoder_binding.h"
#include "picture_scan.h"
#include "platform/module.h"
#include "platform/processor.h"
#include "platform/surface.h"

namespace ostrel {

class DecoderPlugin {
public:
    DecoderPlugin() = default;
    ~DecoderPlugin() { unbind(); }
    DecoderPlugin(const DecoderPlugin&) = delete;
    DecoderPlugin& operator=(const DecoderPlugin&) = delete;

    // Loads the decoder for this processor and, unless `deferInstance`, makes
    // its MPEG-4 instance. Without a usable one (the reason is told) the
    // stream runs without pictures.
    void bind(const platform::ProcessorInfo& processor, const std::array<std::string, 2>& names,
              bool deferInstance = false);
    void unbind();
    // Makes the instance for `codec` when the bound one decodes another codec
    // (or none was made); true when an instance for it exists.
    bool useCodec(DecoderCodec codec);
    bool decodes(DecoderCodec codec) const { return instance_ != nullptr && codec_ == codec; }

    // Decodes one picture's data; the decoder's picture (header, then
    // pixels), or null when there is no decoder or no picture came back.
    const uint8_t* decode(int32_t width, int32_t height, const uint8_t* data, int32_t length) const;
    // The latest picture's size as the stream carries it; 0 x 0 when the
    // decoder cannot tell.
    PictureSize sourceSize() const;

    // Whether the decoder writes its pictures into the caller's buffer, in
    // two steps: decodeFrame decodes and tells the size the picture will
    // have (false when none came), writePicture writes it as 32-bit rows
    // `stride` bytes apart.
    bool writesIntoCallersBuffer() const;
    bool decodeFrame(int32_t width, int32_t height, const uint8_t* data, int32_t length, PictureSize& size) const;
    bool writePicture(uint8_t* pixels, std::size_t stride) const;
    // Or as 4:2:0 planes: 1 studio range, 2 full range, 0 not written. A
    // decoder that did not write one picture as planes is asked for rows from
    // then on, until it decodes another codec.
    bool writesPlanes() const { return writesIntoCallersBuffer() && table_.writePlanes != nullptr && !planesRefused_; }
    int writePlanes(const platform::PlanarTarget& planes);

private:
    platform::Module module_;
    DecoderTable table_;
    void* instance_ = nullptr;
    uint32_t codec_ = 0; // of instance_
    bool planesRefused_ = false;
};

} // namespace ostrel
