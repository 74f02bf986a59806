// tavolin-watch on a simulated camera's SD card: its recordings listed one a
// line, and a span of them saved as a clip that lands where it was recorded.
#include "replay_fixture.h"

#include "clip_reader.h"
#include "playback/clip_index.h"
#include "scratch_folder.h"

#include <onvif/replies.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace playback::test {
namespace {

struct ProgramRun {
    std::string output;
    int exitCode = -1; // -1: killed at the deadline
};

// The program's standard output and exit code, killed after `limitMs`.
ProgramRun runWatch(std::vector<std::string> args, int limitMs) {
    ProgramRun run;
    ::setenv("TAVOLIN_LOOPBACK_ONLY", "1", 1);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    args.insert(args.begin(), TAVOLIN_WATCH_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (char buffer[4096]; spawned == 0;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    if (spawned == 0) ::waitpid(child, &status, 0);
    if (spawned == 0 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

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
    const ProgramRun listed = runWatch(args, 20000);
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
    const ProgramRun saved = runWatch(args, 30000);
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
