// What every reply reader starts from: the parsed reply and its SOAP body,
// and the simple items of an event's source or data.
#pragma once

#include "onvif/replies.h"
#include "onvif/xml.h"

#include <optional>
#include <string>
#include <vector>

namespace onvif {

// The body of a reply, or nothing for a reply that is no SOAP envelope.
struct Body {
    std::optional<pugi::xml_document> document;
    pugi::xml_node node;
    explicit operator bool() const { return static_cast<bool>(node); }
};

Body bodyOf(const std::string& reply);

// The tt:SimpleItem children of an event's Source or Data (none for an empty node).
std::vector<SimpleItem> simpleItems(const pugi::xml_node& parent);

} // namespace onvif
