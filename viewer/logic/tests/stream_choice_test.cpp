// Which stream a place gets, and what the settings and a camera's profiles
// offer to choose from, as tables.
#include "stream/stream_choice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "live/live_stream.h"
#include "stream/stream_options.h"

namespace tavolin::ui::test {
namespace {

struct ChoiceCase {
    QSize place;
    double zoom;
    std::vector<QSize> streams; // smallest first; empty: not known yet
    int chosen;
};

class StreamChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(StreamChoiceTest, SmallestCoveringTheNeededPixelsElseTheLargest) {
    const ChoiceCase& c = GetParam();
    EXPECT_EQ(chooseStream(c.place, c.zoom, c.streams), c.chosen);
}

const QSize kSub(640, 360);
const QSize kMain(1920, 1080);
const QSize kFourThree(640, 480);
const QSize kUnknown;

INSTANTIATE_TEST_SUITE_P(
    Places, StreamChoiceTest,
    ::testing::Values(
        // A 4x4 cell of a 1920x1080 wall, a 2x2 cell, a 3x3 cell (exactly the small stream) and the full screen.
        ChoiceCase{{480, 270}, 1.0, {kSub, kMain}, 0}, ChoiceCase{{960, 540}, 1.0, {kSub, kMain}, 1},
        ChoiceCase{{640, 360}, 1.0, {kSub, kMain}, 0}, ChoiceCase{{1920, 1080}, 1.0, {kSub, kMain}, 1},
        // Zoom raises the need: twice into a 4x4 cell wants more than 640 wide.
        ChoiceCase{{480, 270}, 1.3, {kSub, kMain}, 0}, ChoiceCase{{480, 270}, 2.0, {kSub, kMain}, 1},
        // Beyond the largest, the largest.
        ChoiceCase{{1920, 1080}, 8.0, {kSub, kMain}, 1}, ChoiceCase{{3840, 2160}, 1.0, {kSub, kMain}, 1},
        // Aspect kept: a 4:3 picture in a wide place fills its height.
        ChoiceCase{{1000, 400}, 1.0, {kFourThree, kMain}, 0}, ChoiceCase{{1000, 500}, 1.0, {kFourThree, kMain}, 1},
        // A tall place: the width decides.
        ChoiceCase{{600, 1000}, 1.0, {kSub, kMain}, 0},
        // A stream not measured yet is tried; one stream is always that one.
        ChoiceCase{{1920, 1080}, 1.0, {kUnknown, kMain}, 0}, ChoiceCase{{1920, 1080}, 1.0, {kSub, kUnknown}, 1},
        ChoiceCase{{100, 100}, 1.0, {kMain}, 0}, ChoiceCase{{480, 270}, 1.0, {}, -1}));

// What the settings offer before the camera is asked.
TEST(StreamOptionsTest, SettingsOfferOneStreamTheSubStreamFirstOrNothingForAutomaticOnvif) {
    struct Case {
        int32_t type;
        int32_t channel;
        std::string subStream;
        std::optional<std::vector<std::pair<int32_t, std::string>>> offered; // channel, address
    } cases[] = {
        {2, 3, "rtsp://ignored/", {{{3, ""}}}},
        {4, 0, "", {{{0, ""}}}},
        {4, 0, "rtsp://127.0.0.1/sub", {{{0, "rtsp://127.0.0.1/sub"}, {0, ""}}}},
        {5, 2, "", {{{2, ""}}}},
        {5, 0, "", std::nullopt},
    };
    for (const Case& c : cases) {
        StreamSettings settings;
        settings.streamingType = c.type;
        settings.connection.channel = c.channel;
        settings.subStreamAddress = c.subStream;
        const std::optional<StreamOptions> options = streamsOfSettings(settings);
        ASSERT_EQ(options.has_value(), c.offered.has_value()) << c.type;
        if (!options) continue;
        std::vector<std::pair<int32_t, std::string>> got;
        for (const StreamOption& o : *options) got.emplace_back(o.channel, o.address);
        EXPECT_EQ(got, *c.offered) << c.type;
    }
}

TEST(StreamOptionsTest, PicturesTellTheSizeExactlyOnlyWhenSmallerThanTheirBox) {
    struct Case {
        QSize before;
        bool exact;
        QSize picture, box;
        QSize after;
        bool exactAfter;
    } cases[] = {
        {{}, false, {640, 360}, {960, 540}, {640, 360}, true},  // smaller on both sides: its own size
        {{}, false, {480, 270}, {480, 270}, {480, 270}, false}, // filled the box: at least that
        {{480, 270}, false, {960, 540}, {960, 540}, {960, 540}, false},
        {{1920, 1080}, true, {480, 270}, {480, 270}, {1920, 1080}, true}, // a profile's size stays
    };
    for (const Case& c : cases) {
        StreamOption option{0, {}, c.before, c.exact};
        learnSize(option, c.picture, c.box);
        EXPECT_EQ(option.size, c.after) << c.picture.width();
        EXPECT_EQ(option.sizeExact, c.exactAfter) << c.picture.width();
    }
}

TEST(StreamOptionsTest, ASecondAddressReplacesTheRecordsAndTheChannelIsSet) {
    MediaConfig config{};
    std::strcpy(config.cameraAddress, "rtsp://127.0.0.1/main");
    applyOption(config, {2, {}, {}, false});
    EXPECT_STREQ(config.cameraAddress, "rtsp://127.0.0.1/main");
    EXPECT_EQ(config.channel, 2);
    applyOption(config, {0, "rtsp://127.0.0.1/s", {}, false});
    EXPECT_STREQ(config.cameraAddress, "rtsp://127.0.0.1/s");
    EXPECT_EQ(config.channel, 0);
}

} // namespace
} // namespace tavolin::ui::test
