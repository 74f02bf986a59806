#include "onvif/discovery.h"

#include "onvif/xml.h"

#include "fake_soap_transport.h"

#include <platform/network_guard.h>
#include <platform/udp_socket.h>

#include <gtest/gtest.h>

#include <thread>

namespace onvif {
namespace {

std::string probeMatch(const std::string& relatesTo, const std::string& endpoint, const std::string& xaddrs,
                       const std::string& scopes) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
           "xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
           "xmlns:wsdd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
           "xmlns:tdn=\"http://www.onvif.org/ver10/network/wsdl\"><SOAP-ENV:Header><wsa:MessageID>urn:uuid:reply"
           "</wsa:MessageID><wsa:RelatesTo>" +
           relatesTo +
           "</wsa:RelatesTo><wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>"
           "</SOAP-ENV:Header><SOAP-ENV:Body><wsdd:ProbeMatches><wsdd:ProbeMatch><wsa:EndpointReference>"
           "<wsa:Address>" +
           endpoint +
           "</wsa:Address></wsa:EndpointReference><wsdd:Types>tdn:NetworkVideoTransmitter</wsdd:Types>"
           "<wsdd:Scopes>" +
           scopes + "</wsdd:Scopes><wsdd:XAddrs>" + xaddrs +
           "</wsdd:XAddrs><wsdd:MetadataVersion>1</wsdd:MetadataVersion></wsdd:ProbeMatch></wsdd:ProbeMatches>"
           "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

constexpr const char* kScopes = "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/name/Gate%20Camera "
                                "onvif://www.onvif.org/hardware/TV-200";

TEST(ProbeMatchTest, ReadsOnlyAnswersToOurProbe) {
    const std::string ours = "urn:uuid:11111111-2222-4333-8444-555555555555";
    const auto devices = readProbeMatches(
        probeMatch(ours, "urn:uuid:cam-1", "http://127.0.0.1:8080/onvif/device_service", kScopes), ours, "127.0.0.1");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].endpoint, "urn:uuid:cam-1");
    EXPECT_EQ(devices[0].name, "Gate Camera");
    EXPECT_EQ(devices[0].model, "TV-200");
    EXPECT_EQ(devices[0].address, "127.0.0.1");
    EXPECT_EQ(devices[0].xaddrs, (std::vector<std::string>{"http://127.0.0.1:8080/onvif/device_service"}));

    const std::string good = probeMatch(ours, "urn:uuid:cam-1", "http://h/x", kScopes);
    for (const std::string& other : {probeMatch("urn:uuid:someone-else", "urn:uuid:cam-1", "http://h/x", kScopes),
                                     probeMatch(ours, "", "http://h/x", kScopes), good.substr(0, good.size() - 40),
                                     std::string("garbage"), std::string()}) {
        EXPECT_TRUE(readProbeMatches(other, ours, "127.0.0.1").empty()) << other.substr(0, 80);
    }
}

TEST(ProbeMatchTest, DevicesMergeByEndpoint) {
    DiscoveryResults results;
    results.add({"urn:uuid:a", "127.0.0.1", "", "", {"http://127.0.0.1:80/onvif/device_service"}});
    results.add({"urn:uuid:b", "127.0.0.2", "B", "M", {"http://127.0.0.2/onvif/device_service"}});
    results.add({"urn:uuid:a",
                 "127.0.0.1",
                 "A",
                 "X",
                 {"http://[::1]/onvif/device_service", "http://127.0.0.1:80/onvif/device_service"}});
    ASSERT_EQ(results.devices().size(), 2u);
    const DiscoveredDevice& a = results.devices()[0];
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(a.xaddrs.size(), 2u);
}

// A directed probe on 127.0.0.1 to a responder that also sends what a
// crowded network carries: garbage, answers to other probes, repeats.
TEST(DiscoveryTest, DirectedProbeFindsTheResponderOnce) {
    platform::enableLoopbackOnly();
    platform::UdpSocket responder;
    ASSERT_TRUE(responder.bind("127.0.0.1", 0));
    std::thread answer([&] {
        const auto probe = responder.receive(5000);
        if (!probe) return;
        const auto document = parseXml(probe->bytes);
        if (!document) return;
        const std::string id = textOf(descendant(*document, "MessageID"));
        const std::string xaddr = "http://127.0.0.1:8080/onvif/device_service";
        for (const std::string& reply :
             {std::string("<not-xml"), probeMatch("urn:uuid:other", "urn:uuid:ghost", xaddr, kScopes),
              probeMatch(id, "urn:uuid:cam-1", xaddr, kScopes), probeMatch(id, "urn:uuid:cam-1", xaddr, kScopes)}) {
            responder.sendTo(probe->fromHost, probe->fromPort, reply);
        }
    });
    std::string why;
    const auto devices = discover({{"127.0.0.1", responder.localPort()}}, 300, &why);
    answer.join();
    ASSERT_EQ(devices.size(), 1u) << why;
    EXPECT_EQ(devices[0].endpoint, "urn:uuid:cam-1");
    EXPECT_EQ(devices[0].name, "Gate Camera");
}

TEST(DiscoveryTest, AStopEndsTheWindowEarly) {
    platform::UdpSocket silent;
    ASSERT_TRUE(silent.bind("127.0.0.1", 0));
    std::stop_source stop;
    stop.request_stop();
    // Without the stop this would wait a minute for answers.
    EXPECT_TRUE(discover({{"127.0.0.1", silent.localPort()}}, 60000, nullptr, stop.get_token()).empty());
}

// One choice for every program that searches: the port variable moves the
// directed probe of loopback-only mode, and nothing else.
TEST(ProbeTargetTest, TheDiscoveryPortMovesOnlyTheLoopbackProbe) {
    const struct {
        bool loopbackOnly;
        const char* port;
        const char* host;
        uint16_t wanted;
    } cases[] = {{true, nullptr, "127.0.0.1", 3702}, {true, "3799", "127.0.0.1", 3799},
                 {true, "0", "127.0.0.1", 3702},     {true, "70000", "127.0.0.1", 3702},
                 {true, "37x", "127.0.0.1", 3702},   {false, "3799", "239.255.255.250", 3702}};
    for (const auto& c : cases) {
        const auto targets = probeTargets(c.loopbackOnly, c.port);
        ASSERT_EQ(targets.size(), 1u);
        EXPECT_EQ(targets[0].host, c.host) << (c.port ? c.port : "unset");
        EXPECT_EQ(targets[0].port, c.wanted) << (c.port ? c.port : "unset");
    }
}

TEST(DiscoveryTest, LoopbackOnlyModeNeverProbesTheMulticastGroup) {
    platform::enableLoopbackOnly();
    const auto targets = defaultProbeTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].host, "127.0.0.1");
    std::string why;
    EXPECT_TRUE(discover({{"239.255.255.250", 3702}}, 50, &why).empty());
    EXPECT_NE(why.find("loopback-only"), std::string::npos) << why;
}

} // namespace
} // namespace onvif
