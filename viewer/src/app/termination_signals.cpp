#include "app/termination_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolin::ui {

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler can reach nothing but a global; it only writes one byte.
volatile sig_atomic_t gWriteFd = -1;

void onSignal(int) {
    const int saved = errno;
    const int fd = gWriteFd;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), onRequest_(std::move(onRequest)) {
    // One instance at a time owns the handlers.
    if (gWriteFd >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    gWriteFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &previous_[i]);
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr) return;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
    gWriteFd = -1;
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TerminationSignals::onReadable() {
    char bytes[16];
    bool requested = false;
    while (::read(fds_[0], bytes, sizeof bytes) > 0) requested = true;
    if (requested && onRequest_) onRequest_();
}

} // namespace tavolin::ui
