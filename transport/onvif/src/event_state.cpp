#include "onvif/event_state.h"

#include <cctype>
#include <initializer_list>

namespace onvif {

namespace {

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
    }
    return true;
}

bool isTrue(const std::string& value) {
    for (const char* yes : {"true", "1", "active", "on"}) {
        if (equalsIgnoringCase(value, yes)) return true;
    }
    return false;
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
int trailingNumber(std::string_view token) {
    std::size_t start = token.size();
    while (start > 0 && std::isdigit(static_cast<unsigned char>(token[start - 1]))) --start;
    if (start == token.size() || token.size() - start > 3) return 0;
    int number = 0;
    for (std::size_t i = start; i < token.size(); ++i) number = number * 10 + (token[i] - '0');
    return number;
}

} // namespace

int EventState::inputIndex(std::string_view token) {
    const int number = trailingNumber(token);
    std::lock_guard lock(mutex_);
    if (number == 1 || number == 2) {
        // A camera that numbers its inputs keeps other tokens off them.
        if (places_[number - 1] == Place::Free) places_[number - 1] = Place::Numbered;
        return number - 1;
    }
    const std::string_view key = token.substr(0, kMaxTokenBytes);
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (places_[i] == Place::Named && placedTokens_[i] == key) return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (places_[i] == Place::Free) {
            places_[i] = Place::Named;
            placedTokens_[i] = std::string(key);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void EventState::apply(const std::vector<Notification>& notifications) {
    for (const Notification& n : notifications) {
        if (contains(n.topic, "DigitalInput")) {
            const SimpleItem* state = findItem(n.data, {"LogicalState", "State", "Level"});
            const SimpleItem* token = findItem(n.source, {"InputToken", "Token", "DigitalInputToken"});
            if (state == nullptr) continue;
            const int index = inputIndex(token != nullptr ? std::string_view(token->value) : std::string_view());
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
