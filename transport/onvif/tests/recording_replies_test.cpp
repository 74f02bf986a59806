// The search and replay services' replies as cameras write them, and as
// hostile ones do: what is read, what is left out, what is refused.
#include "onvif/recording_replies.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

using test::dataFile;

// Times of the samples, milliseconds since 1970 (worked out apart from this code).
constexpr int64_t k20240227T230001_250 = 1709074801250;
constexpr int64_t k20240229T235958 = 1709251198000;

TEST(RecordingRepliesTest, RecordingInformationKeepsReadableTracksWhateverThePrefixes) {
    const std::optional<Recording> r = readRecordingInformation(dataFile("recording_information.xml"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->token, "OnvifRecordingToken_1");
    EXPECT_EQ(r->sourceName, "Front door");
    EXPECT_EQ(r->span, (TimeSpan{k20240227T230001_250, k20240229T235958})); // its zone taken into account
    EXPECT_TRUE(r->growing());
    // The audio track ends before it starts: left out.
    ASSERT_EQ(r->tracks.size(), 2u);
    EXPECT_EQ(r->tracks[0].token, "VIDEO001");
    EXPECT_EQ(r->tracks[0].type, TrackType::Video);
    EXPECT_EQ(r->tracks[0].data, (TimeSpan{k20240227T230001_250, k20240229T235958}));
    EXPECT_EQ(r->tracks[1].type, TrackType::Metadata);
}

TEST(RecordingRepliesTest, SummaryCapabilitiesAndReplayAddress) {
    const auto summary = readRecordingSummary(dataFile("recording_summary.xml"));
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->data, (TimeSpan{1709078400000, 1709251198960}));
    EXPECT_EQ(summary->recordings, 48);
    const auto search = readSearchCapabilities(dataFile("search_capabilities.xml"));
    ASSERT_TRUE(search.has_value());
    EXPECT_FALSE(search->metadataSearch);
    EXPECT_TRUE(search->generalStartEvents);
    const auto replay = readReplayCapabilities(dataFile("replay_capabilities.xml"));
    ASSERT_TRUE(replay.has_value());
    EXPECT_TRUE(replay->reversePlayback);
    EXPECT_TRUE(replay->rtpRtspTcp);
    EXPECT_EQ(replay->sessionTimeoutMinSeconds, 10);
    EXPECT_EQ(replay->sessionTimeoutMaxSeconds, 120);
    EXPECT_EQ(readReplayUri(test::okReply("<r:GetReplayUriResponse xmlns:r=\"http://www.onvif.org/ver10/replay/wsdl\">"
                                          "<r:Uri> rtsp://127.0.0.1:554/replay/1 </r:Uri></r:GetReplayUriResponse>")
                                .body),
              std::optional<std::string>("rtsp://127.0.0.1:554/replay/1"));
    EXPECT_EQ(readSearchToken(test::okReply("<FindEventsResponse xmlns=\"http://www.onvif.org/ver10/search/wsdl\">"
                                            "<SearchToken>s-1</SearchToken></FindEventsResponse>")
                                  .body),
              std::optional<std::string>("s-1"));
}

TEST(RecordingRepliesTest, RecordingPageKeepsWhatHasATokenAndTimesAndCountsTheRest) {
    const auto page = readRecordingSearchResults(dataFile("recording_search_results.xml"), 100);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->state, SearchState::Searching);
    // No token; a time that is none; a span that ends before it starts.
    EXPECT_EQ(page->leftOut, 3u);
    ASSERT_EQ(page->items.size(), 2u);
    EXPECT_EQ(page->items[0].token, "REC-1");
    EXPECT_FALSE(page->items[0].growing());
    // Without its own times, a recording spans its tracks.
    EXPECT_EQ(page->items[1].token, "REC-4");
    EXPECT_EQ(page->items[1].span, (TimeSpan{1709247600000, 1709249400500}));
}

TEST(RecordingRepliesTest, EventPageReadsKindStateAndTime) {
    const auto page = readEventSearchResults(dataFile("event_search_results.xml"), 100);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->state, SearchState::Completed);
    EXPECT_EQ(page->leftOut, 1u); // no time anywhere
    ASSERT_EQ(page->items.size(), 4u);
    const RecordedEvent& motion = page->items[0];
    EXPECT_EQ(motion.timeMs, 1709244300040);
    EXPECT_EQ(motion.kind, RecordedEventKind::Motion);
    EXPECT_EQ(motion.state, std::optional<bool>(true));
    EXPECT_EQ(motion.recordingToken, "REC-1");
    EXPECT_EQ(motion.trackToken, "META001");
    EXPECT_EQ(motion.topic, "tns1:VideoSource/MotionAlarm");
    ASSERT_EQ(motion.source.size(), 1u);
    EXPECT_EQ(motion.source[0].value, "VideoSource_1");
    const RecordedEvent& input = page->items[1]; // its time from its message
    EXPECT_EQ(input.timeMs, 1709245200000);
    EXPECT_EQ(input.kind, RecordedEventKind::Input);
    EXPECT_EQ(input.state, std::optional<bool>(false));
    EXPECT_TRUE(input.startState);
    EXPECT_EQ(page->items[2].kind, RecordedEventKind::DataPresence);
    EXPECT_EQ(page->items[2].state, std::optional<bool>(false));
    EXPECT_EQ(page->items[3].kind, RecordedEventKind::Other);
    EXPECT_EQ(page->items[3].state, std::nullopt);
}

TEST(RecordingRepliesTest, HugePageIsReadOnlyUpToItsBound) {
    std::string results;
    for (int i = 0; i < 5000; ++i) {
        results += "<tt:Result><tt:RecordingToken>R</tt:RecordingToken><tt:Time>2024-02-29T22:00:00Z</tt:Time>"
                   "<tt:Event/></tt:Result>";
    }
    const SoapReply reply =
        test::okReply("<tse:GetEventSearchResultsResponse xmlns:tse=\"http://www.onvif.org/ver10/search/wsdl\" "
                      "xmlns:tt=\"http://www.onvif.org/ver10/schema\"><tse:ResultList>" +
                      results + "</tse:ResultList></tse:GetEventSearchResultsResponse>");
    const auto page = readEventSearchResults(reply.body, 100);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->items.size(), 100u);
    EXPECT_EQ(page->leftOut, 4900u);
    EXPECT_EQ(page->state, SearchState::Unknown); // no state told
}

TEST(RecordingRepliesTest, TimesAreReadToTheMillisecond) {
    const long long base = 1709280000000; // 2024-03-01T08:00:00Z
    const std::pair<const char*, std::optional<long long>> cases[] = {
        {"2024-03-01T08:00:00.1Z", base + 100},      {"2024-03-01T08:00:00.125Z", base + 125},
        {"2024-03-01T08:00:00.1259Z", base + 125},   {"2024-03-01T09:00:00.5+01:00", base + 500},
        {"2024-03-01T08:00:00.Z", std::nullopt},     {"2024-02-30T08:00:00.5Z", std::nullopt},
        {"2024-02-29T08:00:00Z", base - 86400000LL},
    };
    for (const auto& [text, ms] : cases) EXPECT_EQ(parseDateTimeMs(text), ms) << text;
    // Written back to the millisecond, also before 1970.
    EXPECT_EQ(formatDateTimeMs(base + 125), "2024-03-01T08:00:00.125Z");
    EXPECT_EQ(formatDateTimeMs(-1), "1969-12-31T23:59:59.999Z");
}

// Whatever arrives, the readers answer "nothing" and never crash.
TEST(RecordingRepliesTest, MalformedOrHostileRepliesGiveNothing) {
    const std::string good = dataFile("recording_information.xml");
    const std::vector<std::string> bad = {
        "",
        "not xml at all",
        good.substr(0, good.size() / 2),
        dataFile("entity_expansion.xml"),
        "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body/></s:Envelope>",
        test::okReply("<GetRecordingSummaryResponse><Summary><DataFrom>2024-02-29T00:00:00Z</DataFrom><DataUntil>"
                      "2024-02-28T00:00:00Z</DataUntil><NumberRecordings>3</NumberRecordings></Summary>"
                      "</GetRecordingSummaryResponse>")
            .body,
        test::okReply("<GetRecordingSummaryResponse><Summary><DataFrom>2024-02-28T00:00:00Z</DataFrom><DataUntil>"
                      "2024-02-29T00:00:00Z</DataUntil><NumberRecordings>-3</NumberRecordings></Summary>"
                      "</GetRecordingSummaryResponse>")
            .body,
        std::string(1000, '<'),
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(readRecordingSummary(text).has_value()) << text.substr(0, 60);
        EXPECT_FALSE(readRecordingInformation(text).has_value());
        EXPECT_FALSE(readRecordingSearchResults(text, 10).has_value());
        EXPECT_FALSE(readEventSearchResults(text, 10).has_value());
        EXPECT_FALSE(readSearchToken(text).has_value());
        EXPECT_FALSE(readReplayUri(text).has_value());
        EXPECT_FALSE(readReplayCapabilities(text).has_value());
    }
}

} // namespace
} // namespace onvif
