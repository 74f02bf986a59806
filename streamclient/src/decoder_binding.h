// The decoder plug-in: chosen by processor name, bound by name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/module.h"
#include "platform/processor.h"

namespace ostrel {

extern "C" {
typedef void* (*M_XCInit_t)(void* unused);
typedef int32_t (*M_XCExit_t)(void* decoder);
// decoder, width, height, data, length, then three zeros; returns a picture
// (40-byte bitmap information header, pixels right after) or null.
typedef const uint8_t* (*M_XDecode_t)(void* decoder, int32_t width, int32_t height, const uint8_t* data,
                                      int32_t length, int32_t zero1, int32_t zero2, int32_t zero3);
}

struct DecoderTable {
    M_XCInit_t init = nullptr;
    M_XCExit_t exit = nullptr;
    M_XDecode_t decode = nullptr;
};

// Decoder type 1 serves processors whose name or core name contains "PXA";
// every other processor, and an unreadable one, gets type 2.
int chooseDecoderType(const platform::ProcessorInfo& info);

// Offsets in the picture's bitmap information header.
inline constexpr std::size_t kBitmapHeaderSize = 40;
inline constexpr std::size_t kBitCountOffset = 14;
inline constexpr std::size_t kImageSizeOffset = 20;

} // namespace ostrel
