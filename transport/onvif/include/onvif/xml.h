// Reading camera replies: a real parser that never reaches the network and
// never expands entities (a reply with a document type is refused), and
// element lookup by local name, since every camera picks its own prefixes.
#pragma once

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace onvif {

// The parsed reply, or nothing when it is not well-formed XML or carries a
// document type declaration.
std::optional<pugi::xml_document> parseXml(std::string_view text);

// The name without its prefix ("tt:Width" -> "Width").
std::string_view localName(const pugi::xml_node& node);

// The first child element with that local name (empty node when none).
pugi::xml_node child(const pugi::xml_node& parent, std::string_view name);
// The first element at any depth below `root` with that local name.
pugi::xml_node descendant(const pugi::xml_node& root, std::string_view name);
// Follows a path of local names from `root`, one child per step.
pugi::xml_node childPath(const pugi::xml_node& root, std::initializer_list<std::string_view> path);
// The attribute with that local name (empty when none).
pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view name);

// The trimmed text of an element.
std::string textOf(const pugi::xml_node& node);

// The SOAP body of an envelope (empty node when the document is none).
pugi::xml_node soapBody(const pugi::xml_document& document);

} // namespace onvif
