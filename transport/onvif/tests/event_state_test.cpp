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

} // namespace
} // namespace onvif
