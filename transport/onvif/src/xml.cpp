#include "onvif/xml.h"

namespace onvif {

namespace {

bool hasDocumentType(const pugi::xml_document& document) {
    for (const pugi::xml_node& node : document.children()) {
        if (node.type() == pugi::node_doctype) return true;
    }
    return false;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<pugi::xml_document> parseXml(std::string_view text) {
    std::optional<pugi::xml_document> document(std::in_place);
    // parse_doctype keeps the declaration as a node so it can be refused; the
    // parser itself never defines or expands entities from it.
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    const pugi::xml_parse_result parsed = document->load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
    if (!parsed || hasDocumentType(*document) || !document->document_element()) return std::nullopt;
    return document;
}

std::string_view localName(const pugi::xml_node& node) {
    std::string_view name = node.name();
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& parent, std::string_view name) {
    for (const pugi::xml_node& node : parent.children()) {
        if (node.type() == pugi::node_element && localName(node) == name) return node;
    }
    return {};
}

pugi::xml_node descendant(const pugi::xml_node& root, std::string_view name) {
    return root.find_node(
        [name](const pugi::xml_node& node) { return node.type() == pugi::node_element && localName(node) == name; });
}

pugi::xml_node childPath(const pugi::xml_node& root, std::initializer_list<std::string_view> path) {
    pugi::xml_node node = root;
    for (std::string_view step : path) {
        node = child(node, step);
        if (!node) break;
    }
    return node;
}

pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view name) {
    for (const pugi::xml_attribute& a : node.attributes()) {
        std::string_view full = a.name();
        const std::size_t colon = full.rfind(':');
        if ((colon == std::string_view::npos ? full : full.substr(colon + 1)) == name) return a;
    }
    return {};
}

std::string textOf(const pugi::xml_node& node) { return std::string(trim(node.text().get())); }

pugi::xml_node soapBody(const pugi::xml_document& document) {
    const pugi::xml_node envelope = document.document_element();
    if (localName(envelope) != "Envelope") return {};
    return child(envelope, "Body");
}

} // namespace onvif
