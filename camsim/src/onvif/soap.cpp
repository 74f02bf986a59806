#include "soap.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

namespace camsim::onvif {

namespace {

struct Prefix {
    const char* name;
    const char* uri;
};

// What the camera's answers declare, in the order cameras write them.
constexpr Prefix kPrefixes[] = {
    {"SOAP-ENV", ns::kEnvelope}, {"wsa", ns::kAddressing}, {"tt", ns::kSchema},  {"tds", ns::kDevice},
    {"trt", ns::kMedia},         {"tptz", ns::kPtz},       {"tev", ns::kEvents}, {"tmd", ns::kDeviceIo},
    {"wsnt", ns::kNotification}, {"tns1", ns::kTopics},    {"ter", ns::kError},  {"tse", ns::kSearch},
    {"trp", ns::kReplay},
};

std::string trim(const char* text) {
    std::string s = text;
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool readNumber(const char*& p, int digits, int& out) {
    out = 0;
    for (int i = 0; i < digits; ++i, ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        out = out * 10 + (*p - '0');
    }
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

} // namespace

std::string localName(const pugi::xml_node& node) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

std::string namespaceUri(const pugi::xml_node& node) {
    const std::string name = node.name();
    const auto colon = name.find(':');
    const std::string attributeName = colon == std::string::npos ? "xmlns" : "xmlns:" + name.substr(0, colon);
    for (pugi::xml_node n = node; n.type() == pugi::node_element; n = n.parent()) {
        if (const pugi::xml_attribute a = n.attribute(attributeName.c_str())) return a.value();
    }
    return {};
}

pugi::xml_node child(const pugi::xml_node& parent, const char* local) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && localName(c) == local) return c;
    }
    return {};
}

std::string childText(const pugi::xml_node& parent, const char* local) {
    const pugi::xml_node c = child(parent, local);
    return c ? trim(c.child_value()) : std::string();
}

pugi::xml_attribute attribute(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        const char* colon = std::strchr(name, ':');
        if (std::strcmp(colon != nullptr ? colon + 1 : name, local) == 0) return a;
    }
    return {};
}

bool SoapRequest::parse(const std::string& text) {
    // Default options: no DOCTYPE processing, so no entity of the sender's is
    // ever expanded and nothing is fetched.
    if (!document.load_buffer(text.data(), text.size(), pugi::parse_default)) return false;
    const pugi::xml_node envelope = document.document_element();
    if (localName(envelope) != "Envelope" || namespaceUri(envelope) != ns::kEnvelope) return false;
    header = child(envelope, "Header");
    const pugi::xml_node body = child(envelope, "Body");
    if (!body) return false;
    for (pugi::xml_node c = body.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        operation = c;
        operationName = localName(c);
        operationNamespace = namespaceUri(c);
        return true;
    }
    return false;
}

SoapReply::SoapReply() {
    pugi::xml_node declaration = document_.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node envelope = document_.append_child("SOAP-ENV:Envelope");
    for (const Prefix& p : kPrefixes) envelope.append_attribute(("xmlns:" + std::string(p.name)).c_str()) = p.uri;
    header_ = envelope.append_child("SOAP-ENV:Header");
    body_ = envelope.append_child("SOAP-ENV:Body");
}

std::string SoapReply::text(std::size_t padding) {
    if (padding > 0) {
        pugi::xml_node filler = header_.append_child("tt:Padding");
        filler.append_attribute("SOAP-ENV:mustUnderstand") = "false";
        filler.text().set(std::string(padding, 'A').c_str());
    }
    std::ostringstream out;
    document_.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

pugi::xml_node add(pugi::xml_node parent, const char* qualifiedName, const std::string& text) {
    pugi::xml_node n = parent.append_child(qualifiedName);
    if (!text.empty()) n.text().set(text.c_str());
    return n;
}

std::string faultText(const char* code, const char* subcode, const std::string& reason) {
    SoapReply reply;
    pugi::xml_node fault = add(reply.body(), "SOAP-ENV:Fault");
    pugi::xml_node c = add(fault, "SOAP-ENV:Code");
    add(c, "SOAP-ENV:Value", code);
    pugi::xml_node sub = add(c, "SOAP-ENV:Subcode");
    add(sub, "SOAP-ENV:Value", subcode);
    pugi::xml_node r = add(fault, "SOAP-ENV:Reason");
    pugi::xml_node t = add(r, "SOAP-ENV:Text", reason);
    t.append_attribute("xml:lang") = "en";
    return reply.text();
}

std::string isoTime(int64_t unixSeconds) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string isoTimeMs(int64_t unixMs) {
    const int64_t seconds = unixMs >= 0 ? unixMs / 1000 : (unixMs - 999) / 1000;
    std::string text = isoTime(seconds);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(unixMs - seconds * 1000));
    return text.insert(text.size() - 1, fraction);
}

bool parseIsoTime(const std::string& text, int64_t& unixSeconds) {
    int64_t ms = 0;
    if (!parseIsoTimeMs(text, ms)) return false;
    unixSeconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    return true;
}

bool parseIsoTimeMs(const std::string& text, int64_t& unixMs) {
    const char* p = text.c_str();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(p, 4, year) || *p++ != '-' || !readNumber(p, 2, month) || *p++ != '-' || !readNumber(p, 2, day) ||
        *p++ != 'T' || !readNumber(p, 2, hour) || *p++ != ':' || !readNumber(p, 2, minute) || *p++ != ':' ||
        !readNumber(p, 2, second)) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
    int ms = 0;
    if (*p == '.') {
        ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        for (int scale = 100; std::isdigit(static_cast<unsigned char>(*p)); ++p, scale /= 10) ms += (*p - '0') * scale;
    }
    int64_t zone = 0;
    if (*p == 'Z') {
        ++p;
    } else if (*p == '+' || *p == '-') {
        const int sign = *p++ == '+' ? 1 : -1;
        int zh = 0, zm = 0;
        if (!readNumber(p, 2, zh) || *p++ != ':' || !readNumber(p, 2, zm) || zh > 14 || zm > 59) return false;
        zone = sign * (zh * 3600 + zm * 60);
    }
    if (*p != '\0') return false;
    unixMs = (daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
              minute * 60 + second - zone) *
                 1000 +
             ms;
    return true;
}

bool parseDuration(const std::string& text, int64_t& milliseconds) {
    const char* p = text.c_str();
    if (*p++ != 'P') return false;
    bool inTime = false;
    bool any = false;
    double total = 0;
    while (*p != '\0') {
        if (*p == 'T') {
            if (inTime) return false;
            inTime = true;
            ++p;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        char* end = nullptr;
        const double value = std::strtod(p, &end);
        if (end == p || value < 0 || *end == '\0') return false;
        const char unit = *end;
        p = end + 1;
        if (!inTime && unit == 'D') {
            total += value * 86400;
        } else if (inTime && unit == 'H') {
            total += value * 3600;
        } else if (inTime && unit == 'M') {
            total += value * 60;
        } else if (inTime && unit == 'S') {
            total += value;
        } else {
            return false;
        }
        any = true;
    }
    if (!any || total > 1e9) return false;
    milliseconds = static_cast<int64_t>(total * 1000.0);
    return true;
}

} // namespace camsim::onvif
