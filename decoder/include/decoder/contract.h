// The decoder plug-in contract: the three functions a decoder plug-in exports
// (bound by name) and the picture they hand back.
//
// A picture is a 40-byte bitmap information header followed at once by the
// pixel rows. Our decoder fills it like this:
//   - 32 bits per pixel, uncompressed (compression 0); every pixel is four
//     bytes blue, green, red, 255 (the layout of a little-endian 0xFFRRGGBB
//     word), so a row is width * 4 bytes and needs no padding;
//   - rows run top-down, which the header states the usual way: the height
//     field holds the negative picture height;
//   - imageSize = width * 4 * height, never above kMaxPictureBytes;
//   - width and height are the ones the caller passed to M_XDecode (the
//     decoded picture is scaled to them); when the caller passes 0 for either,
//     the decoded picture's own size is used.
// The picture belongs to the decoder instance and stays valid until the next
// M_XDecode or M_XCExit on that instance.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

struct PictureHeader {
    uint32_t headerSize;     // 40
    int32_t width;
    int32_t height;          // negative: rows run top-down
    uint16_t planes;         // 1
    uint16_t bitCount;       // bits per pixel (32)
    uint32_t compression;    // 0 = uncompressed RGB
    uint32_t imageSize;      // bytes of pixel data after the header
    int32_t xPelsPerMeter;   // 0
    int32_t yPelsPerMeter;   // 0
    uint32_t colorsUsed;     // 0
    uint32_t colorsImportant;// 0
};

// Makes a decoder instance; the argument is reserved (pass null). Null when
// no decoder could be made.
typedef void* (*M_XCInit_t)(void* reserved);
// Decodes one frame of MPEG-4 Visual data. The last three arguments are
// reserved (pass 0). Returns the picture, or null when none is ready.
typedef const void* (*M_XDecode_t)(void* instance, int32_t width, int32_t height, const uint8_t* data,
                                   int32_t length, int32_t reserved1, int32_t reserved2, int32_t reserved3);
// Frees the instance; the result carries no meaning.
typedef int32_t (*M_XCExit_t)(void* instance);

} // extern "C"

namespace decoder {

inline constexpr std::size_t kPictureHeaderSize = 40;
// The size of the stream client's picture buffer: no picture is larger.
inline constexpr std::size_t kMaxPictureBytes = 1659904;
inline constexpr uint16_t kBitsPerPixel = 32;
inline constexpr std::size_t kBytesPerPixel = kBitsPerPixel / 8;

// Offsets the stream client reads.
inline constexpr std::size_t kBitCountOffset = 14;
inline constexpr std::size_t kImageSizeOffset = 20;

// Plug-in names by decoder type.
inline constexpr char kGarnetName[] = "Garnet-M";   // decoder type 1
inline constexpr char kQuillonName[] = "Quillon-M"; // decoder type 2

} // namespace decoder

static_assert(sizeof(PictureHeader) == decoder::kPictureHeaderSize);
static_assert(offsetof(PictureHeader, bitCount) == decoder::kBitCountOffset);
static_assert(offsetof(PictureHeader, imageSize) == decoder::kImageSizeOffset);
static_assert(offsetof(PictureHeader, height) == 8);
static_assert(offsetof(PictureHeader, compression) == 16);
