// Grey copies of drawn pictures for pointing: made only for a caller that
// waits, from every picture format the decoders hand out, scaled to the size
// asked.
#include "picture_sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "video_renderer.h"

namespace ostrel {
namespace {

// A picture of `bits` per pixel, left half black, right half white.
struct HalfWhite {
    HalfWhite(int width, int height, int bits) : stride(((width * bits / 8) + 3) & ~3) {
        pixels.assign(static_cast<std::size_t>(stride) * height, 0);
        for (int y = 0; y < height; ++y) {
            for (int x = width / 2; x < width; ++x) {
                for (int b = 0; b < bits / 8; ++b)
                    pixels[static_cast<std::size_t>(y) * stride + x * bits / 8 + b] = 0xFF;
            }
        }
        picture.width = width;
        picture.height = height;
        picture.bitCount = static_cast<uint16_t>(bits);
        picture.pixels = pixels.data();
        picture.pixelBytes = pixels.size();
    }
    int stride;
    std::vector<uint8_t> pixels;
    PictureDescriptor picture;
};

// Offers a picture from another thread, as the drawing thread does, until a
// caller has taken one.
template <typename Offer>
std::vector<uint8_t> sampledBy(PictureSampler& sampler, Offer offer, int width, int height, bool& taken) {
    std::vector<uint8_t> out(static_cast<std::size_t>(width) * height, 0x55);
    std::atomic<bool> done{false};
    std::thread drawer([&] {
        while (!done) {
            offer();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    taken = sampler.next(out.data(), width, height, 2000);
    done = true;
    drawer.join();
    return out;
}

std::vector<uint8_t> sampled(PictureSampler& sampler, const PictureDescriptor& picture, int width, int height,
                             bool& taken) {
    return sampledBy(
        sampler, [&] { sampler.offer(picture); }, width, height, taken);
}

void expectHalfWhite(const std::vector<uint8_t>& grey, const std::string& what) {
    EXPECT_LT(grey[0], 8) << what;              // black on the left
    EXPECT_GT(grey[15], 247) << what;           // white on the right
    EXPECT_GT(grey[11 * 16 + 15], 247) << what; // down to the last row
}

TEST(PictureSamplerTest, EveryDecodedFormatBecomesTheSameGreyPicture) {
    for (int bits : {32, 24, 16}) {
        HalfWhite white(64, 48, bits);
        PictureSampler sampler;
        bool taken = false;
        const std::vector<uint8_t> grey = sampled(sampler, white.picture, 16, 12, taken);
        ASSERT_TRUE(taken) << bits;
        expectHalfWhite(grey, std::to_string(bits) + " bits");
    }
    // Pictures drawn as planes give their luma, studio range stretched.
    for (const bool fullRange : {false, true}) {
        const uint8_t black = fullRange ? 0 : 16;
        const uint8_t white = fullRange ? 255 : 235;
        std::vector<uint8_t> luma(70 * 48, black); // rows wider than the picture
        for (int y = 0; y < 48; ++y) std::fill_n(luma.begin() + y * 70 + 32, 32, white);
        PictureSampler sampler;
        bool taken = false;
        const std::vector<uint8_t> grey = sampledBy(
            sampler, [&] { sampler.offerLuma(luma.data(), 70, 64, 48, fullRange); }, 16, 12, taken);
        ASSERT_TRUE(taken) << fullRange;
        expectHalfWhite(grey, fullRange ? "full-range planes" : "studio-range planes");
    }
}

TEST(PictureSamplerTest, NothingComesWithoutAPictureOrForASizeThatIsNone) {
    PictureSampler sampler;
    std::vector<uint8_t> out(16);
    EXPECT_FALSE(sampler.next(out.data(), 4, 4, 20)) << "no picture drawn";
    EXPECT_FALSE(sampler.next(out.data(), 1, 4, 0));
    EXPECT_FALSE(sampler.next(nullptr, 4, 4, 0));
    HalfWhite short24(64, 48, 24);
    short24.picture.pixelBytes /= 2; // fewer bytes than its rows need
    bool taken = true;
    sampled(sampler, short24.picture, 4, 4, taken);
    EXPECT_FALSE(taken);
    HalfWhite odd(64, 48, 8);
    sampled(sampler, odd.picture, 4, 4, taken);
    EXPECT_FALSE(taken) << "a format no decoder gives";
}

} // namespace
} // namespace ostrel
