// A small threaded TCP server on which the simulated protocols are built:
// one accept thread per listener and one thread per connection. stop() (and
// the destructor) shuts every socket down and joins every thread.
#pragma once

#include "platform/tcp_socket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace camsim {

// One accepted connection. send() may be called from any thread.
class Connection {
public:
    explicit Connection(platform::TcpSocket socket) : socket_(std::move(socket)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    platform::TcpSocket& socket() { return socket_; }
    // Sends all bytes under the connection's send lock.
    bool send(const void* data, std::size_t length);
    // Wakes the connection's reader; the server closes the socket later.
    void shutdown();
    bool isShutDown() const { return shutDown_.load(); }

private:
    platform::TcpSocket socket_;
    std::mutex sendMutex_;
    std::atomic<bool> shutDown_{false};
};

class TcpServer {
public:
    // Runs on the connection's own thread; returning ends the connection.
    using Handler = std::function<void(const std::shared_ptr<Connection>&)>;

    TcpServer() = default;
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on host:port (0 = ephemeral) and starts accepting.
    bool start(const std::string& host, uint16_t port, Handler handler);
    void stop();
    uint16_t port() const { return port_; }
    bool isRunning() const { return running_.load(); }
    // Shuts down every open connection (the listener stays).
    void dropConnections();

private:
    struct Worker {
        std::shared_ptr<Connection> connection;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void acceptLoop();
    void reapFinished();

    platform::TcpListener listener_;
    Handler handler_;
    std::thread acceptThread_;
    std::atomic<bool> running_{false};
    uint16_t port_ = 0;
    std::mutex workersMutex_;
    std::list<Worker> workers_;
};

} // namespace camsim
