#include "decoder/contract.h"
#include "platform/diagnostic_capture.h"
#include "platform/function_table.h"
#include "platform/module.h"
#include "test_encoder.h"

#include <gtest/gtest.h>
#include <libyuv/convert_argb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

using decoder::test::EncodedFrame;
using decoder::test::quadrants;
using decoder::test::Rgb;
using decoder::test::RgbPicture;
using decoder::test::TestEncoder;

uint16_t u16At(const uint8_t* p, std::size_t off) { return static_cast<uint16_t>(p[off] | (p[off + 1] << 8)); }
uint32_t u32At(const uint8_t* p, std::size_t off) {
    return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
           (static_cast<uint32_t>(p[off + 2]) << 16) | (static_cast<uint32_t>(p[off + 3]) << 24);
}
int32_t i32At(const uint8_t* p, std::size_t off) { return static_cast<int32_t>(u32At(p, off)); }

// The plug-in as the stream client sees it: a module bound by name.
class DecoderPlugin : public decoder::FunctionTable {
public:
    explicit DecoderPlugin(const std::string& path) {
        if (module_.loadPath(path)) platform::bindFunctionTable(module_, static_cast<decoder::FunctionTable&>(*this));
    }
    bool bound() const { return init != nullptr && decode != nullptr && exit != nullptr; }
    const platform::Module& module() const { return module_; }

private:
    platform::Module module_;
};

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.bound()) << plugin_.module().error();
        instance_ = plugin_.init(nullptr);
        ASSERT_NE(instance_, nullptr);
    }
    void TearDown() override {
        if (instance_ != nullptr) {
            EXPECT_EQ(plugin_.exit(instance_), 1);
        }
    }
    const uint8_t* decode(int w, int h, const std::vector<uint8_t>& data) {
        return static_cast<const uint8_t*>(
            plugin_.decode(instance_, w, h, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0));
    }

public:
    // Blue, green, red of the pixel at (x, y) of a top-down 32-bit picture.
    static Rgb pixel(const uint8_t* picture, int x, int y) {
        const int width = i32At(picture, 4);
        const uint8_t* p = picture + decoder::kPictureHeaderSize + (static_cast<std::size_t>(y) * width + x) * 4;
        return Rgb{p[2], p[1], p[0]};
    }
    static void expectNear(Rgb actual, Rgb expected, const char* where) {
        constexpr int kTolerance = 28; // 4:2:0 sampling and quantisation
        EXPECT_NEAR(actual.r, expected.r, kTolerance) << where;
        EXPECT_NEAR(actual.g, expected.g, kTolerance) << where;
        EXPECT_NEAR(actual.b, expected.b, kTolerance) << where;
    }
    static void expectQuadrants(const uint8_t* pic, int w, int h) {
        expectNear(pixel(pic, w / 4, h / 4), {255, 0, 0}, "top left");
        expectNear(pixel(pic, 3 * w / 4, h / 4), {0, 255, 0}, "top right");
        expectNear(pixel(pic, w / 4, 3 * h / 4), {0, 0, 255}, "bottom left");
        expectNear(pixel(pic, 3 * w / 4, 3 * h / 4), {255, 255, 255}, "bottom right");
    }

protected:
    DecoderPlugin plugin_{QUILLON_PATH};
    void* instance_ = nullptr;
};

TEST_F(DecoderTest, IntraFrameGivesTopDown32BitHeader) {
    TestEncoder enc(352, 288, 25000, 10, false);
    ASSERT_TRUE(enc.ok());
    EncodedFrame f = enc.encode(quadrants(352, 288));
    ASSERT_TRUE(f.intra);
    const uint8_t* pic = decode(352, 288, f.data);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(u32At(pic, 0), 40u);
    EXPECT_EQ(i32At(pic, 4), 352);
    EXPECT_EQ(i32At(pic, 8), -288);
    EXPECT_EQ(u16At(pic, 12), 1);
    EXPECT_EQ(u16At(pic, 14), 32);
    EXPECT_EQ(u32At(pic, 16), 0u);
    EXPECT_EQ(u32At(pic, 20), 352u * 288u * 4u);
}

TEST_F(DecoderTest, QuadrantColoursLandWhereTheyWerePainted) {
    TestEncoder enc(352, 288, 25000, 10, false);
    const uint8_t* pic = decode(352, 288, enc.encode(quadrants(352, 288)).data);
    ASSERT_NE(pic, nullptr);
    expectQuadrants(pic, 352, 288);
    // The fourth byte of every pixel is opaque.
    EXPECT_EQ(pic[decoder::kPictureHeaderSize + 3], 255);
}

TEST_F(DecoderTest, PredictedFramesFollowTheMovingBar) {
    TestEncoder enc(320, 240, 30000, 30, false);
    for (int i = 0; i < 8; ++i) {
        RgbPicture p(320, 240, {0, 0, 0});
        p.fillRect(i * 32, 0, 32, 240, {255, 255, 255});
        EncodedFrame f = enc.encode(p);
        EXPECT_EQ(f.intra, i == 0);
        const uint8_t* pic = decode(320, 240, f.data);
        ASSERT_NE(pic, nullptr) << "frame " << i;
        expectNear(pixel(pic, i * 32 + 16, 120), {255, 255, 255}, "bar");
        expectNear(pixel(pic, (i * 32 + 176) % 320, 120), {0, 0, 0}, "background");
    }
}

TEST_F(DecoderTest, PictureIsScaledToTheSizeTheCallerAsks) {
    TestEncoder enc(352, 288, 25000, 10, false);
    const uint8_t* pic = decode(176, 144, enc.encode(quadrants(352, 288)).data);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(i32At(pic, 4), 176);
    EXPECT_EQ(i32At(pic, 8), -144);
    EXPECT_EQ(u32At(pic, 20), 176u * 144u * 4u);
    expectQuadrants(pic, 176, 144);
}

TEST_F(DecoderTest, ZeroSizeTakesTheStreamsOwnSize) {
    TestEncoder enc(160, 112, 5000, 10, false);
    const uint8_t* pic = decode(0, 0, enc.encode(quadrants(160, 112)).data);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(i32At(pic, 4), 160);
    EXPECT_EQ(i32At(pic, 8), -112);
    EXPECT_EQ(u32At(pic, 20), 160u * 112u * 4u);
}

TEST_F(DecoderTest, LargestPictureFitsAndOneColumnMoreIsRefused) {
    TestEncoder enc(720, 576, 25000, 10, false);
    std::vector<uint8_t> data = enc.encode(quadrants(720, 576)).data;
    const uint8_t* pic = decode(720, 576, data);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(u32At(pic, 20), 1658880u); // 720 * 576 * 4, within 1,659,904
    EXPECT_EQ(decode(721, 576, data), nullptr);
    EXPECT_EQ(decode(1280, 720, data), nullptr);
}

TEST_F(DecoderTest, StreamTooLargeForThePictureBufferIsRefused) {
    TestEncoder enc(800, 600, 25000, 10, false);
    EXPECT_EQ(decode(0, 0, enc.encode(quadrants(800, 600)).data), nullptr);
}

TEST_F(DecoderTest, PredictedFramesBehindACameraHeaderStillDecode) {
    // Protocol version 1 predicted records hand the decoder the camera's
    // 16-byte frame header in front of the picture.
    TestEncoder enc(352, 240, 30000, 30, true);
    ASSERT_FALSE(enc.headers().empty());
    EncodedFrame first = enc.encode(quadrants(352, 240));
    std::vector<uint8_t> intra = enc.headers();
    intra.insert(intra.end(), first.data.begin(), first.data.end());
    ASSERT_NE(decode(352, 240, intra), nullptr);
    for (int i = 0; i < 4; ++i) {
        EncodedFrame f = enc.encode(quadrants(352, 240));
        ASSERT_FALSE(f.intra);
        std::vector<uint8_t> withHeader = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                           0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F};
        withHeader.insert(withHeader.end(), f.data.begin(), f.data.end());
        const uint8_t* pic = decode(352, 240, withHeader);
        ASSERT_NE(pic, nullptr) << "frame " << i;
        expectQuadrants(pic, 352, 240);
    }
}

class DecoderBadInputTest : public DecoderTest {};

TEST_F(DecoderBadInputTest, GarbageGivesNoPicture) {
    std::mt19937 rng(7);
    std::vector<uint8_t> junk(5000);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    EXPECT_EQ(decode(352, 288, junk), nullptr);
    EXPECT_EQ(decode(352, 288, std::vector<uint8_t>(4000, 0)), nullptr);
    // A picture start code with nothing configured before it.
    EXPECT_EQ(decode(352, 288, {0x00, 0x00, 0x01, 0xB6, 0x10, 0x00, 0x00, 0x01, 0xB6}), nullptr);
}

TEST_F(DecoderBadInputTest, DecodingRecoversAfterGarbage) {
    std::vector<uint8_t> junk(3000, 0xA5);
    EXPECT_EQ(decode(352, 288, junk), nullptr);
    TestEncoder enc(352, 288, 25000, 10, false);
    const uint8_t* pic = decode(352, 288, enc.encode(quadrants(352, 288)).data);
    ASSERT_NE(pic, nullptr);
    expectQuadrants(pic, 352, 288);
}

TEST_F(DecoderBadInputTest, DamagedFramesNeverBreakTheHeaderPromise) {
    TestEncoder enc(176, 144, 5000, 5, false);
    std::mt19937 rng(11);
    for (int i = 0; i < 60; ++i) {
        RgbPicture p = quadrants(176, 144);
        p.fillRect((i * 8) % 176, 40, 20, 20, {255, 255, 0});
        std::vector<uint8_t> data = enc.encode(p).data;
        // Flip a few bits, sometimes cut the frame short.
        for (int k = 0; k < 6; ++k) data[rng() % data.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        if (i % 3 == 0) data.resize(data.size() / 2 + 1);
        const uint8_t* pic = decode(176, 144, data);
        if (pic == nullptr) continue;
        EXPECT_EQ(u32At(pic, 0), 40u);
        EXPECT_EQ(u16At(pic, 14), 32);
        EXPECT_EQ(u32At(pic, 20), 176u * 144u * 4u);
    }
}

TEST_F(DecoderBadInputTest, ImpossibleArgumentsAreRefused) {
    TestEncoder enc(176, 144, 5000, 5, false);
    std::vector<uint8_t> data = enc.encode(quadrants(176, 144)).data;
    EXPECT_EQ(plugin_.decode(instance_, 176, 144, nullptr, 100, 0, 0, 0), nullptr);
    EXPECT_EQ(plugin_.decode(instance_, 176, 144, data.data(), 0, 0, 0, 0), nullptr);
    EXPECT_EQ(plugin_.decode(instance_, 176, 144, data.data(), -5, 0, 0, 0), nullptr);
    EXPECT_EQ(plugin_.decode(instance_, -176, 144, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0), nullptr);
    EXPECT_EQ(plugin_.decode(nullptr, 176, 144, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0), nullptr);
    EXPECT_EQ(plugin_.exit(nullptr), 0);
}

// Writes MPEG-4 Visual header fields bit by bit, most significant first.
class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (used_ % 8));
            ++used_;
        }
    }
    // Next-start-code stuffing: a zero, then ones to the byte boundary.
    void stuff() {
        put(0, 1);
        while (used_ % 8 != 0) put(1, 1);
    }
    std::vector<uint8_t> bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::size_t used_ = 0;
};

// A simple-profile video object layer header claiming a picture size.
std::vector<uint8_t> layerHeaderClaiming(int width, int height, int timeResolution) {
    BitWriter w;
    for (uint32_t code : {0x00000100u, 0x00000120u}) w.put(code, 32);
    w.put(0, 1); // random accessible
    w.put(1, 8); // simple object
    w.put(0, 1); // no layer identifier
    w.put(1, 4); // square pixels
    w.put(0, 1); // no control parameters
    w.put(0, 2); // rectangular
    w.put(1, 1);
    w.put(static_cast<uint32_t>(timeResolution), 16);
    w.put(1, 1);
    w.put(0, 1); // no fixed rate
    w.put(1, 1);
    w.put(static_cast<uint32_t>(width), 13);
    w.put(1, 1);
    w.put(static_cast<uint32_t>(height), 13);
    w.put(1, 1);
    w.put(0, 1); // progressive
    w.put(1, 1); // no overlapped motion compensation
    w.put(0, 1); // no sprite
    w.put(0, 1); // 8-bit
    w.put(0, 1); // H.263 quantisation
    w.put(1, 1); // no complexity estimation
    w.put(1, 1); // no resync markers
    w.put(0, 1); // not partitioned
    w.put(0, 1); // not scalable
    w.stuff();
    return w.bytes();
}

// Resident memory of this process in kB, from the kernel's own account.
long residentKb() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
    }
    std::fclose(f);
    return kb;
}

TEST_F(DecoderBadInputTest, AbsurdPictureSizeIsRefusedBeforeAnyPictureMemory) {
    TestEncoder enc(176, 144, 30000, 5, true);
    ASSERT_TRUE(enc.ok());
    const std::vector<uint8_t> picture = enc.encode(quadrants(176, 144)).data;
    std::vector<uint8_t> hostile = layerHeaderClaiming(8191, 8191, 30000);
    hostile.insert(hostile.end(), picture.begin(), picture.end());

    // The header writer agrees with the encoder's own sizes.
    std::vector<uint8_t> honest = layerHeaderClaiming(176, 144, 30000);
    honest.insert(honest.end(), picture.begin(), picture.end());
    ASSERT_NE(decode(0, 0, honest), nullptr);

    const long before = residentKb();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(decode(0, 0, hostile), nullptr);
    EXPECT_EQ(decode(720, 576, hostile), nullptr);
    // One 8191 x 8191 picture alone is 100 MB; the usual working set is a
    // few MB.
    EXPECT_LT(residentKb() - before, 32 * 1024);

    // The decoder still takes a sane stream afterwards.
    TestEncoder sane(352, 288, 25000, 10, false);
    const uint8_t* pic = decode(352, 288, sane.encode(quadrants(352, 288)).data);
    ASSERT_NE(pic, nullptr);
    expectQuadrants(pic, 352, 288);
}

TEST(DecoderNamesTest, BothNamesOfferTheSameWorkingDecoder) {
    for (const char* path : {QUILLON_PATH, GARNET_PATH}) {
        DecoderPlugin plugin(path);
        ASSERT_TRUE(plugin.bound()) << path;
        void* inst = plugin.init(nullptr);
        ASSERT_NE(inst, nullptr);
        TestEncoder enc(176, 144, 5000, 5, false);
        std::vector<uint8_t> data = enc.encode(quadrants(176, 144)).data;
        EXPECT_NE(plugin.decode(inst, 176, 144, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0), nullptr)
            << path;
        EXPECT_EQ(plugin.exit(inst), 1);
    }
}

TEST(DecoderNamesTest, InternalNamesStayHidden) {
    DecoderPlugin plugin(QUILLON_PATH);
    ASSERT_TRUE(plugin.bound());
    // The class behind the exports is not reachable by name.
    EXPECT_EQ(plugin.module().symbol("_ZN7decoder12Mpeg4Decoder6createEv"), nullptr);
}

} // namespace

namespace {

// H.264, H.265 and JPEG, each through an instance made for it.
class CodecDecoderTest : public ::testing::TestWithParam<DecoderCodec> {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.bound()) << plugin_.module().error();
        const DecoderSetup setup{sizeof(DecoderSetup), kDecoderSetupVersion, GetParam()};
        instance_ = plugin_.init(&setup);
        ASSERT_NE(instance_, nullptr);
    }
    void TearDown() override {
        if (instance_ != nullptr) plugin_.exit(instance_);
        instance_ = nullptr;
    }
    static int avCodecId() {
        switch (GetParam()) {
        case kDecoderCodecH264: return 27;  // AV_CODEC_ID_H264
        case kDecoderCodecH265: return 173; // AV_CODEC_ID_HEVC
        default: return 7;                  // AV_CODEC_ID_MJPEG
        }
    }
    const uint8_t* decodeQuadrants(int width, int height, int boxWidth, int boxHeight) {
        TestEncoder encoder(width, height, 25, 25, false, avCodecId());
        EXPECT_TRUE(encoder.ok());
        const EncodedFrame frame = encoder.encode(quadrants(width, height));
        EXPECT_FALSE(frame.data.empty());
        return static_cast<const uint8_t*>(plugin_.decode(instance_, boxWidth, boxHeight, frame.data.data(),
                                                          static_cast<int32_t>(frame.data.size()), 0, 0, 0));
    }

    DecoderPlugin plugin_{QUILLON_PATH};
    void* instance_ = nullptr;
};

TEST_P(CodecDecoderTest, PictureSmallerThanTheBoxKeepsItsOwnSize) {
    const uint8_t* pic = decodeQuadrants(160, 120, 640, 480);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(i32At(pic, 4), 160);
    EXPECT_EQ(i32At(pic, 8), -120);
    EXPECT_EQ(u32At(pic, 20), 160u * 120u * 4u);
    DecoderTest::expectQuadrants(pic, 160, 120);
}

TEST_P(CodecDecoderTest, PictureLargerThanTheBoxIsScaledDownWithItsAspect) {
    int32_t width = 0, height = 0;
    const uint8_t* pic = decodeQuadrants(320, 240, 100, 100);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(i32At(pic, 4), 100);
    EXPECT_EQ(i32At(pic, 8), -75);
    DecoderTest::expectQuadrants(pic, 100, 75);
    // The stream's own size is still known.
    EXPECT_EQ(plugin_.sourceSize(instance_, &width, &height), 1);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

// A wall cell changes size with the layout: each picture fits the box asked
// for at its time, shrunk or kept, odd sizes included, colours in place. A
// new decoder's picture buffer is as large as its first picture, so widths
// that swscale's row blocks do not divide (24, 40, 72, 320) come each on a new
// decoder: a 640x480 camera on a 4x4 wall of 1920x1080 crashed the viewer so.
TEST_P(CodecDecoderTest, EachPictureFitsTheBoxOfItsOwnCall) {
    TestEncoder encoder(320, 240, 25, 25, false, avCodecId());
    ASSERT_TRUE(encoder.ok());
    const EncodedFrame frame = encoder.encode(quadrants(320, 240));
    ASSERT_FALSE(frame.data.empty());
    const struct {
        int boxWidth, boxHeight, width, height;
        bool newDecoder;
    } calls[] = {{100, 100, 100, 75, false},  {640, 480, 320, 240, false}, {161, 400, 161, 120, false},
                 {320, 240, 320, 240, false}, {99, 75, 99, 74, false},     {100, 100, 100, 75, false},
                 {24, 24, 24, 18, true},      {40, 40, 40, 30, true},      {72, 72, 72, 54, true},
                 {360, 360, 320, 240, true}};
    for (const auto& call : calls) {
        SCOPED_TRACE(testing::Message() << "box " << call.boxWidth << "x" << call.boxHeight);
        if (call.newDecoder) { // one whose picture buffer has never held a picture
            TearDown();
            SetUp();
        }
        const auto* pic =
            static_cast<const uint8_t*>(plugin_.decode(instance_, call.boxWidth, call.boxHeight, frame.data.data(),
                                                       static_cast<int32_t>(frame.data.size()), 0, 0, 0));
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(i32At(pic, 4), call.width);
        EXPECT_EQ(i32At(pic, 8), -call.height);
        DecoderTest::expectQuadrants(pic, call.width, call.height);
    }
}

// The same on glibc's checking allocator, in a run of this program of its
// own: it fails the free of a buffer written past its end, which catches
// swscale writing past ours where the sanitizers, which see only our own
// code and bring their own allocator, cannot.
TEST_P(CodecDecoderTest, PicturesStayInsideTheDecodersBufferOnTheCheckingAllocator) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers bring their own allocator";
#endif
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    // The inner run writes no report of its own over the outer one's.
    const std::string command = "env -u GTEST_OUTPUT LD_PRELOAD=libc_malloc_debug.so.0 MALLOC_CHECK_=3 '" + self +
                                "' --gtest_filter='Codecs/CodecDecoderTest.EachPictureFitsTheBoxOfItsOwnCall" +
                                name.substr(name.find('/')) + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

// In two steps the picture goes into the caller's rows, wider than the
// picture's, and nothing is written beside or after them.
TEST_P(CodecDecoderTest, TwoStepsWriteThePictureIntoTheCallersRowsOnly) {
    TestEncoder encoder(320, 240, 25, 25, false, avCodecId());
    ASSERT_TRUE(encoder.ok());
    const EncodedFrame frame = encoder.encode(quadrants(320, 240));
    ASSERT_FALSE(frame.data.empty());
    uint8_t unused = 0;
    EXPECT_EQ(plugin_.writePicture(instance_, &unused, 400), 0) << "no picture decoded yet";
    int32_t width = 0, height = 0;
    ASSERT_EQ(plugin_.decodeFrame(instance_, 100, 100, frame.data.data(), static_cast<int32_t>(frame.data.size()),
                                  &width, &height),
              1);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(height, 75);
    constexpr int32_t kStride = 100 * 4 + 24;
    constexpr uint8_t kUntouched = 0xA5;
    std::vector<uint8_t> rows(static_cast<std::size_t>(kStride) * 75 + 64, kUntouched);
    EXPECT_EQ(plugin_.writePicture(instance_, rows.data(), 100 * 4 - 4), 0) << "rows too short";
    ASSERT_EQ(plugin_.writePicture(instance_, rows.data(), kStride), 1);
    // Packed into rows of the picture's own width, for the checks above.
    std::vector<uint8_t> packed(decoder::kPictureHeaderSize + 100 * 4 * 75);
    packed[4] = 100;
    for (int y = 0; y < 75; ++y) {
        const uint8_t* row = rows.data() + static_cast<std::size_t>(y) * kStride;
        std::copy(row, row + 400, packed.begin() + decoder::kPictureHeaderSize + y * 400);
        EXPECT_TRUE(std::all_of(row + 400, row + kStride, [](uint8_t b) { return b == kUntouched; })) << "row " << y;
    }
    DecoderTest::expectQuadrants(packed.data(), 100, 75);
    EXPECT_TRUE(std::all_of(rows.end() - 64, rows.end(), [](uint8_t b) { return b == kUntouched; }));

    // As 4:2:0 planes, rows wider than the picture's: converted, they are the
    // very rows written above, in the range the decoder tells.
    constexpr int32_t kYStride = 100 + 12;
    constexpr int32_t kUvStride = 50 + 6;
    std::vector<uint8_t> planes(kYStride * 75 + 2 * kUvStride * 38 + 64, kUntouched);
    uint8_t* y = planes.data();
    uint8_t* u = y + kYStride * 75;
    uint8_t* v = u + kUvStride * 38;
    EXPECT_EQ(plugin_.writePlanes(instance_, y, 99, u, v, kUvStride), 0) << "luma rows too short";
    const int32_t range = plugin_.writePlanes(instance_, y, kYStride, u, v, kUvStride);
    ASSERT_TRUE(range == 1 || range == 2) << range;
    EXPECT_EQ(range == 2, GetParam() == kDecoderCodecJpeg) << "only JPEG pictures are full range";
    for (int row = 0; row < 75; ++row) {
        const uint8_t* padding = y + row * kYStride + 100;
        EXPECT_TRUE(std::all_of(padding, padding + 12, [](uint8_t b) { return b == kUntouched; })) << "row " << row;
    }
    EXPECT_TRUE(std::all_of(planes.end() - 64, planes.end(), [](uint8_t b) { return b == kUntouched; }));
    std::vector<uint8_t> converted(static_cast<std::size_t>(kStride) * 75);
    ASSERT_EQ((range == 2 ? libyuv::J420ToARGB : libyuv::I420ToARGB)(y, kYStride, u, kUvStride, v, kUvStride,
                                                                     converted.data(), kStride, 100, 75),
              0);
    for (int row = 0; row < 75; ++row) {
        ASSERT_TRUE(std::equal(converted.begin() + row * kStride, converted.begin() + row * kStride + 400,
                               rows.begin() + row * kStride))
            << "row " << row;
    }
}

TEST_P(CodecDecoderTest, GarbageGivesNoPicture) {
    std::mt19937 rng(11);
    std::vector<uint8_t> junk(5000);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    EXPECT_EQ(plugin_.decode(instance_, 320, 240, junk.data(), static_cast<int32_t>(junk.size()), 0, 0, 0), nullptr);
}

// A camera sending odd units makes libavcodec complain hundreds of times a
// second: the complaints reach the diagnostics, each kind once a second, and
// never stand in for the reason of the stream whose thread decodes.
TEST(DecoderLogTest, ComplaintsOfLibavcodecReachTheDiagnosticsHeldBack) {
    DecoderPlugin plugin(QUILLON_PATH);
    ASSERT_TRUE(plugin.bound()) << plugin.module().error();
    const DecoderSetup setup{sizeof(DecoderSetup), kDecoderSetupVersion, kDecoderCodecH264};
    void* instance = plugin.init(&setup);
    ASSERT_NE(instance, nullptr);
    platform::DiagnosticCapture diagnostics;
    platform::ReasonSlot streamReasons;
    const platform::ReasonScope streamThread(&streamReasons);
    // A key slice naming a picture parameter set nobody sent.
    std::vector<uint8_t> unit = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x21, 0x5a, 0x33, 0x00, 0x1f, 0x77, 0x42};
    for (int i = 0; i < 300; ++i)
        plugin.decode(instance, 320, 240, unit.data(), static_cast<int32_t>(unit.size()), 0, 0, 0);
    plugin.exit(instance);
    EXPECT_GE(diagnostics.lines().size(), 1u);
    EXPECT_LT(diagnostics.lines().size(), 20u) << diagnostics.text();
    EXPECT_EQ(diagnostics.text().rfind("libav: ", 0), 0u) << diagnostics.text();
    EXPECT_EQ(streamReasons.count(), 0u) << streamReasons.last();
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecDecoderTest,
                         ::testing::Values(kDecoderCodecH264, kDecoderCodecH265, kDecoderCodecJpeg),
                         [](const ::testing::TestParamInfo<DecoderCodec>& info) {
                             return std::string(info.param == kDecoderCodecH264   ? "H264"
                                                : info.param == kDecoderCodecH265 ? "H265"
                                                                                  : "Jpeg");
                         });

TEST(DecoderSetupTest, SetupThisDecoderDoesNotKnowMakesNoInstance) {
    DecoderPlugin plugin(QUILLON_PATH);
    ASSERT_TRUE(plugin.bound());
    const DecoderSetup unknownCodec{sizeof(DecoderSetup), kDecoderSetupVersion, 9};
    const DecoderSetup laterVersion{sizeof(DecoderSetup), kDecoderSetupVersion + 1, kDecoderCodecH264};
    const DecoderSetup tooShort{4, kDecoderSetupVersion, kDecoderCodecH264};
    EXPECT_EQ(plugin.init(&unknownCodec), nullptr);
    EXPECT_EQ(plugin.init(&laterVersion), nullptr);
    EXPECT_EQ(plugin.init(&tooShort), nullptr);
}

} // namespace
