#include "microphone.h"

#include <chrono>
#include <thread>

namespace ostrel {

namespace {

constexpr int kStopAcknowledgeMs = 1000;
constexpr auto kDeviceSettle = std::chrono::milliseconds(100);

} // namespace

Microphone::Microphone(const platform::Clock& clock, DeviceSource devices)
    : clock_(clock), deviceSource_(std::move(devices)) {}

Microphone::~Microphone() { stop(); }

bool Microphone::start(BufferSink sink) {
    stop();
    if (!devices_ && deviceSource_) devices_ = deviceSource_();
    std::unique_ptr<platform::AudioInput> input = devices_ ? devices_->makeInput() : nullptr;
    if (!input) return false;
    stopping_.store(false);
    sink_ = std::move(sink);
    if (!input->open(format_, kBufferBytes,
                     [this](const uint8_t* data, std::size_t bytes) { onBuffer(data, bytes); })) {
        return false;
    }
    input_ = std::move(input);
    if (!input_->start()) {
        input_->close();
        input_.reset();
        return false;
    }
    return true;
}

void Microphone::stop() {
    if (!input_) return;
    // Hand the stop over to a buffer in flight, then take the device down;
    // what the sink uses stays untouched until the handler is done with it.
    stopAcknowledged_.reset();
    stopping_.store(true);
    clock_.waitFor(stopAcknowledged_, kStopAcknowledgeMs);
    input_->stop();
    std::this_thread::sleep_for(kDeviceSettle);
    input_->close();
    input_.reset();
}

void Microphone::onBuffer(const uint8_t* data, std::size_t bytes) {
    if (!stopping_.load()) sink_(data, bytes);
    if (stopping_.load()) stopAcknowledged_.set();
}

} // namespace ostrel
