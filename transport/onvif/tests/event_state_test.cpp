#include "onvif/event_state.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

Notification event(const char* topic, const char* sourceName, const char* source, const char* dataName,
                   const char* value) {
    return Notification{topic, {{sourceName, source}}, {{dataName, value}}};
}

TEST(EventStateTest, PulledMessagesSetMotionAndTheNumberedInput) {
    EventState state;
    EXPECT_EQ(state.motionByte(), 0);
    EXPECT_EQ(state.digitalInputByte(), 3); // active low, nothing active
    state.apply(readNotifications(test::dataFile("pull_messages.xml")).value());
    EXPECT_EQ(state.motionByte(), 0x02);
    EXPECT_EQ(state.digitalInputByte(), 0x01); // input 2 active: bit 1 clear
}

TEST(EventStateTest, StatesFollowTheLatestChange) {
    EventState state;
    state.apply({event("tns1:VideoSource/MotionAlarm", "Source", "vs", "State", "true"),
                 event("tns1:Device/Trigger/DigitalInput", "InputToken", "DI_A", "LogicalState", "true"),
                 event("tns1:Device/Trigger/DigitalInput", "InputToken", "DI_B", "LogicalState", "true")});
    EXPECT_EQ(state.motionByte(), 0x02);
    EXPECT_EQ(state.digitalInputByte(), 0x00); // tokens without numbers: first seen is input 1

    state.apply({event("tns1:VideoSource/MotionAlarm", "Source", "vs", "State", "false"),
                 event("tns1:Device/Trigger/DigitalInput", "InputToken", "DI_A", "LogicalState", "false"),
                 // a third input has no place in the byte and changes nothing
                 event("tns1:Device/Trigger/DigitalInput", "InputToken", "DI_C", "LogicalState", "true")});
    EXPECT_EQ(state.motionByte(), 0);
    EXPECT_EQ(state.digitalInputByte(), 0x01);
}

TEST(EventStateTest, OtherTopicsAndIncompleteMessagesChangeNothing) {
    EventState state;
    state.apply({event("tns1:VideoSource/ImageTooDark", "Source", "vs", "State", "true"),
                 Notification{"tns1:RuleEngine/CellMotionDetector/Motion", {}, {}},
                 Notification{"tns1:Device/Trigger/DigitalInput", {{"InputToken", "1"}}, {}}});
    EXPECT_EQ(state.motionByte(), 0);
    EXPECT_EQ(state.digitalInputByte(), 3);
}

struct InputCase {
    const char* what;
    std::vector<std::pair<std::string, bool>> changes; // token, active
    uint8_t inputByte;
};

Notification inputChange(const std::string& token, bool active) {
    return Notification{
        "tns1:Device/Trigger/DigitalInput", {{"InputToken", token}}, {{"LogicalState", active ? "true" : "false"}}};
}

class InputTokenTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(InputTokenTest, TokensTakeTheTwoInputsAndNothingElse) {
    EventState state;
    std::vector<Notification> changes;
    for (const auto& [token, active] : GetParam().changes) changes.push_back(inputChange(token, active));
    state.apply(changes);
    EXPECT_EQ(state.digitalInputByte(), GetParam().inputByte);
}

std::vector<std::pair<std::string, bool>> floodAfter(std::vector<std::pair<std::string, bool>> first) {
    for (int i = 0; i < 20000; ++i)
        first.emplace_back("flood_" + std::to_string(i) + "_" + std::string(200, 'x'), true);
    return first;
}

const std::string kLong(EventState::kMaxTokenBytes, 't');

INSTANTIATE_TEST_SUITE_P(
    Tokens, InputTokenTest,
    ::testing::Values(InputCase{"NumberedTwo", {{"DigitalInput_2", true}}, 0x01},
                      InputCase{"NumberedOne", {{"input_1", true}}, 0x02},
                      InputCase{"NumberThreeCountsAsUnnumbered", {{"input_3", true}}, 0x02},
                      InputCase{"FirstUnnumberedIsInputOne", {{"DI_A", true}}, 0x02},
                      InputCase{"SecondUnnumberedIsInputTwo", {{"DI_A", false}, {"DI_B", true}}, 0x01},
                      InputCase{"ThirdUnnumberedHasNoPlace", {{"DI_A", false}, {"DI_B", false}, {"DI_C", true}}, 0x03},
                      InputCase{"NumberedKeepOthersOff", {{"in_1", false}, {"DI_A", true}, {"DI_B", true}}, 0x01},
                      // A new token in every message: the first two keep their
                      // places, the flood takes none.
                      InputCase{"FloodOfNewTokens", floodAfter({{"DI_A", false}, {"DI_B", true}}), 0x01},
                      InputCase{"FloodTakesTheFreePlacesOnly", floodAfter({}), 0x00},
                      InputCase{
                          "LongTokensAreToldApartByTheirStart", {{kLong + "a", true}, {kLong + "b", false}}, 0x03}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.what); });

} // namespace
} // namespace onvif
