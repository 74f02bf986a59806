// A snapshot decoded from a camera's compressed stream: the first picture
// that decoded without errors, in a group that decoded without errors up to
// it, at the stream's size.
#include <gtest/gtest.h>

#include "media_probe.h"
#include "recorder/new_file.h"
#include "recorder/picture_catcher.h"
#include "scratch_folder.h"
#include "test_encoder.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace recorder::test {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kGroup = 5;

// An H.264 picture of the four quadrants as the recorder keeps it.
Frame frameOf(const decoder::test::EncodedFrame& encoded) {
    Frame f;
    f.kind = MediaKind::H264;
    f.key = encoded.intra;
    f.payload = encoded.data;
    return f;
}

// Where the key picture's slice (NAL unit type 5) begins in Annex-B data.
std::size_t idrSliceAt(const std::vector<uint8_t>& data) {
    for (std::size_t i = 0; i + 3 < data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && (data[i + 3] & 0x1F) == 5) return i + 3;
    }
    return data.size();
}

// Spoils the second half of a key picture's slice, as bytes lost on the way.
bool damageLowerPart(std::vector<uint8_t>& key) {
    const std::size_t slice = idrSliceAt(key);
    if (slice >= key.size()) return false;
    for (std::size_t i = slice + (key.size() - slice) / 2; i < key.size(); ++i) key[i] ^= 0xA5;
    return true;
}

// The blue quadrant's lower left corner, as the saved JPEG shows it.
decoder::test::Rgb lowerLeftOf(const std::vector<uint8_t>& jpeg, ScratchFolder& folder) {
    std::string error;
    const auto path = writeNewFile(folder.file("snapshot.jpg"), jpeg, error);
    EXPECT_TRUE(path.has_value()) << error;
    const std::vector<uint8_t> rgb = decodeRgb(*path);
    if (rgb.size() != std::size_t{kWidth} * kHeight * 3) return {};
    const std::size_t at = (std::size_t{kHeight - 4} * kWidth + 4) * 3;
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

TEST(PictureCatcherTest, TakesTheFirstPictureOfAGroupThatDecodedWithoutErrors) {
    decoder::test::TestEncoder encoder(kWidth, kHeight, 25, kGroup, false, AV_CODEC_ID_H264);
    ASSERT_TRUE(encoder.ok());
    std::vector<Frame> frames;
    for (int i = 0; i < 2 * kGroup; ++i)
        frames.push_back(frameOf(encoder.encode(decoder::test::quadrants(kWidth, kHeight))));
    ASSERT_TRUE(frames[0].key && frames[kGroup].key);
    // The first key picture arrives damaged in its lower part (bytes lost on
    // the way): the decoder hides what it could not read, and the pictures
    // after it build on the smear.
    ASSERT_TRUE(damageLowerPart(frames[0].payload));

    PictureCatcher catcher;
    for (Frame& f : frames) catcher.take(std::move(f));
    ASSERT_TRUE(catcher.waitFor(5000)) << catcher.whyNone();
    const std::optional<PictureCatcher::Picture> picture = catcher.picture();
    EXPECT_EQ(picture->width, kWidth);
    EXPECT_EQ(picture->height, kHeight);
    ScratchFolder folder;
    const decoder::test::Rgb blue = lowerLeftOf(picture->jpeg, folder);
    EXPECT_LT(int{blue.r}, 40);
    EXPECT_LT(int{blue.g}, 40);
    EXPECT_GT(int{blue.b}, 200);
}

TEST(PictureCatcherTest, SaysWhyWhenOnlyDamagedPicturesCame) {
    decoder::test::TestEncoder encoder(kWidth, kHeight, 25, kGroup, false, AV_CODEC_ID_H264);
    ASSERT_TRUE(encoder.ok());
    PictureCatcher catcher;
    EXPECT_EQ(catcher.whyNone(), "no picture came");
    for (int i = 0; i < kGroup; ++i) {
        Frame f = frameOf(encoder.encode(decoder::test::quadrants(kWidth, kHeight)));
        if (f.key) {
            ASSERT_TRUE(damageLowerPart(f.payload));
        }
        catcher.take(std::move(f));
    }
    EXPECT_FALSE(catcher.waitFor(500));
    EXPECT_EQ(catcher.whyNone().rfind("no picture decoded without errors came (", 0), 0u) << catcher.whyNone();
}

} // namespace
} // namespace recorder::test
