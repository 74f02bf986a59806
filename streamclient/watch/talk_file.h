// tavolin-watch --talk: a sound file sent to the camera as talk-back, in
// real time, as a microphone would deliver it.
#pragma once

#include <ostrel/stream_client.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace watch {

// Reads a WAV file as 16-bit mono PCM at 8,000 samples/s (any WAV PCM
// rate, width and channel count is converted). False with the reason.
bool readTalkFile(const std::string& path, std::vector<int16_t>& samples, std::string& error);

// Sends the samples on the interface's open back channel, one microphone
// buffer (256 ms) at a time in real time, on a thread of its own.
class FileTalker {
public:
    FileTalker(OstrelInterface* handle, std::vector<int16_t> samples);
    ~FileTalker(); // stop()
    FileTalker(const FileTalker&) = delete;
    FileTalker& operator=(const FileTalker&) = delete;

    void stop();
    bool done() const { return done_.load(); }
    // Samples the stream client took so far.
    std::size_t sent() const { return sent_.load(); }

private:
    void run();

    OstrelInterface* const handle_;
    const std::vector<int16_t> samples_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false; // guarded by mutex_
    std::atomic<bool> done_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

} // namespace watch
