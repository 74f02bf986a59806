#include "camsim/tcp_server.h"

#include <algorithm>
#include <chrono>

namespace camsim {

namespace {

// Fault waits look at the switches and the shutdown flag this often.
constexpr auto kFaultSlice = std::chrono::milliseconds(5);

} // namespace

bool Connection::send(const void* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (shutDown_.load()) return false;
    if (faults_ != nullptr && faults_->trickleMs.load() > 0) {
        return trickle(static_cast<const uint8_t*>(data), length);
    }
    return socket_.sendAll(data, length);
}

bool Connection::trickle(const uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (!socket_.sendAll(data + i, 1)) return false;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(faults_->trickleMs.load());
        while (std::chrono::steady_clock::now() < until) {
            if (shutDown_.load()) return false;
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(kFaultSlice, until - std::chrono::steady_clock::now()));
        }
    }
    return true;
}

bool Connection::waitUntilReading() {
    while (faults_ != nullptr && faults_->stopReading.load()) {
        if (shutDown_.load()) return false;
        std::this_thread::sleep_for(kFaultSlice);
    }
    return !shutDown_.load();
}

void Connection::shutdown() {
    shutDown_.store(true);
    socket_.shutdown();
}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start(const std::string& host, uint16_t port, Handler handler, const LinkFaults* faults) {
    stop();
    if (!listener_.listen(host, port)) return false;
    port_ = listener_.port();
    accepted_.store(0);
    handler_ = std::move(handler);
    faults_ = faults;
    running_.store(true);
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void TcpServer::acceptLoop() {
    while (running_.load()) {
        platform::TcpSocket socket = listener_.accept(100);
        reapFinished();
        if (!socket.isOpen()) continue;
        if (!running_.load()) break;
        socket.setNoDelay(true);
        accepted_.fetch_add(1);
        std::lock_guard<std::mutex> lock(workersMutex_);
        Worker& worker = workers_.emplace_back();
        worker.connection = std::make_shared<Connection>(std::move(socket), faults_);
        worker.thread = std::thread([this, &worker] {
            handler_(worker.connection);
            worker.connection->shutdown();
            worker.done.store(true);
        });
    }
}

void TcpServer::reapFinished() {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            auto next = std::next(it);
            if (it->done.load()) finished.splice(finished.end(), workers_, it);
            it = next;
        }
    }
    for (auto& w : finished) {
        if (w.thread.joinable()) w.thread.join();
    }
}

void TcpServer::dropConnections() {
    std::lock_guard<std::mutex> lock(workersMutex_);
    for (auto& w : workers_) w.connection->shutdown();
}

void TcpServer::stop() {
    if (!running_.exchange(false) && !acceptThread_.joinable()) return;
    listener_.shutdown();
    if (acceptThread_.joinable()) acceptThread_.join();
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(workersMutex_);
        for (auto& w : workers_) w.connection->shutdown();
        all.splice(all.end(), workers_);
    }
    for (auto& w : all) {
        if (w.thread.joinable()) w.thread.join();
    }
    listener_.close();
}

} // namespace camsim
