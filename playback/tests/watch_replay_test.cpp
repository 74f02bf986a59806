// tavolin-watch on a simulated camera's SD card: its recordings listed one a
// line, and a span of them saved as a clip that lands where it was recorded.
#include "replay_fixture.h"

#include "clip_reader.h"
#include "playback/clip_index.h"
#include "scratch_folder.h"
#include "watch_runner.h"

#include <onvif/replies.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace playback::test {
namespace {

using watchtest::ProgramRun;
using watchtest::runWatch;

std::vector<std::string> linesStarting(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        if (text.compare(at, start.size(), start) == 0) lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST(WatchReplayTest, ListsTheCardAndSavesASpanThatLandsWhereItWasRecorded) {
    SimulatedCard card;
    ASSERT_TRUE(card.start()) << card.error();
    const std::string camera = "127.0.0.1:" + std::to_string(card.onvif().port());
    const std::vector<std::string> login{"--onvif", camera, "--user", kUser, "--password", kPassword};

    const camsim::CardRecording recording = card.finished();
    std::vector<std::string> args = login;
    args.insert(args.end(), {"--recordings", "--from", onvif::formatDateTimeMs(recording.span.fromMs), "--to",
                             onvif::formatDateTimeMs(recording.span.toMs)});
    const ProgramRun listed = runWatch(args, std::chrono::milliseconds(20000));
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    const std::string wanted = "recording " + onvif::formatDateTimeMs(recording.span.fromMs) + " " +
                               onvif::formatDateTimeMs(recording.span.toMs) + " " + recording.token + " ";
    bool found = false;
    for (const std::string& line : linesStarting(listed.output, "recording "))
        found = found || line.rfind(wanted, 0) == 0;
    EXPECT_TRUE(found) << listed.output;
    EXPECT_FALSE(linesStarting(listed.output, "event ").empty()) << listed.output;

    recorder::test::ScratchFolder folder;
    const int64_t from = recording.span.fromMs + 60'500; // between key pictures
    args = login;
    args.insert(args.end(),
                {"--replay", onvif::formatDateTimeMs(from), "--seconds", "3", "--record", folder.file("span.mkv")});
    const ProgramRun saved = runWatch(args, std::chrono::milliseconds(30000));
    ASSERT_EQ(saved.exitCode, 0) << saved.output;
    const std::optional<ClipEntry> entry = readClipEntry(folder.file("span.mkv"));
    ASSERT_TRUE(entry) << saved.output;
    // From the key picture before (one a second), to the last picture of the span (ten a second).
    EXPECT_EQ(entry->startMs, from - 500);
    EXPECT_NEAR(static_cast<double>(entry->endMs), static_cast<double>(from + 3000), 100);
    EXPECT_EQ(entry->cameraName, "camera"); // tavolin-watch's name for an unnamed camera
}

} // namespace
} // namespace playback::test
