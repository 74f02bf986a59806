// A small threaded TCP server on which the simulated protocols are built:
// one accept thread per listener and one thread per connection. stop() (and
// the destructor) shuts every socket down and joins every thread.
#pragma once

#include "camsim/faults.h"
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
    explicit Connection(platform::TcpSocket socket, const LinkFaults* faults = nullptr)
        : socket_(std::move(socket)), faults_(faults) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    platform::TcpSocket& socket() { return socket_; }
    // Sends all bytes under the connection's send lock (one at a time while
    // the trickle fault is on).
    bool send(const void* data, std::size_t length);
    // Returns at once unless the stop-reading fault is on; then waits until
    // it is switched off. False once the connection is shut down.
    bool waitUntilReading();
    // Wakes the connection's reader; the server closes the socket later.
    void shutdown();
    bool isShutDown() const { return shutDown_.load(); }

private:
    bool trickle(const uint8_t* data, std::size_t length);

    platform::TcpSocket socket_;
    const LinkFaults* faults_;
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

    // Listens on host:port (0 = ephemeral) and starts accepting. Connections
    // follow the link faults when given (they must outlive the server).
    bool start(const std::string& host, uint16_t port, Handler handler, const LinkFaults* faults = nullptr);
    void stop();
    uint16_t port() const { return port_; }
    bool isRunning() const { return running_.load(); }
    // Shuts down every open connection (the listener stays).
    void dropConnections();
    // Connections accepted since start.
    int connectionsAccepted() const { return accepted_.load(); }

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
    const LinkFaults* faults_ = nullptr;
    std::thread acceptThread_;
    std::atomic<bool> running_{false};
    uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::mutex workersMutex_;
    std::list<Worker> workers_;
};

} // namespace camsim
