// A decoder plug-in for tests: every frame gives a 32-bit picture of the
// requested size (16 x 16 when 0) filled with the colour named by the frame's
// last three bytes (blue, green, red).
#include <decoder/plugin_exports.h>

#include <atomic>
#include <cstring>
#include <vector>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Instance {
    std::vector<uint8_t> picture;
};

std::atomic<int> inits{0};
std::atomic<int> exits{0};
std::atomic<int> decodes{0};
std::atomic<int> lastWidth{0};
std::atomic<int> lastHeight{0};
std::atomic<int> lastLength{0};
std::atomic<uint32_t> claimedImageSize{0};
std::atomic<uint32_t> lastCodec{0}; // of the latest instance; 1 = MPEG-4

} // namespace

FAKE_EXPORT void* M_XCInit(const DecoderSetup* setup) {
    ++inits;
    lastCodec = setup == nullptr ? kDecoderCodecMpeg4 : setup->codec;
    return new Instance();
}

FAKE_EXPORT int32_t M_XCExit(void* instance) {
    ++exits;
    delete static_cast<Instance*>(instance);
    return 1;
}

FAKE_EXPORT const void* M_XDecode(void* handle, int32_t width, int32_t height, const uint8_t* data, int32_t length,
                                  int32_t, int32_t, int32_t) {
    auto* self = static_cast<Instance*>(handle);
    // Read before the count goes up: a test that changes the claim once it
    // sees the count must not reach a decode already under way.
    const uint32_t claimed = claimedImageSize.load();
    ++decodes;
    lastWidth = width;
    lastHeight = height;
    lastLength = length;
    if (self == nullptr || length < 3) return nullptr;
    const int w = width > 0 ? width : 16;
    const int h = height > 0 ? height : 16;
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
    self->picture.assign(40 + bytes, 0);
    PictureHeader header{};
    header.headerSize = 40;
    header.width = w;
    header.height = -h;
    header.planes = 1;
    header.bitCount = 32;
    header.imageSize = claimed != 0 ? claimed : static_cast<uint32_t>(bytes);
    std::memcpy(self->picture.data(), &header, sizeof header);
    for (std::size_t i = 0; i < bytes; i += 4) {
        self->picture[40 + i] = data[length - 3];
        self->picture[40 + i + 1] = data[length - 2];
        self->picture[40 + i + 2] = data[length - 1];
        self->picture[40 + i + 3] = 255;
    }
    return self->picture.data();
}

FAKE_EXPORT void FakeDecoder_Reset() {
    inits = 0;
    exits = 0;
    decodes = 0;
    lastWidth = 0;
    lastHeight = 0;
    lastLength = 0;
    claimedImageSize = 0;
    lastCodec = 0;
}

FAKE_EXPORT uint32_t FakeDecoder_LastCodec() { return lastCodec.load(); }

// Makes later pictures claim this image size (0: the true size).
FAKE_EXPORT void FakeDecoder_ClaimImageSize(uint32_t size) { claimedImageSize = size; }

FAKE_EXPORT void FakeDecoder_Counts(int32_t* initCount, int32_t* exitCount, int32_t* decodeCount) {
    *initCount = inits;
    *exitCount = exits;
    *decodeCount = decodes;
}

FAKE_EXPORT void FakeDecoder_Last(int32_t* width, int32_t* height, int32_t* length) {
    *width = lastWidth;
    *height = lastHeight;
    *length = lastLength;
}
