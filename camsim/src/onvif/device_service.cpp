// The device service: clock, identity, the addresses of the other services,
// scopes, and (like the device I/O service) the relay output and inputs.
#include "service_context.h"

#include <ctime>
#include <functional>
#include <vector>

namespace camsim::onvif {

namespace {

constexpr char kMajorVersion[] = "2";
constexpr char kMinorVersion[] = "40";

const char* flag(bool on) { return on ? "true" : "false"; }

void addFlags(pugi::xml_node parent, std::initializer_list<std::pair<const char*, bool>> flags) {
    for (const auto& [name, on] : flags) add(parent, name, flag(on));
}

void addDateTime(pugi::xml_node parent, const char* name, int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    pugi::xml_node dt = add(parent, name);
    pugi::xml_node time = add(dt, "tt:Time");
    add(time, "tt:Hour", std::to_string(tm.tm_hour));
    add(time, "tt:Minute", std::to_string(tm.tm_min));
    add(time, "tt:Second", std::to_string(tm.tm_sec));
    pugi::xml_node date = add(dt, "tt:Date");
    add(date, "tt:Year", std::to_string(tm.tm_year + 1900));
    add(date, "tt:Month", std::to_string(tm.tm_mon + 1));
    add(date, "tt:Day", std::to_string(tm.tm_mday));
}

void systemDateAndTime(const ServiceContext& c, SoapReply& reply) {
    pugi::xml_node r = add(reply.body(), "tds:GetSystemDateAndTimeResponse");
    pugi::xml_node s = add(r, "tds:SystemDateAndTime");
    add(s, "tt:DateTimeType", "Manual");
    add(s, "tt:DaylightSavings", "false");
    add(add(s, "tt:TimeZone"), "tt:TZ", "UTC0");
    addDateTime(s, "tt:UTCDateTime", c.nowSeconds);
    addDateTime(s, "tt:LocalDateTime", c.nowSeconds);
}

void deviceCapabilities(pugi::xml_node caps, const ServiceContext& c) {
    pugi::xml_node d = add(caps, "tt:Device");
    add(d, "tt:XAddr", c.url(kDevicePath));
    addFlags(add(d, "tt:Network"),
             {{"tt:IPFilter", false}, {"tt:ZeroConfiguration", false}, {"tt:IPVersion6", false}, {"tt:DynDNS", false}});
    pugi::xml_node sys = add(d, "tt:System");
    addFlags(sys, {{"tt:DiscoveryResolve", false},
                   {"tt:DiscoveryBye", false},
                   {"tt:RemoteDiscovery", false},
                   {"tt:SystemBackup", false},
                   {"tt:SystemLogging", false},
                   {"tt:FirmwareUpgrade", false}});
    pugi::xml_node version = add(sys, "tt:SupportedVersions");
    add(version, "tt:Major", kMajorVersion);
    add(version, "tt:Minor", kMinorVersion);
    pugi::xml_node io = add(d, "tt:IO");
    add(io, "tt:InputConnectors", std::to_string(kInputCount));
    add(io, "tt:RelayOutputs", "1");
    addFlags(add(d, "tt:Security"), {{"tt:TLS1.1", false},
                                     {"tt:TLS1.2", false},
                                     {"tt:OnboardKeyGeneration", false},
                                     {"tt:AccessPolicyConfig", false},
                                     {"tt:X.509Token", false},
                                     {"tt:SAMLToken", false},
                                     {"tt:KerberosToken", false},
                                     {"tt:RELToken", false}});
}

void capabilities(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    // Several categories may be asked for; none means all.
    bool asked = false, all = false, device = false, events = false, media = false, ptz = false;
    for (pugi::xml_node n = request.operation.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_element || localName(n) != "Category") continue;
        const std::string category = n.child_value();
        asked = true;
        if (category == "All") {
            all = true;
        } else if (category == "Device") {
            device = true;
        } else if (category == "Events") {
            events = true;
        } else if (category == "Media") {
            media = true;
        } else if (category == "PTZ") {
            ptz = true;
        } else {
            throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", "no " + category + " service"};
        }
    }
    all = all || !asked;
    pugi::xml_node caps = add(add(reply.body(), "tds:GetCapabilitiesResponse"), "tds:Capabilities");
    if (all || device) deviceCapabilities(caps, c);
    if (all || events) {
        pugi::xml_node e = add(caps, "tt:Events");
        add(e, "tt:XAddr", c.url(kEventsPath));
        addFlags(e, {{"tt:WSSubscriptionPolicySupport", false},
                     {"tt:WSPullPointSupport", true},
                     {"tt:WSPausableSubscriptionManagerInterfaceSupport", false}});
    }
    if (all || media) {
        pugi::xml_node m = add(caps, "tt:Media");
        add(m, "tt:XAddr", c.url(kMediaPath));
        addFlags(add(m, "tt:StreamingCapabilities"),
                 {{"tt:RTPMulticast", false}, {"tt:RTP_TCP", true}, {"tt:RTP_RTSP_TCP", true}});
    }
    if (all || ptz) add(add(caps, "tt:PTZ"), "tt:XAddr", c.url(kPtzPath));
    if (all) {
        pugi::xml_node extension = add(caps, "tt:Extension");
        pugi::xml_node io = add(extension, "tt:DeviceIO");
        add(io, "tt:XAddr", c.url(kDeviceIoPath));
        add(io, "tt:VideoSources", "1");
        add(io, "tt:VideoOutputs", "0");
        add(io, "tt:AudioSources", "1");
        add(io, "tt:AudioOutputs", "0");
        add(io, "tt:RelayOutputs", "1");
        // An SD card's recordings: the search, and their replay unless a fault removes it.
        if (c.card != nullptr) {
            pugi::xml_node search = add(extension, "tt:Search");
            add(search, "tt:XAddr", c.url(kSearchPath));
            add(search, "tt:MetadataSearch", "false");
        }
        if (c.replay) add(add(extension, "tt:Replay"), "tt:XAddr", c.url(kReplayPath));
    }
}

void service(pugi::xml_node parent, const ServiceContext& c, const char* ns, const char* path, bool withCapabilities,
             const std::function<void(pugi::xml_node)>& fillCapabilities) {
    pugi::xml_node s = add(parent, "tds:Service");
    add(s, "tds:Namespace", ns);
    add(s, "tds:XAddr", c.url(path));
    if (withCapabilities) fillCapabilities(add(s, "tds:Capabilities"));
    pugi::xml_node v = add(s, "tds:Version");
    add(v, "tt:Major", kMajorVersion);
    add(v, "tt:Minor", kMinorVersion);
}

void setAttributes(pugi::xml_node n, std::initializer_list<std::pair<const char*, std::string>> attributes) {
    for (const auto& [name, value] : attributes) n.append_attribute(name) = value.c_str();
}

void services(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const bool caps = childText(request.operation, "IncludeCapability") == "true";
    pugi::xml_node r = add(reply.body(), "tds:GetServicesResponse");
    service(r, c, ns::kDevice, kDevicePath, caps, [](pugi::xml_node n) {
        pugi::xml_node d = add(n, "tds:Capabilities");
        setAttributes(add(d, "tds:Network"), {{"IPFilter", "false"}, {"ZeroConfiguration", "false"}});
        setAttributes(add(d, "tds:Security"), {{"UsernameToken", "true"}, {"HttpDigest", "true"}});
        setAttributes(add(d, "tds:System"), {{"DiscoveryBye", "false"}, {"RemoteDiscovery", "false"}});
    });
    service(r, c, ns::kMedia, kMediaPath, caps, [&c](pugi::xml_node n) {
        pugi::xml_node m = add(n, "trt:Capabilities");
        setAttributes(m, {{"SnapshotUri", c.streams.drawsSnapshots() ? "true" : "false"}, {"Rotation", "false"}});
        setAttributes(add(m, "trt:ProfileCapabilities"),
                      {{"MaximumNumberOfProfiles", std::to_string(c.options.profiles.size())}});
        setAttributes(add(m, "trt:StreamingCapabilities"),
                      {{"RTPMulticast", "false"}, {"RTP_TCP", "true"}, {"RTP_RTSP_TCP", "true"}});
    });
    service(r, c, ns::kPtz, kPtzPath, caps, [](pugi::xml_node n) {
        setAttributes(add(n, "tptz:Capabilities"), {{"EFlip", "false"}, {"Reverse", "false"}});
    });
    service(r, c, ns::kEvents, kEventsPath, caps, [](pugi::xml_node n) {
        setAttributes(add(n, "tev:Capabilities"), {{"WSSubscriptionPolicySupport", "false"},
                                                   {"WSPullPointSupport", "true"},
                                                   {"WSPausableSubscriptionManagerInterfaceSupport", "false"},
                                                   {"MaxPullPoints", "16"}});
    });
    if (c.card != nullptr) service(r, c, ns::kSearch, kSearchPath, caps, searchCapabilities);
    if (c.replay) service(r, c, ns::kReplay, kReplayPath, caps, replayCapabilities);
    service(r, c, ns::kDeviceIo, kDeviceIoPath, caps, [](pugi::xml_node n) {
        setAttributes(add(n, "tmd:Capabilities"), {{"VideoSources", "1"},
                                                   {"VideoOutputs", "0"},
                                                   {"AudioSources", "1"},
                                                   {"AudioOutputs", "0"},
                                                   {"RelayOutputs", "1"},
                                                   {"DigitalInputs", std::to_string(kInputCount)},
                                                   {"SerialPorts", "0"}});
    });
}

void scopes(const ServiceContext& c, SoapReply& reply) {
    pugi::xml_node r = add(reply.body(), "tds:GetScopesResponse");
    std::vector<std::string> items{"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/type/ptz",
                                   "onvif://www.onvif.org/Profile/Streaming",
                                   "onvif://www.onvif.org/hardware/" + c.options.hardwareId,
                                   "onvif://www.onvif.org/name/" + c.options.name};
    if (c.card != nullptr) items.push_back("onvif://www.onvif.org/Profile/G");
    for (const std::string& item : items) {
        pugi::xml_node s = add(r, "tds:Scopes");
        add(s, "tt:ScopeDef", "Fixed");
        add(s, "tt:ScopeItem", item);
    }
}

} // namespace

void answerDevice(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string& op = request.operationName;
    if (op == "GetSystemDateAndTime") {
        systemDateAndTime(c, reply);
    } else if (op == "GetCapabilities") {
        capabilities(request, c, reply);
    } else if (op == "GetServices") {
        services(request, c, reply);
    } else if (op == "GetDeviceInformation") {
        pugi::xml_node r = add(reply.body(), "tds:GetDeviceInformationResponse");
        add(r, "tds:Manufacturer", c.options.manufacturer);
        add(r, "tds:Model", c.options.model);
        add(r, "tds:FirmwareVersion", c.options.firmwareVersion);
        add(r, "tds:SerialNumber", c.options.serialNumber);
        add(r, "tds:HardwareId", c.options.hardwareId);
    } else if (op == "GetScopes") {
        scopes(c, reply);
    } else if (op == "GetRelayOutputs" || op == "SetRelayOutputState") {
        answerDeviceIo(request, c, reply, "tds");
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

void answerDeviceIo(const SoapRequest& request, const ServiceContext& c, SoapReply& reply, const char* prefix) {
    const std::string& op = request.operationName;
    const std::string p = prefix;
    if (op == "GetRelayOutputs") {
        pugi::xml_node r = add(reply.body(), (p + ":GetRelayOutputsResponse").c_str());
        pugi::xml_node relay = add(r, (p + ":RelayOutputs").c_str());
        relay.append_attribute("token") = kRelayToken;
        pugi::xml_node props = add(relay, "tt:Properties");
        add(props, "tt:Mode", "Bistable");
        add(props, "tt:DelayTime", "PT0S");
        add(props, "tt:IdleState", "open");
    } else if (op == "SetRelayOutputState") {
        if (childText(request.operation, "RelayOutputToken") != kRelayToken) {
            invalidArgument("ter:RelayToken", "no such relay output");
        }
        const std::string state = childText(request.operation, "LogicalState");
        if (state != "active" && state != "inactive") invalidArgument("ter:InvalidArgVal", "LogicalState: " + state);
        c.head.setOutput(state == "active");
        add(reply.body(), (p + ":SetRelayOutputStateResponse").c_str());
    } else if (op == "GetDigitalInputs" && p == "tmd") {
        pugi::xml_node r = add(reply.body(), "tmd:GetDigitalInputsResponse");
        for (int i = 1; i <= kInputCount; ++i) {
            pugi::xml_node in = add(r, "tmd:DigitalInputs");
            in.append_attribute("token") = ("input_" + std::to_string(i)).c_str();
            in.append_attribute("IdleState") = "open";
        }
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

} // namespace camsim::onvif
