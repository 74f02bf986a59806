// Which frame records the recorder takes, and which it takes for key
// pictures.
#include <gtest/gtest.h>

#include "records.h"
#include "recorder/frame.h"

namespace recorder {
namespace {

using test::recordOf;

// MPEG-4 picture start codes, each followed by its coding type (0 intra,
// 1 predicted, 2 bidirectional).
std::vector<uint8_t> pictures(std::initializer_list<int> types) {
    std::vector<uint8_t> data;
    for (const int t : types) data.insert(data.end(), {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>(t << 6), 0x12});
    return data;
}

TEST(FrameFromRecord, TakesRecordsAndTellsKeyPictures) {
    enum Expect { Refused, Key, NotKey };
    std::vector<uint8_t> badStart = recordOf(3, 0, {1, 2, 3}, 0x01);
    badStart[3] = 0xB3;
    std::vector<uint8_t> longerThanSaid = recordOf(3, 0, {1, 2, 3}, 0x01);
    longerThanSaid.push_back(0);
    const std::vector<std::tuple<int32_t, std::vector<uint8_t>, Expect>> rows = {
        {3, recordOf(3, 0, {0, 0, 0, 1, 0x65}, 0x01), Key},
        {5, recordOf(5, 0, {0xFF, 0xD8}, 0x00), NotKey},
        {1, recordOf(1, 0, pictures({1, 0})), NotKey},
        {1, recordOf(1, 0, pictures({2, 0})), Key}, // bidirectional pictures are skipped over
        {3, std::vector<uint8_t>(44, 0), Refused},  // a header alone
        {3, badStart, Refused},
        {3, longerThanSaid, Refused},
        {6, recordOf(6, 0, {1}), Refused},
        {2, recordOf(2, 0, std::vector<uint8_t>(100, 0)), Refused}, // no audio record has that length
    };
    for (const auto& [kind, record, expect] : rows) {
        const std::optional<Frame> f = frameFromRecord(kind, record, 0);
        EXPECT_EQ(f.has_value(), expect != Refused) << "kind " << kind << ", " << record.size() << " bytes";
        if (f) {
            EXPECT_EQ(f->key, expect == Key) << "kind " << kind;
        }
    }
}

} // namespace
} // namespace recorder
