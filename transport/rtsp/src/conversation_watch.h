// What libavformat's RTSP client sends and hears on its control connection,
// read from the trace messages it logs for its context: "Sending:" with
// each whole request before it is written, "line='...'" with each line of an
// answer as it is read (an empty one ends the header): the reasons libav
// gives no code for, and a second line behind the password rule's preflight
// (a camera that asks for Basic only on a later request) as long as libav's
// trace lines read as they do.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

class ConversationWatch {
public:
    // The formats of the messages it reads, as libavformat's RTSP client
    // logs them.
    static std::vector<std::string> formats();

    // One message libav logged for the session's context (line end removed).
    void observe(std::string_view message);

    // A camera answered with a Basic challenge and no Digest one (libav
    // would answer it with the password in base64), or a request carrying
    // Basic credentials was about to be written. Stays set.
    bool basicAsked() const { return basicAsked_.load(); }
    // The status code of the last answer (0 before any); read on the thread
    // that drives libav, like observe().
    int lastStatus() const { return lastStatus_; }
    // The status a GET_PARAMETER keep-alive was refused with (0: none was).
    int keepAliveRefusal() const { return keepAliveRefusal_; }

private:
    void answerLine(std::string_view line);

    std::atomic<bool> basicAsked_{false};
    std::string lastMethod_; // of the last request written
    int lastStatus_ = 0;
    int keepAliveRefusal_ = 0;
    bool inAnswer_ = false;
    std::vector<std::string> challenges_; // of the answer being read
};

} // namespace corvel
