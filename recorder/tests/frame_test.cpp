// Which frame records the recorder takes, and what it reads from them.
#include <gtest/gtest.h>

#include "records.h"
#include "recorder/frame.h"

namespace recorder {
namespace {

using test::audioRecordAt;
using test::recordOf;

// MPEG-4 data: a picture start code and the coding type in the top bits of
// the next byte (0 intra, 1 predicted, 2 bidirectional).
std::vector<uint8_t> vop(int codingType) {
    return {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>(codingType << 6), 0x12};
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FrameFromRecord, ReadsKindKeyTimeAndData) {
    struct Row {
        int32_t kind;
        std::vector<uint8_t> record;
        bool key;
        std::size_t payload;
    };
    const std::vector<Row> rows = {
        {3, recordOf(3, 1234, {0, 0, 0, 1, 0x65}, 0x01), true, 5},
        {4, recordOf(4, 1234, {0, 0, 0, 1, 0x02}, 0x00), false, 5},
        {5, recordOf(5, 1234, {0xFF, 0xD8, 0xFF}, 0x01), true, 3},
        {1, recordOf(1, 1234, vop(0)), true, 6},
        {1, recordOf(1, 1234, vop(1)), false, 6},
        // A bidirectional picture is skipped over to the intra one after it.
        {1, recordOf(1, 1234, concat(vop(2), vop(0))), true, 12},
        {2, audioRecordAt(1234), false, 640},
    };
    for (const Row& row : rows) {
        const std::optional<Frame> f = frameFromRecord(row.kind, row.record, 77);
        ASSERT_TRUE(f.has_value()) << "kind " << row.kind;
        EXPECT_EQ(f->kind, static_cast<MediaKind>(row.kind));
        EXPECT_EQ(f->key, row.key) << "kind " << row.kind;
        EXPECT_EQ(f->cameraMs, 1234u);
        EXPECT_EQ(f->arrivalMs, 77);
        EXPECT_EQ(f->payload.size(), row.payload);
    }
}

TEST(FrameFromRecord, RefusesWhatIsNotARecord) {
    std::vector<uint8_t> badStart = recordOf(3, 0, {1, 2, 3});
    badStart[3] = 0xB3;
    std::vector<uint8_t> longerThanSaid = recordOf(3, 0, {1, 2, 3});
    longerThanSaid.push_back(0);
    std::vector<uint8_t> shortAudio = recordOf(2, 0, std::vector<uint8_t>(100, 0));
    const std::vector<std::pair<int32_t, std::vector<uint8_t>>> rows = {
        {3, std::vector<uint8_t>(44, 0)}, // header only
        {3, badStart},
        {3, longerThanSaid},
        {6, recordOf(6, 0, {1, 2, 3})},
        {0, recordOf(3, 0, {1, 2, 3})},
        {2, shortAudio},
    };
    for (const auto& [kind, record] : rows) EXPECT_FALSE(frameFromRecord(kind, record, 0).has_value());
}

} // namespace
} // namespace recorder
