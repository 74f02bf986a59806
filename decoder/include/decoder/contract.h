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
//   - MPEG-4 Visual: width and height are the ones the caller passed to
//     M_XDecode (the decoded picture is scaled to them); when the caller
//     passes 0 for either, the decoded picture's own size is used.
//   - H.264, H.265 and JPEG: the caller's width and height are a box; a
//     picture larger than the box is scaled down into it, its aspect kept, a
//     smaller one keeps its own size (never scaled up). 0 for either: no box.
//     Pictures up to 3840 x 2160 (kMaxCodecPictureBytes).
// The picture belongs to the decoder instance and stays valid until the next
// M_XDecode or M_XCExit on that instance.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Which codec a decoder instance decodes: M_XCInit's argument. Null stands
// for MPEG-4 Visual. The codec numbers are the stream kinds of the frame
// records that carry them.
enum DecoderCodec : uint32_t {
    kDecoderCodecMpeg4 = 1,
    kDecoderCodecH264 = 3,
    kDecoderCodecH265 = 4,
    kDecoderCodecJpeg = 5,
};

struct DecoderSetup {
    uint32_t size;    // sizeof(DecoderSetup); later versions only add fields at the end
    uint32_t version; // kDecoderSetupVersion
    uint32_t codec;   // DecoderCodec
};

#define kDecoderSetupVersion 1u

struct PictureHeader {
    uint32_t headerSize; // 40
    int32_t width;
    int32_t height;           // negative: rows run top-down
    uint16_t planes;          // 1
    uint16_t bitCount;        // bits per pixel (32)
    uint32_t compression;     // 0 = uncompressed RGB
    uint32_t imageSize;       // bytes of pixel data after the header
    int32_t xPelsPerMeter;    // 0
    int32_t yPelsPerMeter;    // 0
    uint32_t colorsUsed;      // 0
    uint32_t colorsImportant; // 0
};

// The contract's functions, declared once (see transport/contract.h for the
// shape): exported name, table slot, result, parameters, and whether the
// stream client can run a decoder without it.
//   M_XCInit makes a decoder instance for the codec a DecoderSetup names
//     (null: MPEG-4 Visual). Null when no decoder could be made, also for a
//     codec, version or size it does not know.
//   M_XDecode decodes one frame (an MPEG-4 Visual frame, an H.264 or H.265
//     access unit in Annex-B form, or one JPEG picture). The last three
//     arguments are reserved (pass 0). Returns the picture, or null when none
//     is ready.
//   M_XCExit frees the instance; the result carries no meaning.
//   M_XCGetSourceSize tells the size of the latest decoded picture as the
//     stream carries it, before any scaling to the caller's size: 1 and the
//     size, or 0 (and 0 x 0) before the first picture. A decoder without it
//     still works; its callers then know only the sizes they asked for.
//   M_XCDecodeFrame and M_XCWritePicture are M_XDecode in two steps, so that
//     a caller writes the picture straight into a buffer of its own, chosen
//     once the size is known: M_XCDecodeFrame decodes one frame as M_XDecode
//     does and returns 1 with the size the picture will be written at, or 0
//     when none is ready; M_XCWritePicture then writes that picture as
//     32-bit rows (the layout above) `stride` bytes apart at `pixels`,
//     nothing past the last row's pixels, and returns 1, or 0 when there is
//     no picture to write or the stride is too small. Optional: a caller
//     without them uses M_XDecode.
//   M_XCWritePlanes writes the picture M_XCDecodeFrame told of as planar
//     4:2:0 instead: a luma plane of its width x height, rows `yStride`
//     apart, and two chroma planes of half that (rounded up), rows
//     `uvStride` apart, nothing past the last row's pixels; BT.601 colours.
//     Returns 1 for studio range, 2 for full range, or 0 when there is no
//     picture, a stride is too small or the picture is not 4:2:0 (the
//     caller then asks for 32-bit rows). Optional.
#define DECODER_CONTRACT_FUNCTIONS(X)                                                                                  \
    X(M_XCInit, init, void*, (const DecoderSetup* setup), Required)                                                    \
    X(M_XCExit, exit, int32_t, (void* instance), Optional)                                                             \
    X(M_XDecode, decode, const void*,                                                                                  \
      (void* instance, int32_t width, int32_t height, const uint8_t* data, int32_t length, int32_t reserved1,          \
       int32_t reserved2, int32_t reserved3),                                                                          \
      Required)                                                                                                        \
    X(M_XCGetSourceSize, sourceSize, int32_t, (void* instance, int32_t* width, int32_t* height), Optional)             \
    X(M_XCDecodeFrame, decodeFrame, int32_t,                                                                           \
      (void* instance, int32_t width, int32_t height, const uint8_t* data, int32_t length, int32_t* pictureWidth,      \
       int32_t* pictureHeight),                                                                                        \
      Optional)                                                                                                        \
    X(M_XCWritePicture, writePicture, int32_t, (void* instance, uint8_t* pixels, int32_t stride), Optional)            \
    X(M_XCWritePlanes, writePlanes, int32_t,                                                                           \
      (void* instance, uint8_t* y, int32_t yStride, uint8_t* u, uint8_t* v, int32_t uvStride), Optional)

#define DECODER_DECLARE_FUNCTION_TYPES(name, slot, result, params, need)                                               \
    typedef result name##_fn params;                                                                                   \
    typedef name##_fn* name##_t;
DECODER_CONTRACT_FUNCTIONS(DECODER_DECLARE_FUNCTION_TYPES)
#undef DECODER_DECLARE_FUNCTION_TYPES

} // extern "C"

namespace decoder {

inline constexpr std::size_t kPictureHeaderSize = 40;
// The size of the stream client's picture buffer for MPEG-4: no MPEG-4
// picture is larger.
inline constexpr std::size_t kMaxPictureBytes = 1659904;
// The largest picture of the other codecs: 3840 x 2160, 32 bits a pixel.
inline constexpr int kMaxCodecWidth = 3840;
inline constexpr int kMaxCodecHeight = 2160;
inline constexpr std::size_t kMaxCodecPictureBytes = std::size_t{kMaxCodecWidth} * kMaxCodecHeight * 4;
inline constexpr uint16_t kBitsPerPixel = 32;
inline constexpr std::size_t kBytesPerPixel = kBitsPerPixel / 8;

// Offsets the stream client reads.
inline constexpr std::size_t kBitCountOffset = 14;
inline constexpr std::size_t kImageSizeOffset = 20;

enum class Need { Required, Optional };

// The binding table: one slot per contract function, null where the plug-in
// lacks it.
struct FunctionTable {
#define DECODER_TABLE_SLOT(name, slot, result, params, need) name##_t slot = nullptr;
    DECODER_CONTRACT_FUNCTIONS(DECODER_TABLE_SLOT)
#undef DECODER_TABLE_SLOT
};

// Calls visit(name, need, slot) for every function, in lookup order.
template <typename Visit>
void forEachFunction(FunctionTable& table, Visit&& visit) {
#define DECODER_VISIT_SLOT(name, slot, result, params, need) visit(#name, Need::need, table.slot);
    DECODER_CONTRACT_FUNCTIONS(DECODER_VISIT_SLOT)
#undef DECODER_VISIT_SLOT
}

} // namespace decoder

static_assert(sizeof(PictureHeader) == decoder::kPictureHeaderSize);
static_assert(offsetof(PictureHeader, bitCount) == decoder::kBitCountOffset);
static_assert(offsetof(PictureHeader, imageSize) == decoder::kImageSizeOffset);
static_assert(offsetof(PictureHeader, height) == 8);
static_assert(offsetof(PictureHeader, compression) == 16);
static_assert(sizeof(DecoderSetup) == 12);
