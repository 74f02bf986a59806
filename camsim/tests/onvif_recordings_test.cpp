// The search and replay services of a simulated ONVIF camera with an SD
// card, as a SOAP client sees them: which services it names, searches read
// page by page, events in a span, and what the faults change.
#include "camsim/onvif_camera.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

constexpr char kDevice[] = "xmlns=\"http://www.onvif.org/ver10/device/wsdl\"";
constexpr char kSearch[] = "xmlns=\"http://www.onvif.org/ver10/search/wsdl\"";
constexpr char kReplay[] = "xmlns=\"http://www.onvif.org/ver10/replay/wsdl\"";
constexpr char kSchema[] = "xmlns=\"http://www.onvif.org/ver10/schema\"";
constexpr char kSearchPath[] = "/onvif/search_service";
constexpr int64_t kOneHourMs = 3600000;

class OnvifRecordingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SdCardOptions card;
        card.recordingsPerDay = 24;
        card.eventsPerDay = 96;
        options_.sdCard = std::make_shared<SdCard>(card);
        camera_ = std::make_unique<OnvifCamera>(options_, nullptr, std::make_shared<PlaceholderStreamSource>(8554));
        ASSERT_TRUE(camera_->start());
    }

    test::SoapAnswer call(const std::string& body, const char* path = kSearchPath) {
        test::PostOptions o;
        o.path = path;
        const int64_t cameraNow = test::nowSeconds() + camera_->clockOffsetSeconds();
        return test::post(camera_->port(), test::envelope(body, test::usernameToken("admin", "admin", cameraNow)), o);
    }
    pugi::xml_document ok(const std::string& body, const char* path = kSearchPath) {
        const test::SoapAnswer a = call(body, path);
        EXPECT_EQ(a.status, 200) << body << "\n" << a.body.substr(0, 2000);
        pugi::xml_document doc;
        EXPECT_TRUE(a.parse(doc));
        return doc;
    }
    std::string search(const std::string& find) { return test::findText(ok(find), "SearchToken"); }
    pugi::xml_document page(const char* operation, const std::string& token, int maxResults) {
        return ok(std::string("<") + operation + " " + kSearch + "><SearchToken>" + token +
                  "</SearchToken><MaxResults>" + std::to_string(maxResults) + "</MaxResults></" + operation + ">");
    }
    // "2026-12-09T17:00:00.000Z" with the milliseconds in it.
    static std::string isoMs(int64_t ms) {
        return test::isoUtc(ms / 1000).replace(20, 3, std::to_string(ms % 1000 + 1000).substr(1));
    }

    OnvifOptions options_;
    std::unique_ptr<OnvifCamera> camera_;
};

TEST_F(OnvifRecordingsTest, NamesSearchAndReplayAndLosesReplayToItsFault) {
    const pugi::xml_document all = ok(std::string("<GetServices ") + kDevice + "/>", "/onvif/device_service");
    std::vector<std::string> spaces;
    for (const auto& n : test::findAll(all, "Namespace")) spaces.push_back(n.child_value());
    EXPECT_NE(std::find(spaces.begin(), spaces.end(), "http://www.onvif.org/ver10/search/wsdl"), spaces.end());
    EXPECT_NE(std::find(spaces.begin(), spaces.end(), "http://www.onvif.org/ver10/replay/wsdl"), spaces.end());
    const pugi::xml_document caps = ok(std::string("<GetCapabilities ") + kDevice + "/>", "/onvif/device_service");
    std::vector<std::string> addresses;
    for (const auto& n : test::findAll(caps, "XAddr")) addresses.push_back(n.child_value());
    EXPECT_EQ(std::count_if(addresses.begin(), addresses.end(),
                            [](const std::string& a) { return a.find("/onvif/replay_service") != std::string::npos; }),
              1);

    const std::string token = camera_->options().sdCard->recordings(camera_->options().sdCard->nowMs()).back().token;
    const std::string getUri = std::string("<GetReplayUri ") + kReplay + "><StreamSetup><Stream " + kSchema +
                               ">RTP-Unicast</Stream><Transport " + kSchema +
                               "><Protocol>RTSP</Protocol></Transport></StreamSetup><RecordingToken>" + token +
                               "</RecordingToken></GetReplayUri>";
    EXPECT_EQ(test::findText(ok(getUri, "/onvif/replay_service"), "Uri"),
              "rtsp://127.0.0.1:8554/replay?recording=" + token);

    camera_->setFault(OnvifFault::NoReplay);
    const pugi::xml_document without = ok(std::string("<GetServices ") + kDevice + "/>", "/onvif/device_service");
    for (const auto& n : test::findAll(without, "Namespace"))
        EXPECT_STRNE(n.child_value(), "http://www.onvif.org/ver10/replay/wsdl");
    EXPECT_EQ(call(getUri, "/onvif/replay_service").status, 500);
    ok(std::string("<GetRecordingSummary ") + kSearch + "/>"); // the recordings are still found
}

TEST_F(OnvifRecordingsTest, RecordingSearchIsReadPageByPageUntilCompleted) {
    const std::string token = search(std::string("<FindRecordings ") + kSearch +
                                     "><Scope/><KeepAliveTime>PT10S</KeepAliveTime></FindRecordings>");
    std::vector<std::string> states;
    std::size_t found = 0;
    for (int i = 0; i < 3; ++i) {
        const pugi::xml_document p = page("GetRecordingSearchResults", token, 10);
        states.push_back(test::findText(p, "SearchState"));
        found += test::findAll(p, "RecordingInformation").size();
    }
    EXPECT_EQ(states, (std::vector<std::string>{"Searching", "Searching", "Completed"}));
    EXPECT_EQ(found, 25u);
    EXPECT_EQ(camera_->liveSearches(), 1u);
    ok(std::string("<EndSearch ") + kSearch + "><SearchToken>" + token + "</SearchToken></EndSearch>");
    EXPECT_EQ(camera_->liveSearches(), 0u);
    EXPECT_EQ(call(std::string("<GetRecordingSearchResults ") + kSearch + "><SearchToken>" + token +
                   "</SearchToken></GetRecordingSearchResults>")
                  .status,
              400);

    // A camera that answers a few results at a time, whatever is asked.
    camera_->setFault(OnvifFault::PagedSearch);
    const std::string paged = search(std::string("<FindRecordings ") + kSearch +
                                     "><Scope/><MaxMatches>7</MaxMatches><KeepAliveTime>PT10S</KeepAliveTime>"
                                     "</FindRecordings>");
    EXPECT_EQ(test::findAll(page("GetRecordingSearchResults", paged, 100), "RecordingInformation").size(), 5u);
    const pugi::xml_document rest = page("GetRecordingSearchResults", paged, 100);
    EXPECT_EQ(test::findAll(rest, "RecordingInformation").size(), 2u);
    EXPECT_EQ(test::findText(rest, "SearchState"), "Completed");

    // A day cut into 500 recordings.
    camera_->setFault(OnvifFault::ManyRecordings);
    const pugi::xml_document summary = ok(std::string("<GetRecordingSummary ") + kSearch + "/>");
    EXPECT_GE(std::stoi(test::findText(summary, "NumberRecordings")), 500);
}

TEST_F(OnvifRecordingsTest, EventSearchFindsASpanInEitherDirectionAndFiltersTopics) {
    const int64_t hour = camera_->options().sdCard->nowMs() / kOneHourMs * kOneHourMs - 2 * kOneHourMs;
    const auto find = [&](int64_t from, int64_t to, const std::string& extra) {
        return search(std::string("<FindEvents ") + kSearch + "><StartPoint>" + isoMs(from) +
                      "</StartPoint><EndPoint>" + isoMs(to) + "</EndPoint><Scope/>" + extra +
                      "<IncludeStartState>false</IncludeStartState><KeepAliveTime>PT10S</KeepAliveTime></FindEvents>");
    };
    const auto times = [&](const std::string& token) {
        const pugi::xml_document results = page("GetEventSearchResults", token, 100);
        std::vector<std::string> out;
        for (const auto& n : test::findAll(results, "Time")) out.push_back(n.child_value());
        return out;
    };
    // Every 15 minutes, 5 minutes into its slot: motion for 8 s, every fourth an input for 2 s.
    const std::vector<std::string> forward = times(find(hour, hour + kOneHourMs, ""));
    ASSERT_EQ(forward.size(), 8u);
    EXPECT_EQ(forward.front(), isoMs(hour + 300000));
    EXPECT_EQ(forward.back(), isoMs(hour + 3 * 900000 + 302000));
    const std::vector<std::string> backward = times(find(hour + kOneHourMs, hour, ""));
    EXPECT_EQ(backward, std::vector<std::string>(forward.rbegin(), forward.rend()));
    const std::string inputs =
        "<SearchFilter><TopicExpression xmlns=\"http://docs.oasis-open.org/wsn/b-2\" "
        "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\">tns1:Device/Trigger/DigitalInput"
        "</TopicExpression></SearchFilter>";
    EXPECT_EQ(times(find(hour, hour + kOneHourMs, inputs)),
              (std::vector<std::string>{isoMs(hour + 3 * 900000 + 300000), isoMs(hour + 3 * 900000 + 302000)}));
}

TEST_F(OnvifRecordingsTest, RecordingTimesFollowTheCameraClock) {
    OnvifFaultSettings skew;
    skew.clockOffsetSeconds = -600;
    camera_->setFault(OnvifFault::SkewedClock, skew);
    const pugi::xml_document clock =
        ok(std::string("<GetSystemDateAndTime ") + kDevice + "/>", "/onvif/device_service");
    const int64_t camera = std::stoll(test::findText(clock, "Hour")) * 3600 +
                           std::stoll(test::findText(clock, "Minute")) * 60 +
                           std::stoll(test::findText(clock, "Second"));
    const std::string until = test::findText(ok(std::string("<GetRecordingSummary ") + kSearch + "/>"), "DataUntil");
    const int64_t recorded =
        std::stoll(until.substr(11, 2)) * 3600 + std::stoll(until.substr(14, 2)) * 60 + std::stoll(until.substr(17, 2));
    const int64_t apart = ((recorded - camera) % 86400 + 86400 + 43200) % 86400 - 43200;
    EXPECT_LE(std::abs(apart), 2); // the newest picture is the camera's now, not ours
}

} // namespace
} // namespace camsim
