// Ends the program in order when the system or the user's session asks it to
// (SIGTERM, SIGINT, SIGHUP): the request reaches the GUI thread through a
// socket pair, never from inside the signal handler, so the settings file is
// still written on the way out. The previous handlers come back on
// destruction.
#pragma once

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace tavolin::ui {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // `onRequest` runs on the GUI thread, once per signal received.
    explicit TerminationSignals(std::function<void()> onRequest, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the signals could not be caught (they then end the program
    // as before).
    bool active() const { return notifier_ != nullptr; }

private:
    void onReadable();

    std::function<void()> onRequest_;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3] = {};
};

} // namespace tavolin::ui
