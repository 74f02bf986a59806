// Parses every VOL entry with a bit reader of its own, field by field, so a
// slip in the generator shows as a wrong field, not just different bytes.
#include "vol_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace fenwa10 {
namespace {

class BitReader {
public:
    explicit BitReader(const VolEntry& bytes) : bytes_(bytes) {}
    uint32_t read(int bits) {
        uint32_t v = 0;
        for (int i = 0; i < bits; ++i) {
            const std::size_t byte = pos_ / 8;
            const uint32_t bit = byte < bytes_.size() ? (bytes_[byte] >> (7 - pos_ % 8)) & 1u : 0u;
            v = (v << 1) | bit;
            ++pos_;
        }
        return v;
    }
    std::size_t position() const { return pos_; }

private:
    const VolEntry& bytes_;
    std::size_t pos_ = 0;
};

struct ParsedVol {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t resolution = 0;
    uint32_t increment = 0;
    bool wellFormed = false;
};

ParsedVol parse(const VolEntry& e) {
    ParsedVol p;
    BitReader r(e);
    bool ok = r.read(32) == 0x100 && r.read(32) == 0x120;
    ok = ok && r.read(1) == 0 && r.read(8) == 1; // random access, simple object
    ok = ok && r.read(1) == 1;                   // is_object_layer_identifier
    ok = ok && r.read(4) == 2 && r.read(3) == 1; // verid, priority
    ok = ok && r.read(4) == 1;                   // square pixels
    ok = ok && r.read(1) == 0;                   // no vol control parameters
    ok = ok && r.read(2) == 0;                   // rectangular
    ok = ok && r.read(1) == 1;
    p.resolution = r.read(16);
    ok = ok && r.read(1) == 1;
    ok = ok && r.read(1) == 1; // fixed rate
    int bits = 1;
    while ((1u << bits) < p.resolution) ++bits;
    p.increment = r.read(bits);
    ok = ok && r.read(1) == 1;
    p.width = r.read(13);
    ok = ok && r.read(1) == 1;
    p.height = r.read(13);
    ok = ok && r.read(1) == 1;
    ok = ok && r.read(1) == 0 && r.read(1) == 1 && r.read(2) == 0; // interlaced, obmc off, no sprite
    ok = ok && r.read(1) == 0 && r.read(1) == 0 && r.read(1) == 0; // 8 bit, quant, quarter sample
    ok = ok && r.read(1) == 1 && r.read(1) == 1;                   // no estimation, no resync
    ok = ok && r.read(4) == 0;                                     // partition, newpred, rrv, scalability
    ok = ok && r.read(1) == 0;                                     // stuffing: a zero...
    while (ok && r.position() % 8 != 0) ok = r.read(1) == 1;       // ...then ones to the byte
    p.wellFormed = ok && r.position() == 21 * 8;
    return p;
}

TEST(VolTableTest, GivenEntriesComeOutByteForByte) {
    const VolEntry ntscFull30 = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                                 0xba, 0x98, 0x60, 0xfa, 0x62, 0xd0, 0x87, 0x82, 0x83, 0x07};
    const VolEntry ntscSmall1 = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                                 0x89, 0xc4, 0x63, 0xe9, 0x82, 0x82, 0x07, 0x0a, 0x0c, 0x1f};
    EXPECT_EQ(volEntry(0, 30), ntscFull30);
    EXPECT_EQ(volEntry(2, 1), ntscSmall1);
    EXPECT_EQ(kVolTable[0 * 30 + 29], ntscFull30);
    EXPECT_EQ(kVolTable[2 * 30 + 0], ntscSmall1);
}

TEST(VolTableTest, EveryEntryParsesBackToItsSizeAndTiming) {
    const uint32_t sizes[6][2] = {{720, 480}, {352, 240}, {160, 112}, {720, 576}, {352, 288}, {176, 144}};
    for (int code = 0; code < 6; ++code) {
        for (int rate = 1; rate <= 30; ++rate) {
            const ParsedVol p = parse(kVolTable[static_cast<std::size_t>(code * 30 + rate - 1)]);
            SCOPED_TRACE(testing::Message() << "code " << code << " rate " << rate);
            EXPECT_TRUE(p.wellFormed);
            EXPECT_EQ(p.width, sizes[code][0]);
            EXPECT_EQ(p.height, sizes[code][1]);
            EXPECT_EQ(p.increment, 1001u);
            uint32_t expected = rate * 1000u < 5000u ? 5000u : rate * 1000u;
            if (code >= 3 && expected > 25000u) expected = 25000u;
            EXPECT_EQ(p.resolution, expected);
        }
    }
}

TEST(VolTableTest, PalResolutionIsCappedAndSlowRatesRaised) {
    EXPECT_EQ(parse(volEntry(4, 25)).resolution, 25000u);
    EXPECT_EQ(parse(volEntry(4, 30)).resolution, 25000u);
    EXPECT_EQ(parse(volEntry(4, 3)).resolution, 5000u);
    EXPECT_EQ(parse(volEntry(1, 30)).resolution, 30000u);
}

} // namespace
} // namespace fenwa10
