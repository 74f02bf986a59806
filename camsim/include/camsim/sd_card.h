// The SD card of a simulated ONVIF camera. The camera records its own scene
// around the clock into a ring that holds the last hours, cut into
// recordings, with motion and input events at known times. Nothing is
// stored: every picture is drawn (its date and time in large digits, and
// the time strip of time_strip.h) and encoded when it is played, so a whole
// day exists at once and costs nothing until watched.
//
// Times are milliseconds since 1970, UTC, on the camera's clock, which runs
// clockOffsetMs() off the system's; recordings and pictures follow it.
// Pictures sit on a grid counted from 1970: picture n at n / frameRate
// seconds, a key picture every keyInterval pictures (one a second unless
// told otherwise). Recordings, gaps and the ring's ends fall on key
// pictures, since a recording starts with one.
//
// Use:
//   auto card = std::make_shared<camsim::SdCard>(camsim::SdCardOptions{});
//   card->recordings(card->nowMs());          // what the search lists
//   card->events(from, to, card->nowMs());    // motion and inputs
//   card->setGap({{from, to}});                // a fault: no pictures there
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace camsim {

struct SdCardOptions {
    int ringHours = 24;        // how far back the ring reaches
    int recordingsPerDay = 24; // the ring is cut into recordings this long (24: an hour each)
    int eventsPerDay = 96;     // motion and input events, evenly spread over the day
    // The recorded picture: the camera's main stream, as a rule.
    int width = 640;
    int height = 480;
    int frameRate = 25;
    int keyInterval = 0; // pictures from one key picture to the next; 0: one a second
    int bitRateKbps = 1000;
    std::string name = "CAMERA"; // drawn in the picture
    int variant = 0;             // the panorama
    // A search answers at most this many results a call, whatever the
    // client asks for.
    int maxResultsPerAnswer = 100;
};

// [fromMs, toMs): from the first picture of the span to the end of its last.
struct CardSpan {
    int64_t fromMs = 0;
    int64_t toMs = 0;
    bool operator==(const CardSpan&) const = default;
};

struct CardRecording {
    std::string token;
    CardSpan span;              // the pictures it holds (toMs grows while recording)
    bool recording = false;     // the card still records into it
    std::vector<CardSpan> gaps; // parts of the span without pictures
};

enum class CardEventKind { MotionStart, MotionEnd, InputOn, InputOff, DataGone, DataBack };

struct CardEvent {
    int64_t timeMs = 0;
    CardEventKind kind = CardEventKind::MotionStart;
    std::string recordingToken;
    int input = 1; // which digital input, for InputOn and InputOff
};

// "MotionStart" and so on, for messages and tests.
const char* cardEventName(CardEventKind kind);

class SdCard {
public:
    explicit SdCard(SdCardOptions options = {});
    SdCard(const SdCard&) = delete;
    SdCard& operator=(const SdCard&) = delete;

    SdCardOptions options() const;

    // The camera's clock: the system's plus the offset.
    void setClockOffsetMs(int64_t offsetMs);
    int64_t clockOffsetMs() const;
    int64_t nowMs() const;

    // Faults and layouts: pictures missing over a span (nothing: none
    // missing); the card stopping to record at a time (nothing: it records
    // on); how the day is cut and filled; the search's page size.
    void setGap(std::optional<CardSpan> gap);
    void stopRecordingAt(std::optional<int64_t> ms);
    void setLayout(int recordingsPerDay, int eventsPerDay);
    void setMaxResultsPerAnswer(int results);
    // Back to the options' layout without faults (the clock offset stays).
    void clearFaults();

    // What the card holds when the camera's clock says nowMs.
    CardSpan data(int64_t nowMs) const; // the oldest picture to the end of the newest
    std::vector<CardRecording> recordings(int64_t nowMs) const;
    std::optional<CardRecording> recording(const std::string& token, int64_t nowMs) const;
    // Events in [fromMs, toMs) on pictures the card holds, oldest first,
    // including where pictures go missing and come back.
    std::vector<CardEvent> events(int64_t fromMs, int64_t toMs, int64_t nowMs) const;
    // Where the motion event under way at a time is (0 at its start, 1 at
    // its end); nothing when none is.
    std::optional<double> motionAt(int64_t ms) const;
    int maxResultsPerAnswer() const;

    // The picture grid (nanoseconds since 1970 on the camera's clock).
    int frameRate() const { return frameRate_; }
    int keyInterval() const { return keyInterval_; }
    int64_t pictureNs(int64_t index) const;
    int64_t pictureAtOrBefore(int64_t ns) const; // index
    int64_t keyPictureAtOrBefore(int64_t ns) const;
    int64_t keyPictureAtOrAfter(int64_t ns) const;
    bool isKeyPicture(int64_t index) const { return index % keyInterval_ == 0; }

private:
    struct Layout {
        int recordingsPerDay;
        int eventsPerDay;
        int maxResults;
        std::optional<CardSpan> gap;
        std::optional<int64_t> stopMs;
    };
    Layout layout() const;
    CardSpan dataOf(const Layout& l, int64_t nowMs) const;
    int64_t boundaryMs(const Layout& l, int64_t index) const; // start of recording `index`
    std::optional<CardSpan> gapOf(const Layout& l) const;     // on key pictures
    int64_t keyMsAtOrAfter(int64_t ms) const;
    bool holds(const Layout& l, int64_t ms, int64_t nowMs) const;

    const SdCardOptions options_;
    const int frameRate_;
    const int keyInterval_;
    mutable std::mutex mutex_;
    int64_t offsetMs_ = 0;
    Layout layout_;
};

} // namespace camsim
