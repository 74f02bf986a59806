// What the client reads out of the services' replies. Each reader takes the
// reply text and gives the values, or nothing when the reply does not hold
// them; element names are matched whatever their prefixes.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace onvif {

// A SOAP fault: code, first subcode ("ter:NotAuthorized") and reason.
struct Fault {
    std::string code;
    std::string subcode;
    std::string reason;
    bool notAuthorized() const;
};
std::optional<Fault> readFault(const std::string& reply);

// The camera's UTC clock.
std::optional<std::time_t> readSystemDateAndTime(const std::string& reply);

// Service addresses, as the camera wrote them (empty when not offered).
struct ServiceAddresses {
    std::string device;
    std::string media;
    std::string ptz;
    std::string events;
    std::string deviceIo;
    std::string search; // recordings of an SD card
    std::string replay;
};
std::optional<ServiceAddresses> readCapabilities(const std::string& reply);
std::optional<ServiceAddresses> readServices(const std::string& reply);

struct Profile {
    std::string token;
    std::string name;
    std::string encoding; // "H264", "H265", "JPEG", "MPEG4", empty when none
    int width = 0;
    int height = 0;
    bool hasPtz = false;
    std::string videoSource; // the sensor it shows (the source token), empty when not told
    // It carries an AudioOutputConfiguration: its stream takes the audio
    // back channel (a camera may offer it on one profile only).
    bool hasAudioOutput = false;
};
std::optional<std::vector<Profile>> readProfiles(const std::string& reply);

// The profile to talk over while `shown` is shown: `shown` itself when it
// carries the speaker, else the first profile that does, else `shown`
// (whose stream then says why not).
const Profile& talkProfile(const std::vector<Profile>& profiles, const Profile& shown);

// The profile a channel names: channel N >= 1 is the N-th profile, channel 0
// the H.264/H.265 profile with the fewest pixels (the first profile when
// none has such a stream). Nothing when there is no such profile.
std::optional<Profile> chooseProfile(const std::vector<Profile>& profiles, int channel);

// A profile a viewer may switch between, with the channel that names it.
struct ChannelProfile {
    int channel = 0; // 1 for the first profile
    Profile profile;
};
// The H.264/H.265 profiles that show the same picture: those on the video
// source of the first one that names its source (a profile that names none
// counts as showing it), from the fewest pixels to the most. Empty when
// there is none.
std::vector<ChannelProfile> switchableProfiles(const std::vector<Profile>& profiles);

std::optional<std::string> readStreamUri(const std::string& reply);
std::optional<std::string> readSnapshotUri(const std::string& reply);

struct Preset {
    std::string token;
    std::string name;
};
std::optional<std::vector<Preset>> readPresets(const std::string& reply);
std::optional<std::string> readPresetToken(const std::string& reply);

// What a PTZ node offers for pointing (GetNodes: the first node).
struct PtzSpaces {
    bool fovPanTilt = false;      // RelativeMove in the field-of-view translation space
    std::string fovZoomSpace;     // a zoom translation space in field-of-view ratios; empty when none
    bool relativePanTilt = false; // RelativeMove in the generic translation space
    bool relativeZoom = false;
    bool absolute = false; // AbsoluteMove in the generic position spaces
    bool zoom = false;     // the node zooms at all
};
std::optional<PtzSpaces> readPtzSpaces(const std::string& reply);

// GetStatus: the position in the generic spaces and whether it moves.
struct PtzStatus {
    double pan = 0.0;
    double tilt = 0.0;
    double zoom = 0.0;
    bool moving = false;
};
std::optional<PtzStatus> readPtzStatus(const std::string& reply);

// Relay outputs' tokens, in the camera's order.
std::optional<std::vector<std::string>> readRelayOutputs(const std::string& reply);

// Audio outputs' (speakers') tokens, in the camera's order.
std::optional<std::vector<std::string>> readAudioOutputs(const std::string& reply);

// The address of a new pull-point subscription.
std::optional<std::string> readSubscriptionAddress(const std::string& reply);

// A subscription's termination time and the camera's current time as a
// CreatePullPointSubscription, Renew or PullMessages reply gives them, in
// UTC seconds. Nothing when the reply holds no readable termination time.
struct SubscriptionTimes {
    long long termination = 0;
    std::optional<long long> current;
};
std::optional<SubscriptionTimes> readSubscriptionTimes(const std::string& reply);

// An xsd:dateTime ("2024-03-01T08:00:00Z", with fractions of a second or an
// offset such as "+01:00") as UTC seconds; one without a zone is taken as UTC.
std::optional<long long> parseDateTime(const std::string& text);
// The same to the millisecond (further digits of the fraction are dropped).
std::optional<long long> parseDateTimeMs(const std::string& text);
// Milliseconds since 1970 as "2026-12-09T18:01:00.500Z".
std::string formatDateTimeMs(long long ms);

// One notification: its topic and the simple items of its source and data.
struct SimpleItem {
    std::string name;
    std::string value;
};
struct Notification {
    std::string topic;
    std::vector<SimpleItem> source;
    std::vector<SimpleItem> data;
};
std::optional<std::vector<Notification>> readNotifications(const std::string& reply);

} // namespace onvif
