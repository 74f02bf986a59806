#include "onvif/replies.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

using test::dataFile;

TEST(ProfileReplyTest, ReadsProfilesWhateverThePrefixes) {
    for (const char* file : {"profiles_vendor_prefixes.xml", "profiles_default_namespace.xml"}) {
        SCOPED_TRACE(file);
        const auto profiles = readProfiles(dataFile(file));
        ASSERT_TRUE(profiles.has_value());
        ASSERT_GE(profiles->size(), 2u);
        EXPECT_FALSE(profiles->at(0).token.empty());
        EXPECT_GT(profiles->at(1).width, 0);
        EXPECT_GT(profiles->at(1).height, 0);
    }
    const auto vendor = readProfiles(dataFile("profiles_vendor_prefixes.xml"));
    ASSERT_EQ(vendor->size(), 3u);
    EXPECT_EQ(vendor->at(0).token, "MainStreamProfile");
    EXPECT_EQ(vendor->at(0).encoding, "H264");
    EXPECT_EQ(vendor->at(0).width, 1920);
    EXPECT_TRUE(vendor->at(0).hasPtz);
    EXPECT_FALSE(vendor->at(2).hasPtz);
    EXPECT_TRUE(vendor->at(0).hasAudioOutput); // in the profile's Extension
    EXPECT_FALSE(vendor->at(1).hasAudioOutput);
}

struct TalkCase {
    const char* name;
    std::vector<bool> speakers; // per profile p0, p1, p2
    std::size_t shown;
    const char* token;
};

void PrintTo(const TalkCase& c, std::ostream* out) { *out << c.name; }

class TalkProfileTest : public ::testing::TestWithParam<TalkCase> {};

TEST_P(TalkProfileTest, TalksOverTheProfileWithTheSpeaker) {
    const TalkCase& c = GetParam();
    std::vector<Profile> profiles;
    for (std::size_t i = 0; i < c.speakers.size(); ++i) {
        Profile p;
        p.token = "p" + std::to_string(i);
        p.hasAudioOutput = c.speakers[i];
        profiles.push_back(p);
    }
    EXPECT_EQ(talkProfile(profiles, profiles[c.shown]).token, c.token);
}

INSTANTIATE_TEST_SUITE_P(Speakers, TalkProfileTest,
                         ::testing::Values(TalkCase{"ShownHasIt", {true, true}, 1, "p1"},
                                           TalkCase{"OnlyTheMainHasIt", {true, false}, 1, "p0"},
                                           TalkCase{"FirstOfSeveralOthers", {false, false, true, true}, 1, "p2"},
                                           TalkCase{"NoneHasItTheShownSaysWhy", {false, false}, 1, "p1"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ChannelCase {
    const char* file;
    int channel;
    const char* token; // nullptr: no profile
};

class ChooseProfileTest : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ChooseProfileTest, ChannelNamesTheProfile) {
    const ChannelCase& c = GetParam();
    const auto profiles = readProfiles(dataFile(c.file));
    ASSERT_TRUE(profiles.has_value());
    const auto chosen = chooseProfile(*profiles, c.channel);
    if (c.token == nullptr) {
        EXPECT_FALSE(chosen.has_value());
    } else {
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(chosen->token, c.token);
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, ChooseProfileTest,
                         ::testing::Values(
                             // 0: the smallest H.264/H.265 stream, never the smaller JPEG one.
                             ChannelCase{"profiles_vendor_prefixes.xml", 0, "SubStreamProfile"},
                             ChannelCase{"profiles_default_namespace.xml", 0, "p1"},
                             ChannelCase{"profiles_vendor_prefixes.xml", 1, "MainStreamProfile"},
                             ChannelCase{"profiles_vendor_prefixes.xml", 3, "JpegProfile"},
                             ChannelCase{"profiles_vendor_prefixes.xml", 4, nullptr},
                             ChannelCase{"profiles_vendor_prefixes.xml", -1, nullptr}));

struct SwitchableCase {
    const char* file;
    std::vector<std::pair<int, std::string>> expected; // channel, token; smallest first
};

class SwitchableProfilesTest : public ::testing::TestWithParam<SwitchableCase> {};

TEST_P(SwitchableProfilesTest, KeepsOneSourcesH26xProfilesSmallestFirst) {
    const SwitchableCase& c = GetParam();
    const auto profiles = readProfiles(dataFile(c.file));
    ASSERT_TRUE(profiles.has_value());
    std::vector<std::pair<int, std::string>> got;
    for (const ChannelProfile& p : switchableProfiles(*profiles)) got.emplace_back(p.channel, p.profile.token);
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Profiles, SwitchableProfilesTest,
                         ::testing::Values(
                             // A profile naming no source counts as the first one's; JPEG never.
                             SwitchableCase{"profiles_vendor_prefixes.xml",
                                            {{2, "SubStreamProfile"}, {1, "MainStreamProfile"}}},
                             // The second sensor's H.264 stream and the thermal JPEG stay out.
                             SwitchableCase{"profiles_two_sources.xml", {{4, "sub"}, {2, "main"}}}));

TEST(CapabilitiesReplyTest, ReadsEveryServiceAddress) {
    const auto services = readCapabilities(dataFile("capabilities_foreign_xaddrs.xml"));
    ASSERT_TRUE(services.has_value());
    EXPECT_EQ(services->media, "http://10.20.30.40:8899/onvif/media_service");
    EXPECT_EQ(services->ptz, "http://10.20.30.40:8899/onvif/ptz_service");
    EXPECT_EQ(services->events, "http://10.20.30.40:8899/onvif/events_service");
    EXPECT_EQ(services->deviceIo, "http://10.20.30.40:8899/onvif/deviceio_service");
}

TEST(SystemDateReplyTest, ReadsTheUtcClockNotTheLocalOne) {
    // 2024-02-29 23:59:58 UTC, worked out by hand: 19782 days after 1970-01-01.
    const auto utc = readSystemDateAndTime(dataFile("system_date_time.xml"));
    ASSERT_TRUE(utc.has_value());
    EXPECT_EQ(*utc, 19782LL * 86400 + 23 * 3600 + 59 * 60 + 58);
}

TEST(NotificationReplyTest, ReadsTopicSourceAndData) {
    const auto messages = readNotifications(dataFile("pull_messages.xml"));
    ASSERT_TRUE(messages.has_value());
    ASSERT_EQ(messages->size(), 3u);
    EXPECT_EQ(messages->at(0).topic, "tns1:RuleEngine/CellMotionDetector/Motion");
    ASSERT_EQ(messages->at(0).data.size(), 1u);
    EXPECT_EQ(messages->at(0).data[0].name, "IsMotion");
    EXPECT_EQ(messages->at(0).data[0].value, "true");
    ASSERT_EQ(messages->at(1).source.size(), 1u);
    EXPECT_EQ(messages->at(1).source[0].value, "DigitalInput_2");
}

TEST(FaultReplyTest, RecognisesRefusedCredentials) {
    const auto fault = readFault(dataFile("fault_not_authorized.xml"));
    ASSERT_TRUE(fault.has_value());
    EXPECT_TRUE(fault->notAuthorized());
    EXPECT_EQ(fault->reason, "Sender not Authorized");
    EXPECT_FALSE(readFault(dataFile("profiles_vendor_prefixes.xml")).has_value());
}

// A camera's termination times: zones, fractions, and what is refused.
TEST(DateTimeTest, ReadsUtcSecondsOrNothing) {
    const long long base = 1709280000; // 2024-03-01T08:00:00Z
    const std::pair<const char*, std::optional<long long>> cases[] = {
        {"2024-03-01T08:00:00Z", base},
        {"2024-03-01T08:00:00", base},
        {"2024-03-01T08:00:59.125Z", base + 59},
        {"2024-03-01T09:30:00+01:30", base},
        {"2024-03-01T07:00:00-01:00", base},
        {"2024-03-01T08:00:00+1:00", std::nullopt},
        {"2024-13-01T08:00:00Z", std::nullopt},
        {"2024-03-01T24:00:00Z", std::nullopt},
        {"2024-03-01T08:00:00Zjunk", std::nullopt},
        {"2024-03-01T-1:00:00Z", std::nullopt},
        {"2024- 3-01T08:00:00Z", std::nullopt},
        {"2024-03-01T08:00:00+-1:00", std::nullopt},
        {"2024-03-01T08:00:00.Z", std::nullopt},
        {"1969-12-31T23:59:59Z", std::nullopt},
        {"PT60S", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(parseDateTime(text), seconds) << text;
}

// Whatever arrives, the readers answer "nothing" and never crash.
TEST(BadReplyTest, MalformedOrHostileRepliesGiveNothing) {
    const std::string good = dataFile("profiles_vendor_prefixes.xml");
    const std::vector<std::string> bad = {
        "",
        "not xml at all",
        good.substr(0, good.size() / 2),                  // cut short
        dataFile("entity_expansion.xml"),                 // a document type is refused outright
        "<s:Envelope xmlns:s='x'><s:Body/></s:Envelope>", // no response element
        "<Body><GetStreamUriResponse><MediaUri><Uri>rtsp://h/</Uri></MediaUri></GetStreamUriResponse></Body>",
        std::string(1000, '<'),
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(readStreamUri(text).has_value()) << text.substr(0, 60);
        EXPECT_FALSE(readProfiles(text).has_value());
        EXPECT_FALSE(readSystemDateAndTime(text).has_value());
        EXPECT_FALSE(readNotifications(text).has_value());
        EXPECT_FALSE(readSubscriptionTimes(text).has_value());
    }
}

TEST(PtzReplyTest, NodeSpacesTellHowTheCameraCanBePointed) {
    auto nodes = [](const std::string& spaces) {
        return "<Envelope><Body><GetNodesResponse><PTZNode token=\"n\"><SupportedPTZSpaces>" + spaces +
               "</SupportedPTZSpaces></PTZNode></GetNodesResponse></Body></Envelope>";
    };
    auto space = [](const char* kind, const std::string& uri) {
        return std::string("<tt:") + kind + "><tt:URI>" + uri + "</tt:URI></tt:" + kind + ">";
    };
    const std::string onvif = "http://www.onvif.org/ver10/tptz/";
    const auto all = readPtzSpaces(
        nodes(space("RelativePanTiltTranslationSpace", onvif + "PanTiltSpaces/TranslationSpaceFov") +
              space("RelativePanTiltTranslationSpace", onvif + "PanTiltSpaces/TranslationGenericSpace") +
              // A field-of-view zoom space under a camera maker's own host.
              space("RelativeZoomTranslationSpace", "http://example.com/ver10/tptz/ZoomSpaces/TranslationSpaceFov") +
              space("AbsolutePanTiltPositionSpace", onvif + "PanTiltSpaces/PositionGenericSpace") +
              space("ContinuousZoomVelocitySpace", onvif + "ZoomSpaces/VelocityGenericSpace")));
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->fovPanTilt);
    EXPECT_TRUE(all->relativePanTilt);
    EXPECT_EQ(all->fovZoomSpace, "http://example.com/ver10/tptz/ZoomSpaces/TranslationSpaceFov");
    EXPECT_TRUE(all->absolute);
    EXPECT_TRUE(all->zoom);
    const auto continuous =
        readPtzSpaces(nodes(space("ContinuousPanTiltVelocitySpace", onvif + "PanTiltSpaces/VelocityGenericSpace")));
    ASSERT_TRUE(continuous);
    EXPECT_FALSE(continuous->fovPanTilt || continuous->relativePanTilt || continuous->absolute || continuous->zoom);
    EXPECT_FALSE(readPtzSpaces("<Envelope><Body><GetNodesResponse/></Body></Envelope>"));
    EXPECT_FALSE(readPtzSpaces("not xml"));
}

TEST(PtzReplyTest, StatusGivesThePositionAndWhetherItMoves) {
    auto status = [](const std::string& inner) {
        return "<Envelope><Body><GetStatusResponse><PTZStatus>" + inner +
               "</PTZStatus></GetStatusResponse></Body></Envelope>";
    };
    const auto moving = readPtzStatus(status("<Position><PanTilt x=\"0.25\" y=\"-0.5\"/><Zoom x=\"0.75\"/></Position>"
                                             "<MoveStatus><PanTilt>IDLE</PanTilt><Zoom>MOVING</Zoom></MoveStatus>"));
    ASSERT_TRUE(moving);
    EXPECT_DOUBLE_EQ(moving->pan, 0.25);
    EXPECT_DOUBLE_EQ(moving->tilt, -0.5);
    EXPECT_DOUBLE_EQ(moving->zoom, 0.75);
    EXPECT_TRUE(moving->moving);
    const auto noZoom = readPtzStatus(status("<Position><PanTilt x=\"0\" y=\"0\"/></Position>"));
    ASSERT_TRUE(noZoom);
    EXPECT_FALSE(noZoom->moving);
    EXPECT_EQ(noZoom->zoom, 0.0);
    EXPECT_FALSE(readPtzStatus(status("<Position><PanTilt x=\"nan\" y=\"0\"/></Position>")));
    EXPECT_FALSE(readPtzStatus(status("<Position><PanTilt x=\"1\"/></Position>")));
    EXPECT_FALSE(readPtzStatus(status("")));
}

} // namespace
} // namespace onvif
