// Tavolin's clips read back: start times and cameras from the file or its
// name, the index of a folder, accurate landing in a clip the recorder
// wrote, and an exported span holding the very bytes of the clip.
#include "clip_reader.h"
#include "fake_source.h"
#include "playback/clip_export.h"
#include "playback/clip_index.h"
#include "playback/player.h"

#include "scratch_folder.h"
#include "test_encoder.h"

#include <recorder/clip_file.h>
#include <recorder/new_file.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>

namespace playback {
namespace {

using recorder::test::ScratchFolder;

constexpr int kH264 = 27; // AV_CODEC_ID_H264
constexpr int64_t kStartMs = 1'800'000'000'000;
using test::kIntervalMs;
constexpr int kKeyEvery = 25;
constexpr int kPictures = 100;
constexpr int kClipWaitMs = 10000;

struct Written {
    std::vector<std::vector<uint8_t>> pictures; // as given to the recorder
};

// A clip as the recorder writes it: H.264 pictures 40 ms apart, a key
// picture every second; startUtcMs 0 writes no start time.
Written writeClip(const std::string& path, int64_t startUtcMs, const std::string& camera, int count = kPictures) {
    Written written;
    decoder::test::TestEncoder encoder(96, 64, 25, kKeyEvery, false, kH264);
    std::string error;
    std::optional<recorder::CreatedFile> created = recorder::createNewFile(path, error);
    EXPECT_TRUE(created) << error;
    std::unique_ptr<recorder::ClipFile> clip;
    for (int i = 0; i < count && created; ++i) {
        decoder::test::RgbPicture picture = decoder::test::quadrants(96, 64);
        picture.fillRect(i % 80, 20, 16, 16, {0, 0, 0});
        recorder::Frame frame;
        frame.kind = recorder::MediaKind::H264;
        frame.key = i % kKeyEvery == 0;
        frame.timeMs = i * kIntervalMs;
        frame.payload = encoder.encode(picture).data;
        written.pictures.push_back(frame.payload);
        if (!clip) {
            recorder::ClipLayout layout;
            layout.startUtcMs = startUtcMs;
            layout.cameraName = camera;
            layout.frameIntervalMs = kIntervalMs;
            clip = recorder::ClipFile::start(std::move(*created), frame, layout, error);
            EXPECT_TRUE(clip) << error;
            if (!clip) break;
        } else {
            EXPECT_TRUE(clip->write(frame, error)) << error;
        }
    }
    if (clip) {
        EXPECT_TRUE(clip->finish(error)) << error;
    }
    return written;
}

// Every picture of a clip, as read back.
std::vector<ClipPicture> readAll(const std::string& path) {
    std::string error;
    std::unique_ptr<ClipReader> reader = ClipReader::open(path, error);
    EXPECT_TRUE(reader) << error;
    std::vector<ClipPicture> all;
    ClipPicture p;
    while (reader && reader->read(p, error) == ClipReader::Read::Picture) all.push_back(p);
    return all;
}

// Local time for the names' tests, put back after.
class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* was = std::getenv("TZ")) before_ = was;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (before_)
            ::setenv("TZ", before_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> before_;
};

TEST(ClipNameTest, ReadsTheCameraAndTheLocalStartTime) {
    const LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2026-12-09 10:20:30.456 in Central European winter time is 09:20:30.456 UTC.
    constexpr int64_t kWinter = 1'796'808'030'456;
    constexpr int64_t kSummer = 1'781'256'830'456; // 2026-06-12 11:33:50.456 in summer time, two hours ahead
    struct Case {
        const char* name;
        std::optional<std::string> camera;
        int64_t startMs;
    };
    const Case cases[] = {
        {"Front door_2026-12-09_10-20-30.456.mkv", "Front door", kWinter},
        {"/clips/Front door_2026-12-09_10-20-30.456.mkv", "Front door", kWinter},
        {"back_yard_2026-12-09_10-20-30.456.mkv", "back_yard", kWinter}, // underscores in the name stay
        {"gate_2026-12-09_10-20-30.456-2.mkv", "gate", kWinter},         // a taken name's suffix
        {"gate_2026-06-12_11-33-50.456.mkv", "gate", kSummer},
        {"gate_2026-12-09_10-20-30.mkv", std::nullopt, 0},     // no milliseconds
        {"_2026-12-09_10-20-30.456.mkv", std::nullopt, 0},     // no camera
        {"gate_2026-02-30_10-20-30.456.mkv", std::nullopt, 0}, // no such day
        {"gate_2026-12-09_25-20-30.456.mkv", std::nullopt, 0},
        {"gate_2026-12-09_10-20-3x.456.mkv", std::nullopt, 0},
        {"minute.mkv", std::nullopt, 0},
        {"gate_2026-12-09_10-20-30.456", std::nullopt, 0}, // the time's dot is no extension
    };
    for (const Case& c : cases) {
        const std::optional<ClipName> name = parseClipName(c.name);
        ASSERT_EQ(name.has_value(), c.camera.has_value()) << c.name;
        if (!name) continue;
        EXPECT_EQ(name->cameraName, *c.camera) << c.name;
        EXPECT_EQ(name->startMs, c.startMs) << c.name;
    }
}

TEST(ClipEntryTest, TheFileSaysWhenAndWhichCameraBeforeItsName) {
    const LocalZone zone("UTC0");
    ScratchFolder folder;
    // Renamed: only the file knows.
    writeClip(folder.file("the minute that matters.mkv"), kStartMs + 123, "Front/door");
    // Written without a start time: the name places it.
    writeClip(folder.file("gate_2027-01-15_08-00-00.250.mkv"), 0, "");
    // Both: the file wins over a name that is off.
    writeClip(folder.file("gate_2027-01-15_09-00-00.000.mkv"), kStartMs, "porch");
    // Neither.
    writeClip(folder.file("nothing.mkv"), 0, "");
    std::ofstream(folder.file("broken_2027-01-15_08-00-00.250.mkv")) << "not a clip";

    const int64_t length = (kPictures - 1) * kIntervalMs;
    struct Case {
        const char* file;
        std::optional<ClipEntry> entry;
    };
    const Case cases[] = {
        {"the minute that matters.mkv", ClipEntry{"", "Frontdoor", kStartMs + 123, kStartMs + 123 + length}},
        {"gate_2027-01-15_08-00-00.250.mkv", ClipEntry{"", "gate", kStartMs + 250, kStartMs + 250 + length}},
        {"gate_2027-01-15_09-00-00.000.mkv", ClipEntry{"", "porch", kStartMs, kStartMs + length}},
        {"nothing.mkv", std::nullopt},
        {"broken_2027-01-15_08-00-00.250.mkv", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<ClipEntry> entry = readClipEntry(folder.file(c.file));
        ASSERT_EQ(entry.has_value(), c.entry.has_value()) << c.file;
        if (!entry) continue;
        EXPECT_EQ(entry->path, folder.file(c.file));
        EXPECT_EQ(entry->cameraName, c.entry->cameraName) << c.file;
        EXPECT_EQ(entry->startMs, c.entry->startMs) << c.file;
        // Matroska keeps the length of the last picture's block too.
        EXPECT_NEAR(static_cast<double>(entry->endMs), static_cast<double>(c.entry->endMs), kIntervalMs) << c.file;
    }
}

TEST(ClipIndexTest, FindsClipsByCameraAndSpanAndSeesNewOnes) {
    ScratchFolder folder;
    writeClip(folder.file("a.mkv"), kStartMs, "Front door", 30);
    writeClip(folder.file("b.mkv"), kStartMs + 60'000, "Front door", 30);
    writeClip(folder.file("c.mkv"), kStartMs + 30'000, "Gate", 30);
    std::mutex mutex;
    std::condition_variable changed;
    int changes = 0;
    ClipIndex index({folder.path().string(), 3'600'000}, [&] {
        std::lock_guard lock(mutex);
        ++changes;
        changed.notify_all();
    });
    const auto waitForChanges = [&](int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(kClipWaitMs), [&] { return changes >= count; });
    };
    ASSERT_TRUE(waitForChanges(1));
    EXPECT_TRUE(index.ready());
    EXPECT_EQ(index.all().size(), 3u);
    const auto paths = [](const std::vector<ClipEntry>& clips) {
        std::vector<std::string> names;
        for (const ClipEntry& c : clips) names.push_back(std::filesystem::path(c.path).filename().string());
        return names;
    };
    EXPECT_EQ(paths(index.clips("Front door", kStartMs - 1000, kStartMs + 120'000)),
              (std::vector<std::string>{"a.mkv", "b.mkv"}));
    EXPECT_EQ(paths(index.clips("Front door", kStartMs + 1500, kStartMs + 59'000)), std::vector<std::string>{});
    EXPECT_EQ(paths(index.clips("Front door", kStartMs + 1000, kStartMs + 1000)), std::vector<std::string>{"a.mkv"});
    EXPECT_EQ(paths(index.clips("Gate", kStartMs, kStartMs + 120'000)), std::vector<std::string>{"c.mkv"});

    writeClip(folder.file("d.mkv"), kStartMs - 60'000, "Gate", 30);
    index.rescan();
    ASSERT_TRUE(waitForChanges(2));
    EXPECT_EQ(paths(index.clips("Gate", kStartMs - 120'000, kStartMs + 120'000)),
              (std::vector<std::string>{"d.mkv", "c.mkv"}));
}

// What a headless clip player showed.
class Shown {
public:
    PlayerCallbacks callbacks() {
        PlayerCallbacks c;
        c.picture = [this](const PictureShown& p) {
            std::lock_guard lock(mutex_);
            times_.push_back(p.timeMs);
            changed_.notify_all();
        };
        c.status = [this](const PlayerStatus& s) {
            std::lock_guard lock(mutex_);
            mode_ = s.mode;
            changed_.notify_all();
        };
        return c;
    }
    // The times shown once `count` were, or all shown when the wait ran out.
    std::vector<int64_t> waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(kClipWaitMs),
                          [&] { return times_.size() >= count || mode_ == PlayerMode::Failed; });
        return times_;
    }
    PlayerMode waitForMode(PlayerMode mode) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(kClipWaitMs), [&] { return mode_ == mode; });
        return mode_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int64_t> times_;
    PlayerMode mode_ = PlayerMode::Opening;
};

TEST(ClipPlayerTest, LandsOnThePictureAskedForAndStepsOnFromIt) {
    ScratchFolder folder;
    const std::string path = folder.file("clip.mkv");
    writeClip(path, kStartMs, "porch");
    Shown shown;
    PlayerOutput out;
    out.callbacks = shown.callbacks();
    // Between pictures 37 and 38, twelve pictures past the key picture.
    const int64_t asked = kStartMs + 37 * kIntervalMs + 15;
    std::unique_ptr<Player> player = openClip(path, out, asked);
    ASSERT_EQ(shown.waitFor(1), std::vector<int64_t>{kStartMs + 38 * kIntervalMs});
    ASSERT_EQ(shown.waitForMode(PlayerMode::Paused), PlayerMode::Paused);
    player->stepForward();
    EXPECT_EQ(shown.waitFor(2), (std::vector<int64_t>{kStartMs + 38 * kIntervalMs, kStartMs + 39 * kIntervalMs}));
    player->seek(kStartMs + 99 * kIntervalMs);
    EXPECT_EQ(shown.waitFor(3).back(), kStartMs + 99 * kIntervalMs);
    EXPECT_EQ(shown.waitForMode(PlayerMode::Ended), PlayerMode::Ended);
}

TEST(ClipPlayerTest, AFileThatIsNoClipFailsThePlayer) {
    ScratchFolder folder;
    std::ofstream(folder.file("x.mkv")) << "not a clip";
    Shown shown;
    PlayerOutput out;
    out.callbacks = shown.callbacks();
    std::unique_ptr<Player> player = openClip(folder.file("x.mkv"), out, kStartMs);
    EXPECT_EQ(shown.waitForMode(PlayerMode::Failed), PlayerMode::Failed);
    EXPECT_NE(player->status().reason.find("x.mkv"), std::string::npos);
}

TEST(ClipExportTest, CopiesTheSpansPicturesByteForByteFromTheKeyPictureBefore) {
    ScratchFolder folder;
    const std::string path = folder.file("clip.mkv");
    writeClip(path, kStartMs, "porch");
    ExportOptions options;
    options.cameraName = "porch";
    // Pictures 30 to 60: from the key picture 25 on.
    const ExportResult done =
        exportClip(path, {kStartMs + 30 * kIntervalMs, kStartMs + 60 * kIntervalMs}, folder.file("span.mkv"), options);
    ASSERT_TRUE(done.ok) << done.reason;
    EXPECT_EQ(done.path, folder.file("span.mkv"));
    EXPECT_EQ(done.firstMs, kStartMs + 25 * kIntervalMs);
    EXPECT_EQ(done.lastMs, kStartMs + 60 * kIntervalMs);
    EXPECT_EQ(done.pictures, 36u);

    const std::vector<ClipPicture> source = readAll(path);
    const std::vector<ClipPicture> copy = readAll(done.path);
    ASSERT_EQ(copy.size(), 36u);
    for (std::size_t i = 0; i < copy.size(); ++i) {
        EXPECT_EQ(copy[i].data, source[25 + i].data) << i;
        EXPECT_EQ(copy[i].key, source[25 + i].key) << i;
        EXPECT_EQ(copy[i].clipMs, static_cast<int64_t>(i) * kIntervalMs) << i;
    }
    const std::optional<ClipEntry> entry = readClipEntry(done.path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->startMs, done.firstMs);
    EXPECT_EQ(entry->cameraName, "porch");

    // A second export to the same name never replaces the first.
    const ExportResult again = exportClip(path, {kStartMs, kStartMs + 100}, folder.file("span.mkv"), options);
    ASSERT_TRUE(again.ok) << again.reason;
    EXPECT_EQ(again.path, folder.file("span-2.mkv"));
}

} // namespace
} // namespace playback
