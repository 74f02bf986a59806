// Snapshot files: the picture as a JPEG at its own size, named after the
// camera and the picture's time, never replacing a file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "media_probe.h"
#include "recorder/capture_names.h"
#include "recorder/new_file.h"
#include "recorder/snapshot.h"
#include "scratch_folder.h"

namespace recorder {
namespace {

using namespace std::chrono;

// A red picture of the stream client's layout: 5-6-5 bits, or blue, green,
// red (and a spare byte).
struct RedPicture {
    std::vector<uint8_t> bytes;
    platform::PictureView view;
    RedPicture(int width, int height, int bitCount) {
        const std::size_t stride = platform::bitmapStride(width, bitCount);
        bytes.assign(stride * height, 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = bytes.data() + y * stride + x * (bitCount / 8);
                p[bitCount == 16 ? 1 : 2] = bitCount == 16 ? 0xF8 : 0xFA;
            }
        }
        view = {width, height, bitCount, stride, bytes.data()};
    }
};

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    test::ScratchFolder folder;
    // 2024-03-05 07:08:09.045 UTC
    const system_clock::time_point when = system_clock::time_point(seconds(1709622489) + milliseconds(45));
};

TEST_F(SnapshotTest, IsThePictureAtItsSizeInEveryPixelFormat) {
    for (const int bits : {16, 24, 32}) {
        const RedPicture red(322, 182, bits);
        std::string error;
        const auto jpeg = encodeJpeg(red.view, error);
        ASSERT_TRUE(jpeg.has_value()) << error;
        const auto path = saveSnapshot(*jpeg, folder.path().string(), "Gate", when, error);
        ASSERT_TRUE(path.has_value()) << error;
        const std::vector<uint8_t> rgb = test::decodeRgb(*path);
        ASSERT_EQ(rgb.size(), 322u * 182 * 3) << bits << " bits";
        EXPECT_NEAR(rgb[0], 248, 12) << bits << " bits";
        EXPECT_NEAR(rgb[2], 0, 12) << bits << " bits";
    }
}

TEST_F(SnapshotTest, NamedAfterCameraAndTimeWithoutReplacingAFile) {
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    std::string error;
    const auto first = saveSnapshot(jpeg, folder.path().string(), "Yard/North\tGate", when, error);
    const auto second = saveSnapshot(jpeg, folder.path().string(), "Yard/North\tGate", when, error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(*first, folder.file("YardNorthGate_2024-03-05_07-08-09.045.jpg"));
    EXPECT_EQ(*second, folder.file("YardNorthGate_2024-03-05_07-08-09.045-2.jpg"));
    EXPECT_EQ(cleanCameraName("//\x01\x7f"), "camera");
    EXPECT_EQ(captureTimeText(when + milliseconds(954)), "2024-03-05_07-08-09.999");
}

TEST_F(SnapshotTest, LongCameraNamesAreCutToTheViewersRecordWithoutSplittingACharacter) {
    // 62 bytes, then a two-byte character that would end past the 63rd.
    const std::string name = std::string(62, 'a') + "\xC3\xA9" + std::string(200, 'b');
    EXPECT_EQ(cleanCameraName(name), std::string(62, 'a'));
    EXPECT_EQ(cleanCameraName(std::string(300, 'c')), std::string(kCameraNameBytes, 'c'));
}

// Where a new file may go, asked before a capture waits for its pictures.
TEST_F(SnapshotTest, NewFilesGoOnlyWhereAFileCanBeMade) {
    std::ofstream(folder.file("taken.jpg")) << "x";
    struct Row {
        std::string path;
        bool can;
        std::string says;
    };
    for (const Row& r : {Row{folder.file("new.jpg"), true, ""}, Row{folder.file("taken.jpg"), true, ""},
                         Row{folder.file("missing/new.jpg"), false, "No such file or directory"},
                         Row{"/dev/null", false, "/dev/null is a device"}, Row{"", false, "no file name given"}}) {
        std::string error;
        EXPECT_EQ(canCreateNewFile(r.path, error), r.can) << r.path;
        EXPECT_NE(error.find(r.says), std::string::npos) << r.path << ": " << error;
    }
    // A device is never written beside.
    std::string error;
    EXPECT_FALSE(createNewFile("/dev/null", error).has_value());
    EXPECT_FALSE(std::filesystem::exists("/dev/null-2"));
    EXPECT_NE(error.find("/dev/null is a device"), std::string::npos) << error;
}

TEST_F(SnapshotTest, NoPictureIsNoFile) {
    std::string error;
    EXPECT_FALSE(encodeJpeg(platform::PictureView{}, error).has_value());
    EXPECT_EQ(error, "no picture to save");
}

// What a camera's own JPEG must be to be kept, against a 1280x720 profile.
TEST_F(SnapshotTest, CamerasJpegIsKeptOnlyWholeAndAtLeastTheStreamsSize) {
    std::string error;
    const RedPicture large(1280, 720, 32);
    const RedPicture thumbnail(64, 64, 32);
    const std::vector<uint8_t> whole = *encodeJpeg(large.view, error);
    std::vector<uint8_t> padded = whole;
    padded.insert(padded.end(), 16, 0);
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 3));
    std::vector<uint8_t> badEnd = cut;
    badEnd.push_back(0xFF);
    badEnd.push_back(0xD9);
    const std::string html = "<html><body>login</body></html>";
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool kept;
    } cases[] = {
        {"whole", whole, true},
        {"padded after its end", padded, true},
        {"thumbnail", *encodeJpeg(thumbnail.view, error), false},
        {"cut to a third", cut, false},
        {"cut, then an end marker", badEnd, false},
        {"HTML", std::vector<uint8_t>(html.begin(), html.end()), false},
    };
    for (const auto& c : cases) {
        error.clear();
        EXPECT_EQ(checkJpeg(c.bytes, 1280, 720, error), c.kept) << c.name << ": " << error;
        EXPECT_EQ(error.empty(), c.kept) << c.name;
    }
    EXPECT_TRUE(checkJpeg(*encodeJpeg(thumbnail.view, error), 0, 0, error)) << "no size known";
}

} // namespace
} // namespace recorder
