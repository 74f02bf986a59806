// A test fixture that opens an interface object on the fake plug-ins.
#pragma once

#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clock_driver.h"
#include "interface_object.h"
#include "platform/audio_fake.h"
#include "platform/clock.h"
#include "platform/module.h"
#include "platform/surface.h"
#include "test_support.h"

namespace ostrel::test {

// Polls until the condition holds; false after timeoutMs (only a safety net).
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The control functions of the fake plug-ins, reached by loading them too.
struct FakeTransportControl {
    platform::Module module;
    void (*reset)() = nullptr;
    void (*setResults)(int32_t, int32_t) = nullptr;
    void (*holdConnect)(int32_t) = nullptr;
    void (*pushFrame)(int32_t, const uint8_t*, int32_t) = nullptr;
    void (*drop)() = nullptr;
    int32_t (*waitDrained)(int32_t) = nullptr;
    int32_t (*waitCall)(const char*, int32_t, int32_t) = nullptr;
    void (*callsInto)(char*, int32_t) = nullptr;
    int32_t (*liveInstances)() = nullptr;
    void (*lastConfig)(MediaConfig*) = nullptr;
    int32_t (*eventsWanted)() = nullptr;

    template <class F>
    void bind(F& f, const char* name) {
        f = reinterpret_cast<F>(module.symbol(name));
        ASSERT_NE(f, nullptr) << name;
    }
    void load() {
        ASSERT_TRUE(module.load("FakeTransport-M")) << module.error();
        bind(reset, "FakeTransport_Reset");
        bind(setResults, "FakeTransport_SetResults");
        bind(holdConnect, "FakeTransport_HoldConnect");
        bind(pushFrame, "FakeTransport_PushFrame");
        bind(drop, "FakeTransport_Drop");
        bind(waitDrained, "FakeTransport_WaitDrained");
        bind(waitCall, "FakeTransport_WaitCall");
        bind(callsInto, "FakeTransport_Calls");
        bind(liveInstances, "FakeTransport_LiveInstances");
        bind(lastConfig, "FakeTransport_LastConfig");
        bind(eventsWanted, "FakeTransport_EventsWanted");
    }
    std::string calls() {
        std::vector<char> buffer(4096);
        callsInto(buffer.data(), static_cast<int32_t>(buffer.size()));
        return buffer.data();
    }
    void push(const std::vector<uint8_t>& record) {
        pushFrame(record[4], record.data(), static_cast<int32_t>(record.size()));
    }
};

struct FakeDecoderControl {
    platform::Module module;
    void (*reset)() = nullptr;
    void (*claimImageSize)(uint32_t) = nullptr;
    void (*countsInto)(int32_t*, int32_t*, int32_t*) = nullptr;
    void (*lastInto)(int32_t*, int32_t*, int32_t*) = nullptr;
    uint32_t (*lastCodec)() = nullptr;

    void load() {
        ASSERT_TRUE(module.load("FakeDecoder-M")) << module.error();
        reset = reinterpret_cast<void (*)()>(module.symbol("FakeDecoder_Reset"));
        claimImageSize = reinterpret_cast<void (*)(uint32_t)>(module.symbol("FakeDecoder_ClaimImageSize"));
        countsInto = reinterpret_cast<void (*)(int32_t*, int32_t*, int32_t*)>(module.symbol("FakeDecoder_Counts"));
        lastInto = reinterpret_cast<void (*)(int32_t*, int32_t*, int32_t*)>(module.symbol("FakeDecoder_Last"));
        lastCodec = reinterpret_cast<uint32_t (*)()>(module.symbol("FakeDecoder_LastCodec"));
        ASSERT_TRUE(reset && claimImageSize && countsInto && lastInto && lastCodec);
    }
    int inits() {
        int32_t a, b, c;
        countsInto(&a, &b, &c);
        return a;
    }
    int exits() {
        int32_t a, b, c;
        countsInto(&a, &b, &c);
        return b;
    }
    int decodes() {
        int32_t a, b, c;
        countsInto(&a, &b, &c);
        return c;
    }
    int lastWidth() {
        int32_t a, b, c;
        lastInto(&a, &b, &c);
        return a;
    }
    int lastHeight() {
        int32_t a, b, c;
        lastInto(&a, &b, &c);
        return b;
    }
};

// Counts calls of a callback and lets a test wait for them.
struct CallCounter {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::vector<std::vector<int32_t>> arguments;

    void hit(std::vector<int32_t> args = {}) {
        std::lock_guard lock(mutex);
        ++count;
        arguments.push_back(std::move(args));
        changed.notify_all();
    }
    bool waitFor(int n, int timeoutMs = 10000) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return count >= n; });
    }
    int value() {
        std::lock_guard lock(mutex);
        return count;
    }
    std::vector<std::vector<int32_t>> args() {
        std::lock_guard lock(mutex);
        return arguments;
    }
};

inline void countSimple(void* user) { static_cast<CallCounter*>(user)->hit(); }
inline void countMotion(void* user, int32_t a, int32_t b, int32_t c, int32_t d) {
    static_cast<CallCounter*>(user)->hit({a, b, c, d});
}
inline void countDi(void* user, int32_t a, int32_t b) { static_cast<CallCounter*>(user)->hit({a, b}); }

inline MediaConfig loopbackConfig(int32_t connectionType = 2) {
    MediaConfig c{};
    c.connectionType = connectionType;
    std::strcpy(c.cameraAddress, "127.0.0.1");
    std::strcpy(c.userName, "admin");
    std::strcpy(c.password, "secret");
    c.controlPort = 1; // never dialled by the fakes
    c.httpPort = 1;
    c.connectTimeoutSeconds = 5;
    return c;
}

class StreamClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport.load();
        decoder.load();
        transport.reset();
        decoder.reset();
        surface = std::make_shared<platform::RecordingSurface>(platform::SurfaceSize{640, 480});
        window = platform::SurfaceRegistry::add(surface);
        seams.clock = &clock;
        seams.transportNames = {"FakeTransport-M", "FakeTransport-M", "FakeTransport-M", "FakeTransport-M",
                                "FakeTransport-M"};
        seams.decoderNames = {"NoSuchDecoderPxa-M", "FakeDecoder-M"};
        seams.processorInfo = [] { return platform::ProcessorInfo{true, "Test CPU", ""}; };
        auto devices = audio;
        seams.audioDevices = [devices] { return devices; };
        open();
    }
    void TearDown() override {
        close();
        platform::SurfaceRegistry::remove(window);
    }

    // Opens the object with the current seams and the counting callbacks.
    void open() {
        handle = ostrel::openInterface(seams);
        ASSERT_NE(handle, nullptr);
        M_KSetNetworkLossCallback(handle, &networkLoss, countSimple);
        M_KSetAfterRenderCallback(handle, &rendered, countSimple);
    }
    void close() {
        if (handle != nullptr) {
            M_KDisconnect(handle);
            M_KCloseInterface(handle);
        }
        handle = nullptr;
    }
    // Opens a fresh object after a test changed the seams.
    void reopen() {
        close();
        open();
    }

    void configure(int32_t streamingType = 2, uint32_t renderWindow = 0xFFFFFFFFu) {
        M_KSetStreamingType(handle, streamingType);
        MediaConfig c = loopbackConfig();
        ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
        RenderInfo info{};
        info.window = renderWindow == 0xFFFFFFFFu ? window : renderWindow;
        info.left = 10;
        info.top = 20;
        info.width = 300;
        info.height = 200;
        M_KSetRenderInfo(handle, &info);
    }

    // Connects and lets the connect wait run out as soon as it started.
    int32_t connectExpectingFailure() {
        return callWhileAdvancing(clock, ostrel::kConnectWaitMs, [this] { return M_KConnect(handle); });
    }

    // Connects and lets the connect wait run out once the transport saw the
    // named call, so that the receive thread is known to have got that far.
    int32_t connectGivingUpAfter(const char* call) {
        auto result = std::async(std::launch::async, [this] { return M_KConnect(handle); });
        EXPECT_TRUE(transport.waitCall(call, 1, 10000)) << call;
        EXPECT_TRUE(clock.awaitWaiters(1));
        clock.advanceMs(ostrel::kConnectWaitMs);
        return result.get();
    }

    // Lets the picture time-out run out until the network loss was reported.
    bool advanceUntilNetworkLoss() {
        return advanceUntil(clock, ostrel::kPictureTimeoutMs, [this] { return networkLoss.waitFor(1, 5); });
    }

    // Pushes the record until a picture made from it was drawn: a picture
    // that arrives while the previous one is being drawn is dropped.
    void pushUntilDrawn(const std::vector<uint8_t>& record) {
        const int before = rendered.value();
        for (int attempt = 0; attempt < 500; ++attempt) {
            transport.push(record);
            if (rendered.waitFor(before + 1, 20)) return;
        }
        ADD_FAILURE() << "no picture was drawn";
    }

    void startStream(unsigned width = 64, unsigned height = 48) {
        configure();
        ASSERT_EQ(M_KConnect(handle), 1);
        transport.push(frameRecord(1, intraData(width, height, 10, 20, 30)));
        ASSERT_TRUE(rendered.waitFor(1));
    }

    FakeTransportControl transport;
    FakeDecoderControl decoder;
    platform::ManualClock clock;
    std::shared_ptr<platform::FakeAudioDevices> audio = std::make_shared<platform::FakeAudioDevices>();
    ostrel::Seams seams;
    std::shared_ptr<platform::RecordingSurface> surface;
    uint32_t window = 0;
    OstrelInterface* handle = nullptr;
    CallCounter networkLoss;
    CallCounter rendered;
};

} // namespace ostrel::test
