#include "conversation_watch.h"

#include "rtsp_password/password_rule.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace corvel {

namespace {

constexpr std::string_view kLineStart = "line='";
constexpr std::string_view kRequestStart = "Sending:";
constexpr std::string_view kChallenge = "www-authenticate:";
constexpr std::string_view kCredentials = "\nauthorization:";

bool sameLetters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

bool startsWithCaseless(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && std::equal(start.begin(), start.end(), text.begin(), sameLetters);
}

// The value of the request's Authorization header, if it has one.
std::string_view credentialsOf(std::string_view request) {
    const auto at = std::search(request.begin(), request.end(), kCredentials.begin(), kCredentials.end(), sameLetters);
    if (at == request.end()) return {};
    std::string_view value = request.substr(static_cast<std::size_t>(at - request.begin()) + kCredentials.size());
    return value.substr(0, value.find_first_of("\r\n"));
}

} // namespace

std::vector<std::string> ConversationWatch::formats() { return {"Sending:\n%s--\n", "line='%s'\n"}; }

void ConversationWatch::observe(std::string_view message) {
    if (message.substr(0, kRequestStart.size()) == kRequestStart) {
        if (rtsp_password::isBasic(credentialsOf(message))) basicAsked_.store(true);
        const std::string_view request = message.substr(std::min(message.size(), kRequestStart.size() + 1));
        lastMethod_ = std::string(request.substr(0, request.find(' ')));
        return;
    }
    if (message.size() < kLineStart.size() + 1 || message.substr(0, kLineStart.size()) != kLineStart ||
        message.back() != '\'')
        return;
    answerLine(message.substr(kLineStart.size(), message.size() - kLineStart.size() - 1));
}

void ConversationWatch::answerLine(std::string_view line) {
    if (!inAnswer_ || line.substr(0, 5) == "RTSP/") { // a status line, also after a cut answer
        inAnswer_ = true;
        challenges_.clear();
        // "RTSP/1.0 454 Session Not Found"; a request from the camera has none.
        const std::size_t space = line.find(' ');
        lastStatus_ = line.substr(0, 5) == "RTSP/" && space != std::string_view::npos
                          ? std::atoi(std::string(line.substr(space + 1, 3)).c_str())
                          : 0;
        if (lastMethod_ == "GET_PARAMETER" && lastStatus_ >= 400) keepAliveRefusal_ = lastStatus_;
        return;
    }
    if (line.empty()) { // the end of the header: libav answers a challenge next
        inAnswer_ = false;
        std::vector<std::string_view> offered(challenges_.begin(), challenges_.end());
        if (rtsp_password::answerTo(rtsp_password::Authentication::DigestOnly, offered) ==
            rtsp_password::Answer::Refuse)
            basicAsked_.store(true);
        return;
    }
    if (!startsWithCaseless(line, kChallenge)) return;
    challenges_.emplace_back(line.substr(kChallenge.size()));
}

} // namespace corvel
