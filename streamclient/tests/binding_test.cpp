// Binding the transport and decoder plug-ins by name.
#include "ostrel_fixture.h"
#include "platform/diagnostic_capture.h"
#include "transport_binding.h"

namespace {

using namespace ostrel_test;

class BindingTest : public StreamClientTest {
protected:
    int32_t bindWith(const char* name, int32_t streamingType) {
        seams().transportNames[static_cast<std::size_t>(streamingType - 1)] = name;
        M_KSetStreamingType(handle, streamingType);
        MediaConfig c = loopbackConfig();
        return M_KSetMediaConfig(handle, &c);
    }
};

TEST_F(BindingTest, EveryTableEntryPointsAtTheExportOfItsName) {
    ASSERT_EQ(bindWith("FakeTransportEngine-M", 2), 1);
    platform::Module same;
    ASSERT_TRUE(same.load("FakeTransportEngine-M"));
    EXPECT_EQ(reinterpret_cast<void*>(handle->transport.init), same.symbol("M_XInit"));
    EXPECT_EQ(reinterpret_cast<void*>(handle->transport.getNextFrame), same.symbol("M_XGetNextFrame"));
    EXPECT_EQ(reinterpret_cast<void*>(handle->transport.getVersion), same.symbol("M_XGetVersion"));
    EXPECT_EQ(reinterpret_cast<void*>(handle->transport.setEngineConfig), same.symbol("M_XSetEngineConfig"));
    EXPECT_EQ(reinterpret_cast<void*>(handle->transport.startTransferStreamingEngineData),
              same.symbol("M_XStartTransferStreamingEngineData"));
    // The version entry works through the table.
    char version[9] = {};
    handle->transport.getVersion(nullptr, version);
    EXPECT_STREQ(version, "V 1.0.00");
}

TEST_F(BindingTest, EngineEntriesAreLookedUpOnlyForStreamingTypeTwo) {
    ASSERT_EQ(bindWith("FakeTransportEngine-M", 1), 1);
    EXPECT_EQ(handle->transport.setEngineConfig, nullptr);
    EXPECT_EQ(handle->transport.startTransferStreamingEngineData, nullptr);
    EXPECT_NE(handle->transport.getVersion, nullptr);
}

TEST_F(BindingTest, PluginWithoutEngineEntriesBindsForStreamingTypeTwo) {
    ASSERT_EQ(bindWith("FakeTransport-M", 2), 1);
    EXPECT_EQ(handle->transport.setEngineConfig, nullptr);
    EXPECT_EQ(handle->transport.startTransferStreamingEngineData, nullptr);
}

TEST_F(BindingTest, PluginLackingAFunctionCalledUncheckedIsRefused) {
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(bindWith("FakeTransportNoFrame-M", 2), 0);
    ASSERT_EQ(reasons.lines().size(), 1u);
    EXPECT_NE(reasons.lines()[0].find("libFakeTransportNoFrame-M.so lacks M_XGetNextFrame and is not used"),
              std::string::npos)
        << reasons.text();
    EXPECT_FALSE(handle->transportModule.isLoaded());
    EXPECT_EQ(handle->transport.init, nullptr);
    EXPECT_EQ(bindWith("FakeTransportNoStart-M", 1), 0);
    EXPECT_FALSE(handle->transportModule.isLoaded());
}

TEST_F(BindingTest, RefusedPluginLeavesNothingOfTheOldBinding) {
    ASSERT_EQ(bindWith("FakeTransport-M", 2), 1);
    EXPECT_EQ(bindWith("FakeTransportNoFrame-M", 2), 0);
    EXPECT_EQ(handle->transportInstance, nullptr);
    EXPECT_EQ(transport.liveInstances(), 0);
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
    seams().processorInfo = [] { return platform::ProcessorInfo{true, "XScale-PXA255", ""}; };
    // The PXA decoder is missing; the other one must not be tried instead.
    configure();
    platform::DiagnosticCapture reasons;
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KDisconnect(handle);
    EXPECT_EQ(decoder.inits(), 0);
    EXPECT_NE(reasons.text().find("Ostrel-M: decoder plug-in " + seams().decoderNames[0] + " could not be loaded"),
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
    seams().processorInfo = [] { return platform::ProcessorInfo{true, "XScale-PXA255", ""}; };
    seams().decoderNames = {"FakeDecoder-M", "NoSuchDecoder-M"};
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
