// Ends one stream away from the GUI thread: waits for the stream's connect
// thread to leave M_KConnect, then disconnects and closes the interface.
// The interface is never closed under a connect thread that is still inside
// M_KConnect; whoever owns this object joins its worker (the destructor does).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "ostrel/stream_client.h"

namespace tavolin::ui {

class StreamTeardown {
 public:
  // `keepAlive` is destroyed once the interface is closed: whatever the
  // stream's callbacks point at.
  StreamTeardown(OstrelInterface* handle, std::thread connectThread, std::shared_ptr<void> keepAlive);
  ~StreamTeardown();
  StreamTeardown(const StreamTeardown&) = delete;
  StreamTeardown& operator=(const StreamTeardown&) = delete;

  bool connectThreadEnded() const { return connectEnded_.load(); }
  bool finished() const { return finished_.load(); }

 private:
  void run();

  OstrelInterface* handle_;
  std::thread connectThread_;
  std::shared_ptr<void> keepAlive_;
  std::atomic<bool> connectEnded_{false};
  std::atomic<bool> finished_{false};
  std::thread worker_;
};

// Runs the GUI's events (no user input) until `done` is true or `timeoutMs`
// passed (negative: no limit); true when `done` became true. The window keeps
// repainting and posted work keeps arriving while a caller waits.
bool waitWithEvents(const std::function<bool()>& done, int timeoutMs);

}  // namespace tavolin::ui
