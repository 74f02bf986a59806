// Binding the transport and decoder plug-ins by name.
#include "ostrel_fixture.h"
#include "platform/diagnostic_capture.h"
#include "transport_binding.h"
#include "transport_plugin.h"

namespace {

using namespace ostrel::test;

class BindingTest : public StreamClientTest {
protected:
    // Binds the named plug-in through a fresh object; its previous binding,
    // if any, is dropped with the old object.
    int32_t bindWith(const char* name, int32_t streamingType) {
        seams.transportNames[static_cast<std::size_t>(streamingType - 1)] = name;
        reopen();
        M_KSetStreamingType(handle, streamingType);
        MediaConfig c = loopbackConfig();
        return M_KSetMediaConfig(handle, &c);
    }
};

TEST(TransportPluginTest, EveryTableEntryPointsAtTheExportOfItsName) {
    ostrel::TransportPlugin plugin;
    ASSERT_TRUE(plugin.bind(2, {"", "FakeTransportEngine-M", ""}));
    const ostrel::TransportTable& table = plugin.table();
    platform::Module same;
    ASSERT_TRUE(same.load("FakeTransportEngine-M"));
    EXPECT_EQ(reinterpret_cast<void*>(table.init), same.symbol("M_XInit"));
    EXPECT_EQ(reinterpret_cast<void*>(table.getNextFrame), same.symbol("M_XGetNextFrame"));
    EXPECT_EQ(reinterpret_cast<void*>(table.getVersion), same.symbol("M_XGetVersion"));
    EXPECT_EQ(reinterpret_cast<void*>(table.setEngineConfig), same.symbol("M_XSetEngineConfig"));
    EXPECT_EQ(reinterpret_cast<void*>(table.startTransferStreamingEngineData),
              same.symbol("M_XStartTransferStreamingEngineData"));
    // The version entry works through the table.
    char version[9] = {};
    table.getVersion(nullptr, version);
    EXPECT_STREQ(version, "V 1.0.00");
}

TEST(TransportPluginTest, EngineEntriesAreLookedUpOnlyForStreamingTypeTwo) {
    ostrel::TransportPlugin plugin;
    ASSERT_TRUE(plugin.bind(1, {"FakeTransportEngine-M", "", ""}));
    EXPECT_EQ(plugin.table().setEngineConfig, nullptr);
    EXPECT_EQ(plugin.table().startTransferStreamingEngineData, nullptr);
    EXPECT_NE(plugin.table().getVersion, nullptr);
}

TEST(TransportPluginTest, PluginWithoutEngineEntriesBindsForStreamingTypeTwo) {
    ostrel::TransportPlugin plugin;
    ASSERT_TRUE(plugin.bind(2, {"", "FakeTransport-M", ""}));
    EXPECT_EQ(plugin.table().setEngineConfig, nullptr);
    EXPECT_EQ(plugin.table().startTransferStreamingEngineData, nullptr);
}

TEST(TransportPluginTest, RefusedPluginIsUnloadedAndItsTableCleared) {
    ostrel::TransportPlugin plugin;
    ASSERT_TRUE(plugin.bind(2, {"", "FakeTransport-M", ""}));
    EXPECT_FALSE(plugin.bind(2, {"", "FakeTransportNoFrame-M", ""}));
    EXPECT_FALSE(plugin.isBound());
    EXPECT_EQ(plugin.table().init, nullptr);
    EXPECT_EQ(plugin.instance(), nullptr);
}

TEST_F(BindingTest, PluginLackingAFunctionCalledUncheckedIsRefused) {
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(bindWith("FakeTransportNoFrame-M", 2), 0);
    ASSERT_EQ(reasons.lines().size(), 1u);
    EXPECT_NE(reasons.lines()[0].find("libFakeTransportNoFrame-M.so lacks M_XGetNextFrame and is not used"),
              std::string::npos)
        << reasons.text();
    EXPECT_EQ(bindWith("FakeTransportNoStart-M", 1), 0);
    // Nothing of either was started, and a connect finds no transport.
    EXPECT_EQ(connectExpectingFailure(), 0);
    EXPECT_EQ(transport.calls(), "");
    EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
}

TEST_F(BindingTest, RefusedPluginLeavesNothingOfTheOldBinding) {
    seams.transportNames[0] = "FakeTransportNoFrame-M";
    reopen();
    configure(2);
    EXPECT_EQ(transport.liveInstances(), 1);
    M_KSetStreamingType(handle, 1);
    MediaConfig c = loopbackConfig();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
    EXPECT_EQ(transport.liveInstances(), 0);
    // No command reaches the old instance.
    EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
    EXPECT_EQ(transport.calls().find("SendCommand"), std::string::npos);
}

TEST_F(BindingTest, MissingRequiredNameIsReportedByTheTableBinder) {
    platform::Module m;
    ASSERT_TRUE(m.load("FakeTransportNoFrame-M"));
    ostrel::TransportTable table;
    EXPECT_EQ(ostrel::bindTransportTable(m, 2, table), "M_XGetNextFrame");
    EXPECT_NE(table.init, nullptr);
    EXPECT_EQ(table.getNextFrame, nullptr);
}

TEST(DecoderChoiceTest, PxaInNameOrCoreNameChoosesTypeOne) {
    EXPECT_EQ(ostrel::chooseDecoderType({true, "XScale-PXA270 rev 7", ""}), 1);
    EXPECT_EQ(ostrel::chooseDecoderType({true, "ARMv5", "Intel PXA27x"}), 1);
    EXPECT_EQ(ostrel::chooseDecoderType({true, "Intel(R) Xeon(R)", ""}), 2);
    EXPECT_EQ(ostrel::chooseDecoderType({true, "xscale-pxa270", ""}), 2); // case matters
    EXPECT_EQ(ostrel::chooseDecoderType({false, "PXA", "PXA"}), 2);       // unreadable
}

TEST_F(BindingTest, PxaProcessorTriesOnlyTheFirstDecoder) {
    seams.processorInfo = [] { return platform::ProcessorInfo{true, "XScale-PXA255", ""}; };
    reopen();
    // The PXA decoder is missing; the other one must not be tried instead.
    configure();
    platform::DiagnosticCapture reasons;
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KDisconnect(handle);
    EXPECT_EQ(decoder.inits(), 0);
    EXPECT_NE(reasons.text().find("Ostrel-M: decoder plug-in " + seams.decoderNames[0] + " could not be loaded"),
              std::string::npos)
        << reasons.text();
}

TEST_F(BindingTest, MissingTransportPluginIsNamedWithTheLoadersReason) {
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(bindWith("NoSuchTransport-M", 2), 0);
    ASSERT_EQ(reasons.lines().size(), 1u);
    const std::string line = reasons.lines()[0];
    EXPECT_EQ(line.rfind("Ostrel-M: transport plug-in NoSuchTransport-M for streaming type 2 could not be loaded: ", 0),
              0u)
        << line;
    EXPECT_NE(line.find("libNoSuchTransport-M.so"), std::string::npos) << line;
}

TEST_F(BindingTest, PxaProcessorLoadsTheFirstDecoder) {
    seams.processorInfo = [] { return platform::ProcessorInfo{true, "XScale-PXA255", ""}; };
    seams.decoderNames = {"FakeDecoder-M", "NoSuchDecoder-M"};
    reopen();
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KDisconnect(handle);
    EXPECT_EQ(decoder.inits(), 1);
    EXPECT_EQ(decoder.exits(), 1);
}

TEST_F(BindingTest, OtherProcessorLoadsTheSecondDecoder) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    EXPECT_TRUE(waitUntil([this] { return decoder.inits() == 1; }));
    M_KDisconnect(handle);
    EXPECT_EQ(decoder.exits(), 1);
}

} // namespace
