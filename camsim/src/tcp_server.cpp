#include "camsim/tcp_server.h"

namespace camsim {

bool Connection::send(const void* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    if (shutDown_.load()) return false;
    return socket_.sendAll(data, length);
}

void Connection::shutdown() {
    shutDown_.store(true);
    socket_.shutdown();
}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start(const std::string& host, uint16_t port, Handler handler) {
    stop();
    if (!listener_.listen(host, port)) return false;
    port_ = listener_.port();
    handler_ = std::move(handler);
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
        std::lock_guard<std::mutex> lock(workersMutex_);
        Worker& worker = workers_.emplace_back();
        worker.connection = std::make_shared<Connection>(std::move(socket));
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
