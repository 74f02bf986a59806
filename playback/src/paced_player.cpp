#include "paced_player.h"

#include <decoder/video_decoder.h>
#include <platform/surface.h>

#include <cmath>
#include <cstring>
#include <optional>

namespace playback {

namespace {

// Fell this far behind the pictures' pace (a slow decoder), the pace starts
// again from the picture at hand instead of rushing to catch up.
constexpr int64_t kLateMs = 1000;
// From this speed on only key pictures are asked for.
constexpr double kIntraSpeed = 4;

bool wantsIntra(double speed) { return speed < 0 || std::fabs(speed) >= kIntraSpeed; }

} // namespace

bool isOfferedSpeed(double speed, bool reverseOffered) {
    for (double s : kSpeeds) {
        if (speed == s || (reverseOffered && speed == -s)) return true;
    }
    return false;
}

const char* modeName(PlayerMode mode) {
    switch (mode) {
    case PlayerMode::Opening: return "opening";
    case PlayerMode::Seeking: return "seeking";
    case PlayerMode::Playing: return "playing";
    case PlayerMode::Paused: return "paused";
    case PlayerMode::Ended: return "ended";
    case PlayerMode::Failed: return "failed";
    }
    return "?";
}

// Everything the player's thread alone touches.
struct PacedPlayer::Worker {
    explicit Worker(PacedPlayer& p) : player(p), clock(p.clock_), source(*p.source_) {}

    enum class Phase { Starting, Landing, Showing, Idle };

    PacedPlayer& player;
    const platform::Clock& clock;
    MediaSource& source;

    Phase phase = Phase::Starting;
    bool opened = false; // the source started once
    std::optional<SourceStart> pendingStart;
    int64_t landingMs = kNoTime; // shows nothing before this time
    bool wantPlay = false;
    double speed = 1;
    bool intra = false; // what the source was asked for
    int steps = 0;

    std::unique_ptr<decoder::VideoDecoder> decoder;
    DecoderCodec codec = kDecoderCodecH264;
    bool keySeen = false;
    // What the decoder holds of the units given to it, oldest first.
    struct Given {
        int64_t timeMs;
        int64_t sourceTimeMs;
        bool discontinuity;
        bool last;
    };
    std::deque<Given> given;

    // A decoded picture not shown yet (valid until the next decode).
    struct Held {
        Given unit{};
        const uint8_t* picture = nullptr;
    };
    std::optional<Held> held;
    int64_t shownMs = kNoTime;
    bool afterStart = true; // nothing shown since the source started

    int64_t anchorWallMs = 0;
    int64_t anchorPictureMs = kNoTime;

    // Status ---------------------------------------------------------------
    void setMode(PlayerMode mode, const std::string& reason = {}) {
        PlayerStatus copy;
        {
            std::lock_guard lock(player.mutex_);
            PlayerStatus& s = player.status_;
            s.mode = mode;
            s.playWanted = wantPlay;
            s.speed = speed;
            s.shownMs = shownMs;
            if (mode == PlayerMode::Ended || mode == PlayerMode::Failed || !reason.empty()) s.reason = reason;
            copy = s;
        }
        if (player.settings_.output.callbacks.status) player.settings_.output.callbacks.status(copy);
    }
    PlayerMode settledMode() const { return wantPlay ? PlayerMode::Playing : PlayerMode::Paused; }

    // Commands -------------------------------------------------------------
    void restartAt(int64_t fromMs) {
        pendingStart = SourceStart{fromMs, speed, wantsIntra(speed)};
        landingMs = fromMs;
        held.reset();
        phase = Phase::Starting;
    }

    void apply(const Command& c) {
        switch (c.kind) {
        case Command::Seek: {
            std::lock_guard lock(player.mutex_);
            player.status_.requestedMs = c.timeMs;
        }
            restartAt(c.timeMs);
            setMode(opened ? PlayerMode::Seeking : PlayerMode::Opening);
            break;
        case Command::Play:
            wantPlay = true;
            steps = 0;
            if (phase == Phase::Idle && shownMs != kNoTime && currentMode() == PlayerMode::Paused) {
                anchor(shownMs);
                phase = Phase::Showing;
                setMode(PlayerMode::Playing);
            } else if (phase == Phase::Showing) {
                setMode(PlayerMode::Playing);
            }
            break;
        case Command::Pause:
            wantPlay = false;
            steps = 0;
            if (phase == Phase::Showing) {
                phase = Phase::Idle;
                setMode(PlayerMode::Paused);
            }
            break;
        case Command::Step:
            wantPlay = false;
            if (phase == Phase::Idle && currentMode() == PlayerMode::Paused) {
                steps = 1;
                phase = Phase::Showing;
            } else if (phase == Phase::Showing) {
                steps = 1;
                setMode(PlayerMode::Paused);
            }
            break;
        case Command::Speed: changeSpeed(c.speed); break;
        }
    }

    void changeSpeed(double to) {
        const double from = speed;
        speed = to;
        if (pendingStart) {
            pendingStart->speed = to;
            pendingStart->intraOnly = wantsIntra(to);
        }
        const bool restart = opened && shownMs != kNoTime && (wantsIntra(to) != intra || (to < 0) != (from < 0));
        if (restart) {
            // Asked again from just after (before) the picture shown, now with
            // or without key pictures alone.
            restartAt(to < 0 ? shownMs - 1 : shownMs + 1);
            setMode(PlayerMode::Seeking);
            return;
        }
        if (shownMs != kNoTime) anchor(shownMs);
        std::lock_guard lock(player.mutex_);
        player.status_.speed = speed;
        player.status_.reason.clear();
    }

    PlayerMode currentMode() const {
        std::lock_guard lock(player.mutex_);
        return player.status_.mode;
    }

    // Takes every queued command; true when told to quit.
    bool takeCommands() {
        std::deque<Command> taken;
        {
            std::lock_guard lock(player.mutex_);
            player.wake_.reset();
            if (player.quit_) return true;
            taken.swap(player.commands_);
        }
        for (const Command& c : taken) apply(c);
        return false;
    }

    // Pictures -------------------------------------------------------------
    void anchor(int64_t pictureMs) {
        anchorWallMs = clock.nowMs();
        anchorPictureMs = pictureMs;
    }
    int64_t dueMs(int64_t pictureMs) const {
        return anchorWallMs +
               static_cast<int64_t>(std::llround(static_cast<double>(pictureMs - anchorPictureMs) / speed));
    }

    // Fetches and decodes until a picture is held; false when there is none
    // now (the caller loops, taking commands) or the source ended.
    bool decodeNext() {
        AccessUnit unit;
        switch (source.next(unit, player.settings_.fetchWaitMs)) {
        case Fetched::Nothing: return false;
        case Fetched::End: ended(source.reason()); return false;
        case Fetched::Failed: failed(source.reason()); return false;
        case Fetched::Unit: break;
        }
        // A source that sends more than key pictures when only those were
        // asked for (a camera that ignores "Frames: intra") is thinned here.
        if (intra && !unit.key) return false;
        if (!unit.key && !keySeen) return false;
        if (!decoder || unit.codec != codec) {
            decoder = decoder::VideoDecoder::create(unit.codec);
            codec = unit.codec;
            given.clear();
            keySeen = false;
            if (!decoder) {
                failed("this recording's pictures cannot be decoded");
                return false;
            }
            if (!unit.key) return false;
        }
        keySeen = keySeen || unit.key;
        given.push_back({unit.timeMs, unit.sourceTimeMs, unit.discontinuity, unit.last});
        const PlayerOutput& out = player.settings_.output;
        const uint8_t* picture =
            decoder->decode(out.maxWidth, out.maxHeight, unit.data.data(), unit.data.size(), unit.timeMs);
        if (picture == nullptr) {
            if (unit.last) ended("the recording ends here");
            return false;
        }
        const int64_t time = decoder->pictureTime();
        // The units before this picture's own made no picture of their own.
        Given mine{time, kNoTime, false, false};
        bool gap = false;
        while (!given.empty() && given.front().timeMs != time) {
            gap = gap || given.front().discontinuity;
            given.pop_front();
        }
        if (!given.empty()) {
            mine = given.front();
            given.pop_front();
        }
        mine.discontinuity = mine.discontinuity || gap;
        held = Held{mine, picture};
        return true;
    }

    void show(const Held& h) {
        PictureShown shown;
        shown.timeMs = h.unit.timeMs;
        shown.sourceTimeMs = h.unit.sourceTimeMs;
        shown.afterGap = h.unit.discontinuity && !afterStart;
        PictureHeader header{};
        std::memcpy(&header, h.picture, sizeof header);
        shown.width = header.width;
        shown.height = header.height < 0 ? -header.height : header.height;
        if (const uint32_t handle = player.settings_.output.surface; handle != 0) {
            if (std::shared_ptr<platform::Surface> surface = platform::SurfaceRegistry::find(handle)) {
                platform::PictureView view;
                view.width = shown.width;
                view.height = shown.height;
                view.bitCount = header.bitCount;
                view.stride = platform::bitmapStride(shown.width, header.bitCount);
                view.pixels = h.picture + decoder::kPictureHeaderSize;
                const platform::SurfaceSize size = surface->clientSize();
                surface->stretchDraw(view, {0, 0, size.width, size.height});
                surface->present();
            }
        }
        shownMs = shown.timeMs;
        afterStart = false;
        {
            std::lock_guard lock(player.mutex_);
            player.status_.shownMs = shownMs;
        }
        if (player.settings_.output.callbacks.picture) player.settings_.output.callbacks.picture(shown);
        if (h.unit.last) ended("the recording ends here");
    }

    void ended(const std::string& why) {
        held.reset();
        phase = Phase::Idle;
        setMode(PlayerMode::Ended, why.empty() ? std::string("the recording ends here") : why);
    }
    void failed(const std::string& why) {
        held.reset();
        phase = Phase::Idle;
        setMode(PlayerMode::Failed, why.empty() ? std::string("the recording cannot be played") : why);
    }

    // One turn of the loop --------------------------------------------------
    void startSource() {
        const SourceStart start = *pendingStart;
        switch (source.start(start)) {
        case Started::Interrupted: return; // the commands that interrupted decide
        case Started::Failed:
            pendingStart.reset();
            failed(source.reason());
            return;
        case Started::Yes: break;
        }
        pendingStart.reset();
        opened = true;
        intra = start.intraOnly;
        if (decoder) decoder->restart();
        given.clear();
        keySeen = false;
        afterStart = true;
        phase = Phase::Landing;
        setMode(PlayerMode::Seeking);
    }

    void land() {
        if (!held && !decodeNext()) return;
        const bool forward = speed > 0;
        const int64_t t = held->unit.timeMs;
        if (forward ? t < landingMs : t > landingMs) {
            held.reset(); // decoded only to reach the time asked for
            return;
        }
        const Held h = *held;
        held.reset();
        phase = Phase::Idle;
        show(h);
        if (phase == Phase::Idle && currentMode() != PlayerMode::Ended) {
            anchor(shownMs);
            phase = wantPlay ? Phase::Showing : Phase::Idle;
            steps = 0;
            setMode(settledMode());
        }
    }

    void showNext() {
        if (!held && !decodeNext()) return;
        const int64_t t = held->unit.timeMs;
        const bool stepping = steps > 0;
        if (!stepping) {
            const double stepAt1x = std::fabs(static_cast<double>(t - shownMs));
            const bool backwards = speed > 0 ? t < shownMs : t > shownMs;
            if (held->unit.discontinuity || backwards || stepAt1x > player.settings_.longestStepMs) {
                held->unit.discontinuity = true;
                anchor(t); // a gap is jumped, not waited out
            }
            const int64_t due = dueMs(t);
            const int64_t now = clock.nowMs();
            if (due > now) {
                clock.waitFor(player.wake_, static_cast<int>(std::min<int64_t>(due - now, INT32_MAX)));
                return; // the loop takes commands, then comes back
            }
            if (now - due > kLateMs) anchor(t);
        }
        const Held h = *held;
        held.reset();
        show(h);
        if (stepping && --steps == 0 && phase == Phase::Showing) {
            phase = Phase::Idle;
            setMode(PlayerMode::Paused);
        }
    }

    void run() {
        speed = player.settings_.speed;
        wantPlay = player.settings_.playAtStart;
        restartAt(player.settings_.startMs);
        {
            std::lock_guard lock(player.mutex_);
            player.status_.requestedMs = player.settings_.startMs;
        }
        setMode(PlayerMode::Opening);
        while (!takeCommands()) {
            switch (phase) {
            case Phase::Starting:
                if (pendingStart) startSource();
                break;
            case Phase::Landing: land(); break;
            case Phase::Showing: showNext(); break;
            case Phase::Idle: clock.waitFor(player.wake_, -1); break;
            }
        }
    }
};

PacedPlayer::PacedPlayer(std::unique_ptr<MediaSource> source, Settings settings)
    : source_(std::move(source)), settings_(std::move(settings)),
      clock_(settings_.clock != nullptr ? *settings_.clock : platform::SystemClock::instance()),
      reverseOffered_(source_->reverseOffered()) {
    status_.speed = settings_.speed;
    status_.playWanted = settings_.playAtStart;
    status_.reverseOffered = reverseOffered_;
    status_.requestedMs = settings_.startMs;
    thread_ = std::thread([this] { run(); });
}

PacedPlayer::~PacedPlayer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.set();
    source_->interrupt();
    thread_.join();
}

void PacedPlayer::run() {
    Worker worker(*this);
    worker.run();
}

void PacedPlayer::post(const Command& command) {
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(command);
    }
    wake_.set();
    source_->interrupt();
}

void PacedPlayer::seek(int64_t timeMs) { post({Command::Seek, timeMs}); }
void PacedPlayer::play() { post({Command::Play}); }
void PacedPlayer::pause() { post({Command::Pause}); }
void PacedPlayer::stepForward() { post({Command::Step}); }

bool PacedPlayer::setSpeed(double speed) {
    if (!isOfferedSpeed(speed, reverseOffered_)) {
        std::lock_guard lock(mutex_);
        status_.reason = speed < 0 ? "this recording does not play backwards"
                                   : "speed " + std::to_string(speed) + " is not offered (1/2, 1, 2, 4, 8)";
        return false;
    }
    post({Command::Speed, 0, speed});
    return true;
}

PlayerStatus PacedPlayer::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

} // namespace playback
