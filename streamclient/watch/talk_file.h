// tavolin-watch --talk: a sound file sent to the camera as talk-back, in
// real time, as a microphone would deliver it.
#pragma once

#include <ostrel/stream_client.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace watch {

// Reads a WAV file (or a named pipe a WAV is written to) as 16-bit mono PCM
// at 8,000 samples/s, any WAV PCM rate, width and channel count converted.
// The file is read only as far as its sound is taken, so a long file or an
// endless pipe costs no more memory than a short one.
class TalkFileReader {
public:
    TalkFileReader();
    ~TalkFileReader();
    TalkFileReader(const TalkFileReader&) = delete;
    TalkFileReader& operator=(const TalkFileReader&) = delete;

    // Opens without blocking: a named pipe is waited on for at most
    // `writerWait` for a writer's first bytes, and the file is read until
    // its first sound. False with the reason.
    bool open(const std::string& path, std::string& error,
              std::chrono::milliseconds writerWait = std::chrono::seconds(10));

    // Up to `max` samples into `out`; waits at most `wait` for them (a pipe
    // whose writer is slow gives 0). 0 with ended() at the end of the sound,
    // or when reading failed (error() says why).
    std::size_t read(int16_t* out, std::size_t max, std::chrono::milliseconds wait);
    // Every sample was read, or reading failed.
    bool ended() const;
    const std::string& error() const { return error_; }

    // The sound's length when the file says it (a named pipe does not).
    std::optional<double> seconds() const { return seconds_; }
    // Bytes taken from the file so far.
    uint64_t bytesRead() const { return bytesRead_; }

private:
    enum class Step { Got, Waiting, Ended };
    Step step(std::chrono::milliseconds wait);
    bool feed(std::chrono::milliseconds wait);
    bool pipelineFailed();

    struct Pipeline;
    std::unique_ptr<Pipeline> pipeline_;
    std::string path_;
    int fd_ = -1;
    bool pipe_ = false;
    bool inputEnded_ = false;
    bool ended_ = false; // nothing more comes from the converter
    bool headerChecked_ = false;
    std::string header_; // the first bytes, until they show a WAV file
    std::string error_;
    std::optional<double> seconds_;
    uint64_t bytesRead_ = 0;
    std::deque<int16_t> pending_; // converted, not yet read
};

// Sends the reader's sound on the interface's open back channel, one
// microphone buffer (256 ms) at a time in real time, on a thread of its own.
class FileTalker {
public:
    FileTalker(OstrelInterface* handle, std::unique_ptr<TalkFileReader> reader);
    ~FileTalker(); // stop()
    FileTalker(const FileTalker&) = delete;
    FileTalker& operator=(const FileTalker&) = delete;

    void stop();
    bool done() const { return done_.load(); }
    // Samples the stream client took so far.
    std::size_t sent() const { return sent_.load(); }
    // Why the file stopped early, once done(); empty when it was read to its end.
    std::string error() const;

private:
    void run();
    bool stopping();

    OstrelInterface* const handle_;
    const std::unique_ptr<TalkFileReader> reader_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false; // guarded by mutex_
    std::string error_;     // guarded by mutex_
    std::atomic<bool> done_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

} // namespace watch
