#include "tavolin/camera_settings.h"

#include <climits>
#include <cstdint>
#include <string>

namespace tavolin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Texts the store hands back are never null; a missing store reads as "".
const char* orEmpty(const char* text) { return text ? text : ""; }

template <std::size_t N>
void textOrDefault(char (&field)[N], const char* value, std::string_view fallback) {
    setText(field, *value ? std::string_view(value) : fallback);
}

uint32_t portOrDefault(const char* value, uint32_t fallback) {
    return *value ? static_cast<uint32_t>(parseDecimal(value)) : fallback;
}

uint8_t flag(const char* value) { return parseDecimal(value) == 1 ? 1 : 0; }

int32_t nonZeroOr(int32_t number, int32_t fallback) { return number == 0 ? fallback : number; }

std::string decimal(int32_t n) { return std::to_string(n); }
std::string decimal(uint32_t n) { return std::to_string(static_cast<int32_t>(n)); } // "%d" form
std::string flagText(uint8_t f) { return f ? "1" : "0"; }
template <std::size_t N>
std::string text(const char (&field)[N]) {
    return std::string(textOf(field));
}

// A text too long for one line goes on under `moreKey`, which is always
// written (empty when not needed) so a shorter text never picks up an older
// continuation.
void addSplit(KeyValues& values, const char* key, const char* moreKey, const std::string& whole) {
    const std::size_t firstLine = kMaxSettingsLine - std::string_view(key).size() - 1;
    values.emplace_back(key, whole.substr(0, firstLine));
    values.emplace_back(moreKey, whole.size() > firstLine ? whole.substr(firstLine) : "");
}

} // namespace

bool fitsSettingsLine(std::string_view key, std::string_view value) {
    return key.size() + 1 + value.size() <= kMaxSettingsLine && value.find_first_of("\r\n") == std::string_view::npos;
}

int32_t parseDecimal(const char* text) {
    if (text == nullptr) return 0;
    while (isBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t n = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (n <= int64_t{INT32_MAX} + 1) n = n * 10 + (*text - '0');
    }
    if (negative) n = -n;
    if (n > INT32_MAX) return INT32_MAX;
    if (n < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(n);
}

CameraRecord recordFromValues(int index, const ValueLookup& lookup) {
    auto value = [&](const char* key) { return orEmpty(lookup(key)); };
    CameraRecord r{};
    r.index = index;
    textOrDefault(r.name, value("CameraName"), "Camera - " + std::to_string(index + 1));
    const char* storedHost = value("CameraIP");
    const std::string host = *storedHost ? storedHost : "192.168.0.100";
    r.channel = 0;
    r.registerPort = portOrDefault(value("RegisterPort"), 6000);
    r.controlPort = portOrDefault(value("ControlPort"), 6001);
    r.streamingPort = portOrDefault(value("StreamingPort"), 6002);
    r.httpPort = portOrDefault(value("HTTPPort"), 80);
    textOrDefault(r.userName, value("CameraUserName"), "Admin");
    textOrDefault(r.password, value("CameraPassword"), "604217");
    r.useStreamingEngine = flag(value("UseStreamingEngine"));
    setText(r.streamingEngineHost, value("StreamingEngineIP"));
    setText(r.streamingEngineUser, value("StreamingEngineUserName"));
    setText(r.streamingEnginePassword, value("StreamingEnginePassword"));
    r.ptzEnabled = flag(value("EnablePTZ"));
    r.ptzSourceType = static_cast<uint32_t>(parseDecimal(value("PTZProtocolSourceType")));
    setText(r.ptzVendor, value("PTZVender"));
    setText(r.ptzProtocol, value("PTZProtocol"));
    setText(r.ptzProtocolFile, value(kPtzProtocolFileKey));
    r.inSwitchGroup = flag(value("JoinPatorlGroup"));
    r.playAudio = flag(value("PlayAudio"));
    r.quadServer = flag(value("Qaud"));
    r.showName = flag(value("ShowCameraName"));
    r.showEvents = flag(value("ShowEvent"));
    r.serialControl = parseDecimal(value("SerialControl"));
    r.serialBaudRate = parseDecimal(value("SerialBaudRate"));
    r.ptzAddress = nonZeroOr(parseDecimal(value("PTZAddressID")), 1);
    r.streamingType = nonZeroOr(parseDecimal(value("StreamingType")), 2);
    r.ptzSpeed = nonZeroOr(parseDecimal(value("PTZSpeed")), 3);
    setText(r.host, streamsOverRtsp(r.streamingType) ? host + value(kHostMoreKey) : host);
    limitHost(r);
    const char* reconnect = value("AutoReconnect");
    r.autoReconnect = *reconnect ? flag(reconnect) : static_cast<uint8_t>(reconnectsByDefault(r.streamingType));
    r.keepAspect = flag(value("KeepAspect"));
    // Kept whatever the type, as the form keeps fields a type does not use.
    setText(r.subStreamUrl, std::string(value(kSubStreamKey)) + value(kSubStreamMoreKey));
    setText(r.ptzCalibration, value(kPtzCalibrationKey));
    return r;
}

KeyValues valuesForSave(CameraRecord& r) {
    r.ptzAddress = nonZeroOr(r.ptzAddress, 1);
    r.streamingType = nonZeroOr(r.streamingType, 2);
    r.ptzSpeed = nonZeroOr(r.ptzSpeed, 3);
    limitHost(r);
    const std::string host = text(r.host);
    const std::size_t firstLine = kMaxSettingsLine - std::string_view("CameraIP=").size();
    KeyValues values{
        {"CameraName", text(r.name)},
        {"CameraIP", host.substr(0, firstLine)},
        {"RegisterPort", decimal(r.registerPort)},
        {"ControlPort", decimal(r.controlPort)},
        {"StreamingPort", decimal(r.streamingPort)},
        {"HTTPPort", decimal(r.httpPort)},
        {"CameraUserName", text(r.userName)},
        {"CameraPassword", text(r.password)},
        {"UseStreamingEngine", flagText(r.useStreamingEngine)},
        {"StreamingEngineIP", text(r.streamingEngineHost)},
        {"StreamingEngineUserName", text(r.streamingEngineUser)},
        {"StreamingEnginePassword", text(r.streamingEnginePassword)},
        {"EnablePTZ", flagText(r.ptzEnabled)},
        {"PTZProtocolSourceType", decimal(r.ptzSourceType)},
        {"PTZVender", text(r.ptzVendor)},
        {"PTZProtocol", text(r.ptzProtocol)},
        {kPtzProtocolFileKey, text(r.ptzProtocolFile)},
        {"JoinPatorlGroup", flagText(r.inSwitchGroup)},
        {"PlayAudio", flagText(r.playAudio)},
        {"Qaud", flagText(r.quadServer)},
        {"ShowCameraName", flagText(r.showName)},
        {"ShowEvent", flagText(r.showEvents)},
        {"SerialControl", decimal(r.serialControl)},
        {"SerialBaudRate", decimal(r.serialBaudRate)},
        {"PTZAddressID", decimal(r.ptzAddress)},
        {"StreamingType", decimal(r.streamingType)},
        {"PTZSpeed", decimal(r.ptzSpeed)},
        {"AutoReconnect", flagText(r.autoReconnect)},
        {"KeepAspect", flagText(r.keepAspect)},
    };
    if (streamsOverRtsp(r.streamingType))
        values.emplace_back(kHostMoreKey, host.size() > firstLine ? host.substr(firstLine) : "");
    if (r.streamingType == transport::kRtspStreamingType)
        addSplit(values, kSubStreamKey, kSubStreamMoreKey, text(r.subStreamUrl));
    if (const std::string calibration = text(r.ptzCalibration); !calibration.empty())
        values.emplace_back(kPtzCalibrationKey, calibration);
    return values;
}

} // namespace tavolin
