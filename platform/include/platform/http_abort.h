// A switch any thread pulls to end HTTP requests in flight. A request that
// waits on the network is woken at once, so no request polls for it.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

namespace platform {

class HttpAbort {
public:
    HttpAbort() = default;
    HttpAbort(const HttpAbort&) = delete;
    HttpAbort& operator=(const HttpAbort&) = delete;

    void abort();
    void reset() { aborted_.store(false); }
    bool aborted() const { return aborted_.load(); }

    // How a request in flight is woken; it watches while it waits.
    class Waker {
    public:
        virtual void wake() = 0;

    protected:
        ~Waker() = default;
    };
    void watch(Waker& waker) const;
    void unwatch(Waker& waker) const;

private:
    std::atomic<bool> aborted_{false};
    mutable std::mutex mutex_;
    mutable std::vector<Waker*> watching_;
};

} // namespace platform
