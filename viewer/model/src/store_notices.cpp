#include "tavolin/store_notices.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>

#include "platform/diagnostics.h"

namespace tavolin {
namespace {

constexpr std::string_view kStorePrefix = "Ledra-M: ";

// "line 3 of ./Tavolin.txt could not be read (...)" becomes a sentence.
std::string sentence(std::string_view text) {
    std::string s(text);
    if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    if (!s.empty() && s.back() != '.') s += '.';
    return s;
}

bool debugOnStandardError() {
    const char* value = std::getenv("TAVOLIN_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

} // namespace

// The sink that was there before is known only once this one is set; a line
// another thread tells in between waits for it.
struct StoreNotices::Forward {
    std::mutex mutex;
    platform::DiagnosticSink previous;
};

StoreNotices::StoreNotices(std::vector<std::string>& into) : forward_(std::make_shared<Forward>()) {
    std::lock_guard lock(forward_->mutex);
    forward_->previous = platform::setDiagnosticSink([&into, forward = forward_](const std::string& line) {
        if (std::string_view(line).substr(0, kStorePrefix.size()) == kStorePrefix) {
            into.push_back(sentence(std::string_view(line).substr(kStorePrefix.size())));
        }
        std::lock_guard lock(forward->mutex);
        if (forward->previous) {
            forward->previous(line);
        } else if (debugOnStandardError()) {
            platform::writeToStandardError(line);
        }
    });
}

StoreNotices::~StoreNotices() {
    // Not under the lock: a line being told holds the diagnostics' own lock
    // while it waits for this one.
    platform::DiagnosticSink previous;
    {
        std::lock_guard lock(forward_->mutex);
        previous = forward_->previous;
    }
    platform::setDiagnosticSink(std::move(previous));
}

std::string joinedNotices(const std::vector<std::string>& notices) {
    std::string text;
    for (auto n = notices.begin(); n != notices.end(); ++n) {
        // Sixteen saves that fail alike are told once.
        if (std::find(notices.begin(), n, *n) != n) continue;
        text += (text.empty() ? "" : "\n\n") + *n;
    }
    return text;
}

} // namespace tavolin
