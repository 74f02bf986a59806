// The exported decoder functions. Nothing thrown gets past them.
#include "decoder/plugin_exports.h"
#include "decoder/video_decoder.h"

namespace {

// The codec a setup names; 0 for a setup this decoder does not understand.
uint32_t codecOf(const DecoderSetup* setup) {
    if (setup == nullptr) return kDecoderCodecMpeg4;
    if (setup->size < sizeof(DecoderSetup) || setup->version != kDecoderSetupVersion) return 0;
    return setup->codec;
}

} // namespace

extern "C" void* M_XCInit(const DecoderSetup* setup) {
    try {
        const uint32_t codec = codecOf(setup);
        if (codec == 0) return nullptr;
        return decoder::VideoDecoder::create(static_cast<DecoderCodec>(codec)).release();
    } catch (...) {
        return nullptr;
    }
}

extern "C" const void* M_XDecode(void* instance, int32_t width, int32_t height, const uint8_t* data, int32_t length,
                                 int32_t /*reserved1*/, int32_t /*reserved2*/, int32_t /*reserved3*/) {
    if (instance == nullptr || length <= 0) return nullptr;
    try {
        return static_cast<decoder::VideoDecoder*>(instance)->decode(width, height, data,
                                                                     static_cast<std::size_t>(length));
    } catch (...) {
        return nullptr;
    }
}

extern "C" int32_t M_XCExit(void* instance) {
    if (instance == nullptr) return 0;
    delete static_cast<decoder::VideoDecoder*>(instance);
    return 1;
}

extern "C" int32_t M_XCGetSourceSize(void* instance, int32_t* width, int32_t* height) {
    if (instance == nullptr || width == nullptr || height == nullptr) return 0;
    const auto size = static_cast<decoder::VideoDecoder*>(instance)->sourceSize();
    *width = size.width;
    *height = size.height;
    return size.width > 0 ? 1 : 0;
}

extern "C" int32_t M_XCDecodeFrame(void* instance, int32_t width, int32_t height, const uint8_t* data, int32_t length,
                                   int32_t* pictureWidth, int32_t* pictureHeight) {
    if (instance == nullptr || length <= 0 || pictureWidth == nullptr || pictureHeight == nullptr) return 0;
    try {
        decoder::VideoDecoder::Size size;
        if (!static_cast<decoder::VideoDecoder*>(instance)->decodeFrame(width, height, data,
                                                                        static_cast<std::size_t>(length), &size))
            return 0;
        *pictureWidth = size.width;
        *pictureHeight = size.height;
        return 1;
    } catch (...) {
        return 0;
    }
}

extern "C" int32_t M_XCWritePicture(void* instance, uint8_t* pixels, int32_t stride) {
    if (instance == nullptr || stride <= 0) return 0;
    try {
        return static_cast<decoder::VideoDecoder*>(instance)->writePicture(pixels, static_cast<std::size_t>(stride))
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" int32_t M_XCWritePlanes(void* instance, uint8_t* y, int32_t yStride, uint8_t* u, uint8_t* v,
                                   int32_t uvStride) {
    if (instance == nullptr || y == nullptr || u == nullptr || v == nullptr || yStride <= 0 || uvStride <= 0) return 0;
    try {
        using Range = decoder::VideoDecoder::Range;
        switch (static_cast<decoder::VideoDecoder*>(instance)->writePlanes(y, yStride, u, v, uvStride)) {
        case Range::Studio: return 1;
        case Range::Full: return 2;
        case Range::None: return 0;
        }
        return 0;
    } catch (...) {
        return 0;
    }
}
