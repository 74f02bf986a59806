// The reasons the libraries tell when something fails (a refused login, a
// closed port, a file that cannot be written), kept so that the viewer can
// show the last one beside its own message. While it lives it is the
// process's diagnostics sink; nothing reaches the terminal unless
// TAVOLIN_DEBUG=1 asks for it.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/diagnostics.h"

namespace tavolin::ui {

// A reason as the user reads it: "Fenwa20-M: connect to ... failed" reads
// "connect to ... failed", since the library's name means nothing to them.
QString reasonForUser(std::string_view line);

class ReasonLog {
public:
    ReasonLog();
    ~ReasonLog();
    ReasonLog(const ReasonLog&) = delete;
    ReasonLog& operator=(const ReasonLog&) = delete;

    // Where the lines told from now on begin.
    uint64_t mark() const;
    // The last line told since `mark`, without the name of the library that
    // told it; empty when none was told.
    QString lastSince(uint64_t mark) const;

private:
    void take(const std::string& line);

    mutable std::mutex lock_;
    std::deque<std::string> lines_; // the newest few
    uint64_t told_ = 0;             // lines told so far
    bool echo_ = false;
    platform::DiagnosticSink previous_;
};

} // namespace tavolin::ui
