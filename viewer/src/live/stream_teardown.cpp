#include "live/stream_teardown.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <utility>

namespace tavolin::ui {

StreamTeardown::StreamTeardown(OstrelInterface* handle, std::thread connectThread, std::shared_ptr<void> keepAlive)
    : handle_(handle), connectThread_(std::move(connectThread)), keepAlive_(std::move(keepAlive)) {
  worker_ = std::thread([this] { run(); });
}

StreamTeardown::~StreamTeardown() {
  if (worker_.joinable()) worker_.join();
}

void StreamTeardown::run() {
  if (connectThread_.joinable()) connectThread_.join();
  connectEnded_ = true;
  M_KDisconnect(handle_);
  M_KCloseInterface(handle_);
  keepAlive_.reset();
  finished_ = true;
}

bool waitWithEvents(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || (timeoutMs >= 0 && elapsed.elapsed() >= timeoutMs)) loop.quit();
  });
  poll.start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  return done();
}

}  // namespace tavolin::ui
