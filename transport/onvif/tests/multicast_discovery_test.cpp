// WS-Discovery over real multicast: the client's probe to the group finds
// the simulated camera. A probe to the group may only go where nothing leaves
// the machine, so the test runs itself again inside a user and network
// namespace of its own (unshare -rn) whose only interface is loopback, and
// probes there. The process that runs the tests keeps the loopback guard on
// and never probes; where such namespaces are not allowed the test is
// skipped.
#include "onvif/discovery.h"

#include <camsim/onvif_camera.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

#include <net/if.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace onvif {
namespace {

constexpr const char* kTestName = "MulticastDiscoveryTest.ProbeToTheGroupFindsTheCameraInAPrivateNetwork";
// Set only for the run inside the namespace: the network namespace of the
// run that started it.
constexpr const char* kOuterNetworkVariable = "TAVOLIN_TEST_OUTER_NETNS";
constexpr const char* kGroup = "239.255.255.250";
constexpr uint16_t kDiscoveryPort = 3702;
// Inside the namespace: loopback up, and the group routed through it with
// loopback's address as the sender.
constexpr const char* kPrivateNetworkSetup =
    "ip link set lo up && ip route add 224.0.0.0/4 dev lo src 127.0.0.1 && exec \"$0\" \"$@\"";

std::string networkNamespace() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/ns/net", error).string();
}

std::vector<std::string> interfaceNames() {
    std::vector<std::string> names;
    if (struct if_nameindex* list = ::if_nameindex()) {
        for (const struct if_nameindex* i = list; i->if_index != 0; ++i) names.emplace_back(i->if_name);
        ::if_freenameindex(list);
    }
    return names;
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct Finished {
    int exitCode = -1;
    std::string output; // both streams
};

Finished runShell(const std::string& command) {
    Finished finished;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return finished;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) finished.output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status)) finished.exitCode = WEXITSTATUS(status);
    return finished;
}

// `program` under `unshare -rn`, loopback set up, with a time limit.
std::string inPrivateNetwork(const std::string& program) {
    return "timeout 30 unshare -rn sh -c " + shellQuoted(kPrivateNetworkSetup) + " " + program;
}

// The run inside the namespace. Nothing is sent before it has made sure it
// is in a network of its own with loopback as its only interface.
void probeTheGroupInsidePrivateNetwork(const std::string& outerNetwork) {
    ASSERT_NE(networkNamespace(), outerNetwork) << "not in a network namespace of its own: nothing is sent";
    ASSERT_EQ(interfaceNames(), std::vector<std::string>{"lo"}) << "other interfaces than loopback: nothing is sent";

    camsim::OnvifCamera camera;
    ASSERT_TRUE(camera.start());
    ASSERT_TRUE(camera.startDiscovery(kDiscoveryPort, {}, true));

    // Under the guard a probe to the group is refused before it is sent, so
    // the camera that hears the group stays silent.
    platform::enableLoopbackOnly();
    std::string why;
    EXPECT_TRUE(discover({{kGroup, kDiscoveryPort}}, 300, &why).empty());
    EXPECT_NE(why.find("loopback-only mode refuses 239.255.255.250"), std::string::npos) << why;

    // Only here, where nothing can leave the machine, is the guard lifted:
    // the client then probes the group.
    ::setenv("TAVOLIN_LOOPBACK_ONLY", "0", 1);
    const std::vector<ProbeTarget> targets = defaultProbeTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].host, kGroup);
    EXPECT_EQ(targets[0].port, kDiscoveryPort);
    const std::vector<DiscoveredDevice> devices = discover(targets, 500, &why);
    ASSERT_EQ(devices.size(), 1u) << why;
    EXPECT_EQ(devices[0].address, "127.0.0.1");
    EXPECT_EQ(devices[0].name, "CAMERA");
    EXPECT_EQ(devices[0].xaddrs, std::vector<std::string>{camera.deviceServiceUrl()});
}

TEST(MulticastDiscoveryTest, ProbeToTheGroupFindsTheCameraInAPrivateNetwork) {
    if (const char* outer = std::getenv(kOuterNetworkVariable)) {
        probeTheGroupInsidePrivateNetwork(outer);
        return;
    }
    platform::enableLoopbackOnly();
    const Finished allowed = runShell(inPrivateNetwork("true"));
    if (allowed.exitCode != 0) {
        GTEST_SKIP() << "no private network namespace here (unshare -rn with iproute2's ip): " << allowed.output;
    }
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    ASSERT_FALSE(error) << error.message();
    // The inner run writes no report of its own over the outer one's.
    const Finished inner =
        runShell("env -u GTEST_OUTPUT " + std::string(kOuterNetworkVariable) + "=" + shellQuoted(networkNamespace()) +
                 " " + inPrivateNetwork(shellQuoted(self.string()) + " --gtest_filter=" + kTestName));
    EXPECT_EQ(inner.exitCode, 0) << inner.output;
    EXPECT_NE(inner.output.find(std::string("[       OK ] ") + kTestName), std::string::npos) << inner.output;
}

} // namespace
} // namespace onvif
