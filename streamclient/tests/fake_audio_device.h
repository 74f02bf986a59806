// An audio output for tests that records what it was asked to do.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio_device.h"

namespace ostrel_test {

class FakeAudioLog {
public:
    void add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    void addWrite(const uint8_t* data, std::size_t n) {
        std::lock_guard lock(mutex_);
        events_.push_back("write " + std::to_string(n));
        addresses_.push_back(data);
        last_.assign(data, data + n);
        writes_.push_back(last_);
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    int count(const std::string& e) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(events_.begin(), events_.end(), e));
    }
    const uint8_t* writeAddress(std::size_t i) const {
        std::lock_guard lock(mutex_);
        return i < addresses_.size() ? addresses_[i] : nullptr;
    }
    std::vector<uint8_t> lastWrite() const {
        std::lock_guard lock(mutex_);
        return last_;
    }
    std::vector<std::vector<uint8_t>> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    void setVolume(uint32_t v) {
        std::lock_guard lock(mutex_);
        volume_ = v;
    }
    uint32_t volume() const {
        std::lock_guard lock(mutex_);
        return volume_;
    }
    void setDevices(bool input, bool output) {
        std::lock_guard lock(mutex_);
        input_ = input;
        output_ = output;
    }
    void setOpenFails(bool fails) {
        std::lock_guard lock(mutex_);
        openFails_ = fails;
    }
    bool input() const {
        std::lock_guard lock(mutex_);
        return input_;
    }
    bool output() const {
        std::lock_guard lock(mutex_);
        return output_;
    }
    bool openFails() const {
        std::lock_guard lock(mutex_);
        return openFails_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<const uint8_t*> addresses_;
    std::vector<uint8_t> last_;
    std::vector<std::vector<uint8_t>> writes_;
    uint32_t volume_ = 0xFFFFFFFFu;
    bool input_ = true;
    bool output_ = true;
    bool openFails_ = false;
};

class FakeAudioDevice final : public ostrel::AudioDevice {
public:
    explicit FakeAudioDevice(std::shared_ptr<FakeAudioLog> log) : log_(std::move(log)) {}
    bool hasInputDevice() const override { return log_->input(); }
    bool hasOutputDevice() const override { return log_->output(); }
    bool open() override {
        if (log_->openFails()) return false;
        log_->add("open");
        return true;
    }
    bool write(const uint8_t* data, std::size_t length) override {
        log_->addWrite(data, length);
        return true;
    }
    void reset() override { log_->add("reset"); }
    uint32_t volume() const override { return log_->volume(); }
    void setVolume(uint32_t v) override { log_->setVolume(v); }
    void close() override { log_->add("close"); }

private:
    std::shared_ptr<FakeAudioLog> log_;
};

} // namespace ostrel_test
