#include "onvif/replies.h"

#include <cmath>
#include <cstdlib>

#include "onvif/xml.h"
#include "reply_body.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

#include <cstdio>
#include <ctime>

namespace onvif {

namespace {

int readInt(const pugi::xml_node& node, int fallback = -1) {
    const std::string text = textOf(node);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return fallback;
    return value;
}

std::string xaddrOf(const pugi::xml_node& capability) { return textOf(child(capability, "XAddr")); }

// days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

Body bodyOf(const std::string& reply) {
    Body body;
    body.document = parseXml(reply);
    if (body.document) body.node = soapBody(*body.document);
    return body;
}

std::vector<SimpleItem> simpleItems(const pugi::xml_node& parent) {
    std::vector<SimpleItem> items;
    if (!parent) return items;
    for (const pugi::xml_node& node : parent.children()) {
        if (node.type() != pugi::node_element || localName(node) != "SimpleItem") continue;
        items.push_back({attribute(node, "Name").value(), attribute(node, "Value").value()});
    }
    return items;
}

bool Fault::notAuthorized() const {
    const auto endsWith = [](const std::string& text, const char* tail) {
        const std::string t(tail);
        return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
    };
    return endsWith(subcode, "NotAuthorized") || endsWith(code, "NotAuthorized") ||
           endsWith(subcode, "FailedAuthentication") || endsWith(code, "FailedAuthentication");
}

std::optional<Fault> readFault(const std::string& reply) {
    const Body body = bodyOf(reply);
    if (!body) return std::nullopt;
    const pugi::xml_node fault = child(body.node, "Fault");
    if (!fault) return std::nullopt;
    Fault out;
    const pugi::xml_node code = child(fault, "Code");
    if (code) {
        out.code = textOf(child(code, "Value"));
        out.subcode = textOf(childPath(code, {"Subcode", "Value"}));
        out.reason = textOf(childPath(fault, {"Reason", "Text"}));
    } else { // SOAP 1.1 shape
        out.code = textOf(child(fault, "faultcode"));
        out.reason = textOf(child(fault, "faultstring"));
    }
    return out;
}

std::optional<std::time_t> readSystemDateAndTime(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node utc = descendant(body.node, "UTCDateTime");
    if (!utc) return std::nullopt;
    const pugi::xml_node date = child(utc, "Date");
    const pugi::xml_node time = child(utc, "Time");
    const int year = readInt(child(date, "Year"));
    const int month = readInt(child(date, "Month"));
    const int day = readInt(child(date, "Day"));
    const int hour = readInt(child(time, "Hour"));
    const int minute = readInt(child(time, "Minute"));
    const int second = readInt(child(time, "Second"));
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    const long long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<std::time_t>(days * 86400 + hour * 3600 + minute * 60 + second);
}

std::optional<ServiceAddresses> readCapabilities(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node capabilities = descendant(body.node, "Capabilities");
    if (!capabilities) return std::nullopt;
    ServiceAddresses out;
    out.device = xaddrOf(child(capabilities, "Device"));
    out.media = xaddrOf(child(capabilities, "Media"));
    out.ptz = xaddrOf(child(capabilities, "PTZ"));
    out.events = xaddrOf(child(capabilities, "Events"));
    out.deviceIo = xaddrOf(childPath(capabilities, {"Extension", "DeviceIO"}));
    out.search = xaddrOf(childPath(capabilities, {"Extension", "Search"}));
    out.replay = xaddrOf(childPath(capabilities, {"Extension", "Replay"}));
    if (out.media.empty()) return std::nullopt;
    return out;
}

std::optional<ServiceAddresses> readServices(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node response = child(body.node, "GetServicesResponse");
    if (!response) return std::nullopt;
    ServiceAddresses out;
    for (const pugi::xml_node& service : response.children()) {
        if (localName(service) != "Service") continue;
        const std::string space = textOf(child(service, "Namespace"));
        const std::string xaddr = textOf(child(service, "XAddr"));
        if (space == "http://www.onvif.org/ver10/device/wsdl") out.device = xaddr;
        if (space == "http://www.onvif.org/ver10/media/wsdl") out.media = xaddr;
        if (space == "http://www.onvif.org/ver20/ptz/wsdl") out.ptz = xaddr;
        if (space == "http://www.onvif.org/ver10/events/wsdl") out.events = xaddr;
        if (space == "http://www.onvif.org/ver10/deviceIO/wsdl") out.deviceIo = xaddr;
        if (space == "http://www.onvif.org/ver10/search/wsdl") out.search = xaddr;
        if (space == "http://www.onvif.org/ver10/replay/wsdl") out.replay = xaddr;
    }
    if (out.media.empty()) return std::nullopt;
    return out;
}

std::optional<std::vector<Profile>> readProfiles(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node response = child(body.node, "GetProfilesResponse");
    if (!response) return std::nullopt;
    std::vector<Profile> profiles;
    for (const pugi::xml_node& node : response.children()) {
        if (localName(node) != "Profiles") continue;
        Profile p;
        p.token = attribute(node, "token").value();
        if (p.token.empty()) continue;
        p.name = textOf(child(node, "Name"));
        const pugi::xml_node encoder = child(node, "VideoEncoderConfiguration");
        p.encoding = textOf(child(encoder, "Encoding"));
        p.width = std::max(0, readInt(childPath(encoder, {"Resolution", "Width"}), 0));
        p.height = std::max(0, readInt(childPath(encoder, {"Resolution", "Height"}), 0));
        p.hasPtz = static_cast<bool>(child(node, "PTZConfiguration"));
        p.videoSource = textOf(childPath(node, {"VideoSourceConfiguration", "SourceToken"}));
        // Media (ver10) keeps it in the profile's Extension.
        p.hasAudioOutput = static_cast<bool>(child(node, "AudioOutputConfiguration")) ||
                           static_cast<bool>(childPath(node, {"Extension", "AudioOutputConfiguration"}));
        profiles.push_back(std::move(p));
    }
    return profiles;
}

const Profile& talkProfile(const std::vector<Profile>& profiles, const Profile& shown) {
    if (shown.hasAudioOutput) return shown;
    const auto speaker =
        std::find_if(profiles.begin(), profiles.end(), [](const Profile& p) { return p.hasAudioOutput; });
    return speaker != profiles.end() ? *speaker : shown;
}

std::optional<Profile> chooseProfile(const std::vector<Profile>& profiles, int channel) {
    if (profiles.empty() || channel < 0) return std::nullopt;
    if (channel > 0) {
        if (static_cast<std::size_t>(channel) > profiles.size()) return std::nullopt;
        return profiles[static_cast<std::size_t>(channel) - 1];
    }
    const Profile* best = nullptr;
    long long bestPixels = LLONG_MAX;
    for (const Profile& p : profiles) {
        if (p.encoding != "H264" && p.encoding != "H265") continue;
        const long long pixels = static_cast<long long>(p.width) * p.height;
        if (pixels < bestPixels) {
            best = &p;
            bestPixels = pixels;
        }
    }
    return best != nullptr ? *best : profiles.front();
}

std::vector<ChannelProfile> switchableProfiles(const std::vector<Profile>& profiles) {
    const auto decodable = [](const Profile& p) { return p.encoding == "H264" || p.encoding == "H265"; };
    std::string source;
    for (const Profile& p : profiles) {
        if (decodable(p) && !p.videoSource.empty()) {
            source = p.videoSource;
            break;
        }
    }
    std::vector<ChannelProfile> out;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const Profile& p = profiles[i];
        if (!decodable(p) || (!p.videoSource.empty() && p.videoSource != source)) continue;
        out.push_back({static_cast<int>(i) + 1, p});
    }
    // Equal sizes keep the camera's order.
    std::stable_sort(out.begin(), out.end(), [](const ChannelProfile& a, const ChannelProfile& b) {
        return static_cast<long long>(a.profile.width) * a.profile.height <
               static_cast<long long>(b.profile.width) * b.profile.height;
    });
    return out;
}

namespace {

// The address in a GetStreamUri or GetSnapshotUri answer.
std::optional<std::string> readMediaUri(const std::string& reply, const char* response) {
    const Body body = bodyOf(reply);
    const std::string uri = textOf(childPath(body.node, {response, "MediaUri", "Uri"}));
    if (uri.empty()) return std::nullopt;
    return uri;
}

} // namespace

std::optional<std::string> readStreamUri(const std::string& reply) {
    return readMediaUri(reply, "GetStreamUriResponse");
}

std::optional<std::string> readSnapshotUri(const std::string& reply) {
    return readMediaUri(reply, "GetSnapshotUriResponse");
}

std::optional<std::vector<Preset>> readPresets(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node response = child(body.node, "GetPresetsResponse");
    if (!response) return std::nullopt;
    std::vector<Preset> presets;
    for (const pugi::xml_node& node : response.children()) {
        if (localName(node) != "Preset") continue;
        Preset p{attribute(node, "token").value(), textOf(child(node, "Name"))};
        if (!p.token.empty()) presets.push_back(std::move(p));
    }
    return presets;
}

std::optional<std::string> readPresetToken(const std::string& reply) {
    const Body body = bodyOf(reply);
    const std::string token = textOf(childPath(body.node, {"SetPresetResponse", "PresetToken"}));
    if (token.empty()) return std::nullopt;
    return token;
}

namespace {

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A float attribute; nothing when missing or not a finite number.
std::optional<double> readNumber(const pugi::xml_node& node, const char* name) {
    const pugi::xml_attribute a = attribute(node, name);
    if (!a) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(a.value(), &end);
    if (end == a.value() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

} // namespace

std::optional<PtzSpaces> readPtzSpaces(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node spaces = childPath(body.node, {"GetNodesResponse", "PTZNode", "SupportedPTZSpaces"});
    if (!spaces) return std::nullopt;
    PtzSpaces out;
    for (const pugi::xml_node& space : spaces.children()) {
        const std::string_view kind = localName(space);
        const std::string uri = textOf(child(space, "URI"));
        if (kind == "RelativePanTiltTranslationSpace") {
            if (endsWith(uri, "/PanTiltSpaces/TranslationSpaceFov")) out.fovPanTilt = true;
            if (endsWith(uri, "/PanTiltSpaces/TranslationGenericSpace")) out.relativePanTilt = true;
        } else if (kind == "RelativeZoomTranslationSpace") {
            // Cameras name the field-of-view zoom space under their own hosts.
            if (endsWith(uri, "/ZoomSpaces/TranslationSpaceFov")) out.fovZoomSpace = uri;
            if (endsWith(uri, "/ZoomSpaces/TranslationGenericSpace")) out.relativeZoom = true;
        } else if (kind == "AbsolutePanTiltPositionSpace") {
            if (endsWith(uri, "/PanTiltSpaces/PositionGenericSpace")) out.absolute = true;
        } else if (kind == "ContinuousZoomVelocitySpace" || kind == "AbsoluteZoomPositionSpace") {
            out.zoom = true;
        }
    }
    return out;
}

std::optional<PtzStatus> readPtzStatus(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node status = childPath(body.node, {"GetStatusResponse", "PTZStatus"});
    const pugi::xml_node panTilt = childPath(status, {"Position", "PanTilt"});
    if (!panTilt) return std::nullopt;
    const auto pan = readNumber(panTilt, "x");
    const auto tilt = readNumber(panTilt, "y");
    if (!pan || !tilt) return std::nullopt;
    PtzStatus out{*pan, *tilt, readNumber(childPath(status, {"Position", "Zoom"}), "x").value_or(0.0), false};
    const pugi::xml_node move = child(status, "MoveStatus");
    out.moving = textOf(child(move, "PanTilt")) == "MOVING" || textOf(child(move, "Zoom")) == "MOVING";
    return out;
}

namespace {

// The tokens of a Get...Response's list elements.
std::optional<std::vector<std::string>> readTokens(const std::string& reply, const char* response, const char* item) {
    const Body body = bodyOf(reply);
    const pugi::xml_node list = child(body.node, response);
    if (!list) return std::nullopt;
    std::vector<std::string> tokens;
    for (const pugi::xml_node& node : list.children()) {
        if (localName(node) != item) continue;
        const std::string token = attribute(node, "token").value();
        if (!token.empty()) tokens.push_back(token);
    }
    return tokens;
}

} // namespace

std::optional<std::vector<std::string>> readRelayOutputs(const std::string& reply) {
    return readTokens(reply, "GetRelayOutputsResponse", "RelayOutputs");
}

std::optional<std::vector<std::string>> readAudioOutputs(const std::string& reply) {
    return readTokens(reply, "GetAudioOutputsResponse", "AudioOutputs");
}

std::optional<std::string> readSubscriptionAddress(const std::string& reply) {
    const Body body = bodyOf(reply);
    const std::string address =
        textOf(childPath(body.node, {"CreatePullPointSubscriptionResponse", "SubscriptionReference", "Address"}));
    if (address.empty()) return std::nullopt;
    return address;
}

std::optional<long long> parseDateTime(const std::string& text) {
    const std::optional<long long> ms = parseDateTimeMs(text);
    if (!ms) return std::nullopt;
    return *ms >= 0 ? *ms / 1000 : (*ms - 999) / 1000;
}

std::string formatDateTimeMs(long long ms) {
    const long long seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms - seconds * 1000));
    return text;
}

std::optional<long long> parseDateTimeMs(const std::string& text) {
    // Fixed-width fields of digits only: a sign or a blank inside a field
    // ("T-1:00:00") is no time, though a number reader would take it.
    std::size_t at = 0;
    const auto digits = [&](std::size_t count, char after) -> std::optional<int> {
        if (at + count > text.size()) return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        at += count;
        if (after != '\0') {
            if (at >= text.size() || text[at] != after) return std::nullopt;
            ++at;
        }
        return value;
    };
    const auto year = digits(4, '-'), month = digits(2, '-'), day = digits(2, 'T');
    const auto hour = digits(2, ':'), minute = digits(2, ':'), second = digits(2, '\0');
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*year < 1970 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    long long ms = 0;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = ++at;
        for (int scale = 100; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
             ++at, scale /= 10) {
            ms += (text[at] - '0') * scale;
        }
        if (at == fraction) return std::nullopt;
    }
    long long zoneSeconds = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at++] == '+' ? 1 : -1;
        const auto zoneHours = digits(2, ':'), zoneMinutes = digits(2, '\0');
        if (!zoneHours || !zoneMinutes || *zoneHours > 14 || *zoneMinutes > 59) return std::nullopt;
        zoneSeconds = sign * (*zoneHours * 3600LL + *zoneMinutes * 60LL);
    } else if (at < text.size() && text[at] == 'Z') {
        ++at;
    }
    if (at != text.size()) return std::nullopt;
    const long long days = daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
    return (days * 86400 + *hour * 3600LL + *minute * 60LL + *second - zoneSeconds) * 1000 + ms;
}

std::optional<SubscriptionTimes> readSubscriptionTimes(const std::string& reply) {
    const Body body = bodyOf(reply);
    const std::optional<long long> termination = parseDateTime(textOf(descendant(body.node, "TerminationTime")));
    if (!termination) return std::nullopt;
    return SubscriptionTimes{*termination, parseDateTime(textOf(descendant(body.node, "CurrentTime")))};
}

std::optional<std::vector<Notification>> readNotifications(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node response = child(body.node, "PullMessagesResponse");
    if (!response) return std::nullopt;
    std::vector<Notification> out;
    for (const pugi::xml_node& node : response.children()) {
        if (localName(node) != "NotificationMessage") continue;
        Notification n;
        n.topic = textOf(child(node, "Topic"));
        // The event lies in Message, which wraps a tt:Message of its own.
        pugi::xml_node message = child(node, "Message");
        if (pugi::xml_node inner = child(message, "Message")) message = inner;
        n.source = simpleItems(child(message, "Source"));
        n.data = simpleItems(child(message, "Data"));
        out.push_back(std::move(n));
    }
    return out;
}

} // namespace onvif
