// In-memory audio devices for tests: outputs record what is done to them,
// inputs deliver the bytes a test scripts, cut into the buffer size.
#pragma once

#include "platform/audio.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

struct FakeAudioEvent {
    enum class Kind { Open, Write, Reset, Volume, Close };
    Kind kind;
    std::vector<uint8_t> data;     // Write: the bytes written
    uint32_t value = 0;            // Volume: the value set
    const void* address = nullptr; // Write: where the caller's bytes were, to tell its buffers apart
};

class FakeAudioDevices final : public AudioDevices {
public:
    FakeAudioDevices();
    ~FakeAudioDevices() override;

    // Device counts the fake reports (1 output, 1 input by default). With 0
    // devices of a kind, opening one fails.
    void setDeviceCounts(int outputs, int inputs);
    // Makes opening fail although devices are reported.
    void setOpenFails(bool fails);
    // The volume outputs made from now on report before anyone sets one
    // (full by default).
    void setInitialOutputVolume(uint32_t volume);

    // Everything done to outputs so far, in order, across all outputs.
    std::vector<FakeAudioEvent> outputEvents() const;
    // Only the buffers written, in order.
    std::vector<std::vector<uint8_t>> writtenBuffers() const;
    int resetCount() const;
    // The kinds of outputEvents(), in order.
    std::vector<FakeAudioEvent::Kind> outputEventKinds() const;

    // Adds capture data; a started input delivers it in buffers of its size.
    void pushInput(const std::vector<uint8_t>& bytes);
    // Waits (at most timeoutMs) until less than one buffer of scripted data is
    // left undelivered; true when that happened.
    bool waitInputDrained(int timeoutMs) const;
    // Buffers delivered to handlers so far.
    int deliveredInputBuffers() const;

    int outputDeviceCount() override;
    int inputDeviceCount() override;
    std::unique_ptr<AudioOutput> makeOutput() override;
    std::unique_ptr<AudioInput> makeInput() override;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace platform
