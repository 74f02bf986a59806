#include "onvif/event_state.h"

#include <algorithm>
#include <cctype>

namespace onvif {

namespace {

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool isTrue(const std::string& value) {
    std::string v;
    for (char c : value) v += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return v == "true" || v == "1" || v == "active" || v == "on";
}

const SimpleItem* findItem(const std::vector<SimpleItem>& items, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        for (const SimpleItem& item : items) {
            if (item.name == name) return &item;
        }
    }
    return nullptr;
}

// The number a token ends in ("DigitalInput_2" -> 2), 0 when none.
int trailingNumber(const std::string& token) {
    std::size_t start = token.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(token[start - 1]))) --start;
    if (start == token.size() || token.size() - start > 3) return 0;
    return std::stoi(token.substr(start));
}

} // namespace

int EventState::inputIndex(const std::string& token) {
    const int number = trailingNumber(token);
    if (number == 1 || number == 2) return number - 1;
    // Other tokens count in the order they first report.
    std::lock_guard lock(mutex_);
    auto it = std::find(inputTokens_.begin(), inputTokens_.end(), token);
    if (it == inputTokens_.end()) it = inputTokens_.insert(inputTokens_.end(), token);
    const auto index = it - inputTokens_.begin();
    return index < 2 ? static_cast<int>(index) : -1;
}

void EventState::apply(const std::vector<Notification>& notifications) {
    for (const Notification& n : notifications) {
        if (contains(n.topic, "DigitalInput")) {
            const SimpleItem* state = findItem(n.data, {"LogicalState", "State", "Level"});
            const SimpleItem* token = findItem(n.source, {"InputToken", "Token", "DigitalInputToken"});
            if (state == nullptr) continue;
            const int index = inputIndex(token != nullptr ? token->value : std::string());
            if (index < 0) continue;
            const unsigned bit = 1u << index;
            if (isTrue(state->value)) {
                inputs_.fetch_or(bit);
            } else {
                inputs_.fetch_and(~bit);
            }
        } else if (contains(n.topic, "Motion")) {
            const SimpleItem* state = findItem(n.data, {"IsMotion", "State"});
            if (state != nullptr) motion_.store(isTrue(state->value));
        }
    }
}

} // namespace onvif
