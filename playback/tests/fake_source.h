// A recording in memory for the player's tests: real H.264 pictures (made
// once per test program) on a grid of times, a key picture every second,
// with the gaps, end and failures a test asks for. It answers at once,
// never waiting, and tells what it was asked.
#pragma once

#include "media_source.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace playback::test {

inline constexpr int64_t kFirstMs = 1'800'000'000'000; // the recording's first picture
inline constexpr int64_t kIntervalMs = 40;             // 25 pictures a second
inline constexpr int kKeyEvery = 25;
inline constexpr int kPictures = 250; // ten seconds

class FakeSource final : public MediaSource {
public:
    struct Script {
        int pictures = kPictures;
        std::optional<std::pair<int64_t, int64_t>> gap; // [from, to): no pictures there
        bool reverse = false;
        bool ignoresIntra = false;  // sends every picture when asked for key pictures alone
        bool endless = false;       // the last picture is not marked (a source that just stops)
        std::string failStart;      // start() fails with this reason
        int64_t failAtMs = kNoTime; // next() fails on reaching this time
    };
    explicit FakeSource(Script script);

    bool reverseOffered() const override { return script_.reverse; }
    Started start(const SourceStart& start) override;
    Fetched next(AccessUnit& unit, int timeoutMs) override;
    void interrupt() override {}
    std::string reason() const override;

    std::vector<SourceStart> starts() const;
    int unitsHandedOut() const { return handedOut_.load(); }

private:
    bool holds(int index) const;

    const Script script_;
    mutable std::mutex mutex_;
    std::vector<SourceStart> starts_;
    int position_ = -1; // next index to hand out; -1: not started
    bool intra_ = false;
    int step_ = 1;
    bool firstAfterStart_ = false;
    std::string reason_;
    std::atomic<int> handedOut_{0};
};

} // namespace playback::test
