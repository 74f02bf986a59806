// The frame records of one camera connection for everyone who copies them:
// the stream client's tap hands each record here on its receive thread, and
// every consumer (the recorder's pre-roll, a snapshot) gets it, so a view's
// connection also feeds the captures of its camera. Consumers come and go
// on any thread while the stream runs.
#pragma once

#include <ostrel/stream_client.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace tavolin::ui {

class FrameFanOut {
public:
    // A consumer is a tap function and its user value (CameraRecorder::tap
    // and its recorder); it must copy what it keeps and return at once.
    struct Consumer {
        M_KFrameTapCallback function = nullptr;
        void* user = nullptr;
        bool operator==(const Consumer&) const = default;
    };

    // The stream client's frame tap, with a FrameFanOut as its user value.
    static void tap(void* fanOut, int32_t frameKind, const uint8_t* record, int32_t length);

    // One record for every consumer; a null record ends the stream.
    void deliver(int32_t frameKind, const uint8_t* record, int32_t length);

    // From now on `consumer` gets every record.
    void add(Consumer consumer);
    // `consumer` gets nothing more once this returns (a call under way is
    // waited for: never call it from a consumer). One that got records since
    // the stream's last end is told the end now, so it finishes what it made
    // of them (the recorder its file).
    void remove(Consumer consumer);
    bool has(Consumer consumer) const;
    std::size_t consumers() const;

private:
    struct Entry {
        Consumer consumer;
        bool fed = false; // got records since the last end
    };
    mutable std::mutex mutex_; // held while consumers are called
    std::vector<Entry> consumers_;
};

} // namespace tavolin::ui
