// The exported decoder functions. Nothing thrown gets past them.
#include "decoder/contract.h"
#include "mpeg4_decoder.h"

#include <type_traits>

#define DECODER_EXPORT extern "C" __attribute__((visibility("default")))

DECODER_EXPORT void* M_XCInit(void* /*reserved*/) {
    try {
        return decoder::Mpeg4Decoder::create().release();
    } catch (...) {
        return nullptr;
    }
}

DECODER_EXPORT const void* M_XDecode(void* instance, int32_t width, int32_t height, const uint8_t* data,
                                     int32_t length, int32_t /*reserved1*/, int32_t /*reserved2*/,
                                     int32_t /*reserved3*/) {
    if (instance == nullptr || length <= 0) return nullptr;
    try {
        return static_cast<decoder::Mpeg4Decoder*>(instance)->decode(width, height, data,
                                                                     static_cast<std::size_t>(length));
    } catch (...) {
        return nullptr;
    }
}

DECODER_EXPORT int32_t M_XCExit(void* instance) {
    if (instance == nullptr) return 0;
    delete static_cast<decoder::Mpeg4Decoder*>(instance);
    return 1;
}

static_assert(std::is_same_v<decltype(&M_XCInit), M_XCInit_t>);
static_assert(std::is_same_v<decltype(&M_XDecode), M_XDecode_t>);
static_assert(std::is_same_v<decltype(&M_XCExit), M_XCExit_t>);
