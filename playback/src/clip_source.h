// One of Tavolin's clips as a player's source: its pictures on our clock
// (the clip's start plus each picture's time in the file), from the key
// picture at or before any time. The file is opened on the first start, on
// the player's thread.
#pragma once

#include "clip_reader.h"
#include "media_source.h"

#include <memory>
#include <optional>
#include <string>

namespace playback {

class ClipSource final : public MediaSource {
public:
    explicit ClipSource(std::string path);

    bool reverseOffered() const override { return false; }
    Started start(const SourceStart& start) override;
    Fetched next(AccessUnit& unit, int timeoutMs) override;
    // Reading a file never waits long: nothing to cut short.
    void interrupt() override {}
    std::string reason() const override { return reason_; }

    // The clip's start on our clock, once opened.
    int64_t startMs() const { return startMs_; }

private:
    bool open();
    // Reads the picture after `ahead_` into it; false when there is none.
    bool readAhead();

    const std::string path_;
    std::unique_ptr<ClipReader> reader_;
    int64_t startMs_ = 0;
    bool intraOnly_ = false;
    bool discontinuity_ = true;
    std::optional<ClipPicture> ahead_; // read one ahead, to mark the last
    bool failed_ = false;
    std::string reason_;
};

} // namespace playback
