// Which frame records the recorder takes, and what it reads from them.
#include <gtest/gtest.h>

#include "records.h"
#include "recorder/frame.h"

namespace recorder {
namespace {

using test::audioRecordAt;
using test::recordOf;

// MPEG-4 picture start codes followed by coding types (0 intra, 1
// predicted, 2 bidirectional).
std::vector<uint8_t> pictures(std::initializer_list<int> types) {
    std::vector<uint8_t> data;
    for (const int t : types) data.insert(data.end(), {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>(t << 6), 0x12});
    return data;
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
        {5, recordOf(5, 1234, {0xFF, 0xD8, 0xFF}, 0x00), false, 3},
        {1, recordOf(1, 1234, pictures({1})), false, 6},
        {1, recordOf(1, 1234, pictures({2, 0})), true, 12}, // a bidirectional picture is skipped over
        {2, audioRecordAt(1234), false, 640},
    };
    for (const Row& row : rows) {
        const std::optional<Frame> f = frameFromRecord(row.kind, row.record, 77);
        ASSERT_TRUE(f.has_value()) << "kind " << row.kind;
        EXPECT_EQ(f->key, row.key) << "kind " << row.kind;
        EXPECT_EQ(f->cameraMs, 1234u);
        EXPECT_EQ(f->payload.size(), row.payload);
    }
}

TEST(FrameFromRecord, RefusesWhatIsNotARecord) {
    std::vector<uint8_t> badStart = recordOf(3, 0, {1, 2, 3});
    badStart[3] = 0xB3;
    std::vector<uint8_t> longerThanSaid = recordOf(3, 0, {1, 2, 3});
    longerThanSaid.push_back(0);
    const std::vector<std::pair<int32_t, std::vector<uint8_t>>> rows = {
        {3, std::vector<uint8_t>(44, 0)},
        {3, badStart},
        {3, longerThanSaid},
        {6, recordOf(6, 0, {1})},
        {2, recordOf(2, 0, std::vector<uint8_t>(100, 0))}, // no audio record is that long
    };
    for (const auto& [kind, record] : rows) EXPECT_FALSE(frameFromRecord(kind, record, 0).has_value());
}

} // namespace
} // namespace recorder
