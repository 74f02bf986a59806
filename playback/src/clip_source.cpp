#include "clip_source.h"

#include "paced_player.h"
#include "playback/clip_index.h"

namespace playback {

ClipSource::ClipSource(std::string path) : path_(std::move(path)) {}

bool ClipSource::open() {
    if (reader_) return true;
    std::string error;
    reader_ = ClipReader::open(path_, error);
    if (!reader_) {
        reason_ = error;
        return false;
    }
    if (reader_->writtenStartMs()) {
        startMs_ = *reader_->writtenStartMs();
    } else if (const std::optional<ClipName> named = parseClipName(path_)) {
        startMs_ = named->startMs;
    } else {
        reason_ = path_ + ": neither the clip nor its name says when it was recorded";
        reader_.reset();
        return false;
    }
    return true;
}

Started ClipSource::start(const SourceStart& start) {
    if (!open()) return Started::Failed;
    if (start.speed < 0) {
        reason_ = "a clip does not play backwards";
        return Started::Failed;
    }
    if (!reader_->seek(start.fromMs - startMs_)) {
        reason_ = path_ + ": the clip cannot be searched";
        return Started::Failed;
    }
    intraOnly_ = start.intraOnly;
    discontinuity_ = true;
    failed_ = false;
    ahead_.reset();
    readAhead();
    if (failed_) return Started::Failed;
    return Started::Yes;
}

bool ClipSource::readAhead() {
    ClipPicture picture;
    std::string error;
    for (;;) {
        switch (reader_->read(picture, error)) {
        case ClipReader::Read::End: ahead_.reset(); return false;
        case ClipReader::Read::Failed:
            reason_ = error;
            failed_ = true;
            ahead_.reset();
            return false;
        case ClipReader::Read::Picture: break;
        }
        if (!intraOnly_ || picture.key) break;
    }
    ahead_ = std::move(picture);
    return true;
}

Fetched ClipSource::next(AccessUnit& unit, int) {
    if (failed_) return Fetched::Failed;
    if (!reader_ || !ahead_) {
        reason_ = "the clip ends here";
        return Fetched::End;
    }
    ClipPicture picture = std::move(*ahead_);
    readAhead();
    if (failed_) return Fetched::Failed;
    unit.timeMs = startMs_ + picture.clipMs;
    unit.sourceTimeMs = unit.timeMs;
    unit.key = picture.key;
    unit.discontinuity = discontinuity_;
    unit.last = !ahead_.has_value();
    unit.codec = reader_->codec();
    unit.data = std::move(picture.data);
    discontinuity_ = false;
    return Fetched::Unit;
}

std::unique_ptr<Player> openClip(const std::string& path, const PlayerOutput& output, int64_t startMs, bool play) {
    PacedPlayer::Settings settings;
    settings.output = output;
    settings.startMs = startMs;
    settings.playAtStart = play;
    return std::make_unique<PacedPlayer>(std::make_unique<ClipSource>(path), settings);
}

} // namespace playback
