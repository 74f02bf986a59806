// Asking a camera for its recordings: where the services are, searches read
// page by page until the camera says completed, and the bounds that stop a
// search a camera never completes.
#include "onvif/recordings.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace onvif {
namespace {

using test::FakeSoapTransport;
using test::okReply;
using test::SeenRequest;

std::string recordingItem(int n) {
    return "<tt:RecordingInformation><tt:RecordingToken>REC-" + std::to_string(n) +
           "</tt:RecordingToken><tt:EarliestRecording>2024-02-29T22:00:00Z</tt:EarliestRecording>"
           "<tt:LatestRecording>2024-02-29T23:00:00Z</tt:LatestRecording></tt:RecordingInformation>";
}

// A camera whose capabilities name neither service (its GetServices does,
// behind NAT), and whose searches complete after `pagesToComplete` pages
// of two recordings each (never, when 0).
struct RecordingCamera {
    int pagesToComplete = 3;
    std::atomic<int> pages{0};

    SoapReply answer(const SeenRequest& r) {
        if (r.operation == "GetSystemDateAndTime")
            return SoapReply{true, 200, test::dataFile("system_date_time.xml"), {}};
        if (r.operation == "GetCapabilities")
            return SoapReply{true, 200, test::dataFile("capabilities_foreign_xaddrs.xml"), {}};
        if (r.operation == "GetServices") {
            std::string services;
            for (const auto& [ns, path] : {std::pair{"http://www.onvif.org/ver10/media/wsdl", "media"},
                                           std::pair{"http://www.onvif.org/ver10/search/wsdl", "search"},
                                           std::pair{"http://www.onvif.org/ver10/replay/wsdl", "replay"}}) {
                services += std::string("<tds:Service><tds:Namespace>") + ns +
                            "</tds:Namespace><tds:XAddr>http://10.20.30.40:8899/onvif/" + path +
                            "</tds:XAddr></tds:Service>";
            }
            return okReply("<tds:GetServicesResponse xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">" + services +
                           "</tds:GetServicesResponse>");
        }
        if (r.operation == "FindRecordings" || r.operation == "FindEvents") {
            return okReply("<tse:" + r.operation +
                           "Response xmlns:tse=\"http://www.onvif.org/ver10/search/wsdl\">"
                           "<tse:SearchToken>s-1</tse:SearchToken></tse:" +
                           r.operation + "Response>");
        }
        if (r.operation == "GetRecordingSearchResults") {
            const int page = ++pages;
            const bool last = pagesToComplete > 0 && page >= pagesToComplete;
            return okReply(
                "<tse:GetRecordingSearchResultsResponse xmlns:tse=\"http://www.onvif.org/ver10/search/wsdl\" "
                "xmlns:tt=\"http://www.onvif.org/ver10/schema\"><tse:ResultList><tt:SearchState>" +
                std::string(last ? "Completed" : "Searching") + "</tt:SearchState>" +
                (pagesToComplete > 0 ? recordingItem(2 * page - 1) + recordingItem(2 * page) : "") +
                "</tse:ResultList></tse:GetRecordingSearchResultsResponse>");
        }
        if (r.operation == "GetReplayUri") {
            return okReply("<trp:GetReplayUriResponse xmlns:trp=\"http://www.onvif.org/ver10/replay/wsdl\"><trp:Uri>"
                           "rtsp://10.20.30.40:554/replay?recording=" +
                           test::elementText(r.envelope, "RecordingToken") + "</trp:Uri></trp:GetReplayUriResponse>");
        }
        return okReply("<x:" + r.operation + "Response xmlns:x=\"urn:x\"/>");
    }
};

class RecordingsTest : public ::testing::Test {
protected:
    RecordingsTest()
        : transport([this](const SeenRequest& r) { return camera.answer(r); }),
          device(transport, DeviceSettings{"127.0.0.1", 8000, "", "", 2000}), recordings(device) {}
    void SetUp() override { ASSERT_TRUE(device.connect()) << device.lastError(); }

    int count(const std::string& operation) const {
        int n = 0;
        for (const std::string& o : transport.operations()) n += o == operation ? 1 : 0;
        return n;
    }

    RecordingCamera camera;
    FakeSoapTransport transport;
    Device device;
    Recordings recordings;
};

TEST_F(RecordingsTest, ServicesNamedOnlyByGetServicesAreFoundAndTheirAddressesRewritten) {
    EXPECT_TRUE(recordings.replayOffered());
    EXPECT_TRUE(recordings.searchOffered());
    EXPECT_EQ(count("GetServices"), 1); // asked once, not for every call
    EXPECT_EQ(recordings.replayUri("REC-7"), std::optional<std::string>("rtsp://127.0.0.1:554/replay?recording=REC-7"));
    EXPECT_EQ(transport.requests().back().url, "http://127.0.0.1:8899/onvif/replay");
}

TEST_F(RecordingsTest, SearchReadsPagesUntilTheCameraSaysCompleted) {
    SearchBounds bounds;
    bounds.pageSize = 2;
    const Found<Recording> found = recordings.findRecordings(bounds);
    EXPECT_TRUE(found.complete);
    EXPECT_TRUE(found.error.empty());
    ASSERT_EQ(found.items.size(), 6u);
    EXPECT_EQ(found.items.back().token, "REC-6");
    EXPECT_EQ(count("GetRecordingSearchResults"), 3);
    EXPECT_EQ(count("EndSearch"), 0); // a completed search ends by itself
    EXPECT_EQ(test::elementText(transport.requests().back().envelope, "MaxResults"), "2");
}

TEST_F(RecordingsTest, SearchTheCameraNeverCompletesStopsAtItsBoundsAndIsEnded) {
    camera.pagesToComplete = 0; // "Searching" forever, with nothing
    SearchBounds pages;
    pages.maxPages = 5;
    Found<Recording> found = recordings.findRecordings(pages);
    EXPECT_FALSE(found.complete);
    EXPECT_EQ(found.error, "FindRecordings: stopped after 5 pages");
    EXPECT_EQ(count("GetRecordingSearchResults"), 5);
    EXPECT_EQ(count("EndSearch"), 1);
    EXPECT_EQ(recordings.lastError(), found.error);

    camera.pagesToComplete = 100;
    camera.pages = 0;
    SearchBounds results;
    results.maxResults = 3;
    found = recordings.findRecordings(results);
    EXPECT_EQ(found.items.size(), 3u); // the second page's second result is past the bound
    EXPECT_EQ(found.leftOut, 1u);
    EXPECT_EQ(found.error, "FindRecordings: stopped at 3 results");

    CallCancel cancel;
    cancel.abort();
    found = recordings.findRecordings({}, &cancel);
    EXPECT_EQ(found.error, "FindRecordings: cancelled");
    EXPECT_EQ(count("EndSearch"), 3);
}

} // namespace
} // namespace onvif
