// The exported decoder functions. Nothing thrown gets past them.
#include "decoder/plugin_exports.h"
#include "mpeg4_decoder.h"

extern "C" void* M_XCInit(void* /*reserved*/) {
    try {
        return decoder::Mpeg4Decoder::create().release();
    } catch (...) {
        return nullptr;
    }
}

extern "C" const void* M_XDecode(void* instance, int32_t width, int32_t height, const uint8_t* data, int32_t length,
                                 int32_t /*reserved1*/, int32_t /*reserved2*/, int32_t /*reserved3*/) {
    if (instance == nullptr || length <= 0) return nullptr;
    try {
        return static_cast<decoder::Mpeg4Decoder*>(instance)->decode(width, height, data,
                                                                     static_cast<std::size_t>(length));
    } catch (...) {
        return nullptr;
    }
}

extern "C" int32_t M_XCExit(void* instance) {
    if (instance == nullptr) return 0;
    delete static_cast<decoder::Mpeg4Decoder*>(instance);
    return 1;
}
