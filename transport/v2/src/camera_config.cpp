#include "camera_config.h"

#include <climits>
#include <cstring>

namespace fenwa20 {

namespace {

constexpr std::size_t kVideoAnswerLimit = 511;
constexpr std::size_t kMotionAnswerLimit = 1023;

std::string prefix(const QueryIdentity& who) {
    std::string q = who.base + "mpeg4?USER=" + who.user + "&PWD=" + who.password;
    if (who.channel != 0) q += "&CHANNEL=" + std::to_string(who.channel);
    return q;
}

std::string num(int32_t v) { return std::to_string(v); }

// Leading decimal number in the manner of atoi (blanks, sign, digits),
// clamped instead of overflowing.
int32_t leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > INT32_MAX) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value after "KEY=": it starts behind the opening quote and ends before
// the next quote or at the end of the text.
std::string_view quotedValue(std::string_view text, std::size_t afterEquals) {
    const std::size_t start = afterEquals + 1;
    if (start >= text.size()) return {};
    const std::size_t end = text.find('\'', start);
    return text.substr(start, (end == std::string_view::npos ? text.size() : end) - start);
}

int32_t bitRateCode(std::string_view value) {
    static constexpr const char* kOrder[] = {"3M",   "2.5M", "2M",   "1.5M", "1.2M", "1M", "750K",
                                             "500K", "384K", "256K", "128K", "56K",  "28K"};
    for (int i = 0; i < 13; ++i) {
        if (value.starts_with(kOrder[i])) return 12 - i;
    }
    return 7;
}

void applyResolution(std::string_view value, VideoConfig& config) {
    static constexpr struct {
        const char* text;
        int32_t standard;
        int32_t code;
    } kOrder[] = {
        {"N720x480", 0, 0}, {"N352x240", 0, 1}, {"N160x112", 0, 2},  {"P720x576", 1, 3},   {"P352x288", 1, 4},
        {"P176x144", 1, 5}, {"N176x120", 0, 6}, {"N640x480", 0, 64}, {"P640x480", 1, 192},
    };
    for (const auto& r : kOrder) {
        if (value.substr(0, 8) == r.text) {
            config.videoStandard = r.standard;
            config.resolutionCode = r.code;
            return;
        }
    }
    config.videoStandard = 1;
    config.resolutionCode = 3;
}

// MOTION_ENABLED='0x01': four characters behind the quote, read as hex with
// an optional 0x prefix.
int32_t motionEnabledValue(std::string_view text, std::size_t afterEquals) {
    std::size_t pos = afterEquals;
    if (pos < text.size() && text[pos] == '\'') ++pos;
    std::string_view digits = text.substr(pos < text.size() ? pos : text.size(), 4);
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
    int32_t value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) break;
        value = value * 16 + d;
    }
    return value;
}

// Six numbers, each ended by a comma or a line feed: region r, its four
// window values, its fifth value. Regions outside 1..3 are not stored.
void applyMotionStatus(std::string_view text, std::size_t pos, MotionInfo& info) {
    if (pos < text.size() && text[pos] == '\'') ++pos;
    int32_t numbers[6] = {};
    for (int i = 0; i < 6; ++i) {
        if (pos >= text.size()) return;
        numbers[i] = leadingNumber(text.substr(pos));
        const std::size_t end = text.find_first_of(",\n", pos);
        if (end == std::string_view::npos) {
            if (i < 5) return;
            pos = text.size();
        } else {
            pos = end + 1;
        }
    }
    const int32_t region = numbers[0];
    if (region < 1 || region > 3) return;
    for (int k = 0; k < 4; ++k) info.window[region - 1][k] = numbers[1 + k];
    info.fifth[region - 1] = numbers[5];
}

} // namespace

const char* resolutionText(int32_t code) {
    switch (code) {
    case 1: return "N352x240";
    case 2: return "N160x112";
    case 3: return "P720x576";
    case 4: return "P352x288";
    case 5: return "P176x144";
    case 6: return "N176x120";
    case 64: return "N640x480";
    case 192: return "P640x480";
    default: return "N720x480";
    }
}

std::string videoSetQuery(const QueryIdentity& who, const VideoConfig& c) {
    return prefix(who) + "&VIDEO_BITRATE=" + num(c.bitRateCode) +
           "&VIDEO_RESOLUTION=" + resolutionText(c.resolutionCode) + "&VIDEO_FPS_NUM=" + num(c.frameRate) +
           "&VIDEO_BRIGHTNESS=" + num(c.brightness) + "&VIDEO_CONTRAST=" + num(c.contrast) +
           "&VIDEO_HUE=" + num(c.hue) + "&VIDEO_SATURATION=" + num(c.saturation);
}

std::string videoGetQuery(const QueryIdentity& who) {
    return prefix(who) +
           "&VIDEO_BITRATE&VIDEO_RESOLUTION&VIDEO_FPS_NUM&VIDEO_BRIGHTNESS&VIDEO_CONTRAST&VIDEO_HUE&VIDEO_SATURATION";
}

std::optional<std::string> motionSetQuery(const QueryIdentity& who, const MotionInfo& info) {
    if (info.regionCount < 1 || info.regionCount > 3) return std::nullopt;
    std::string q = prefix(who) + "&MOTION_ENABLED=" + (info.enabled == 1 ? "1" : "0");
    for (int r = 0; r < info.regionCount; ++r) {
        q += "&MOTION_SETTING=" + num(r + 1);
        for (int k = 0; k < 4; ++k) q += "," + num(info.window[r][k]);
        q += "," + num(info.fifth[r]);
    }
    return q;
}

std::string motionGetQuery(const QueryIdentity& who) { return prefix(who) + "&MOTION_ENABLED&MOTION_STATUS"; }

std::optional<std::string_view> serialFormatText(uint8_t code) {
    switch (code) {
    case 0: return "8N1";
    case 8: return "8O1";
    case 24: return "8E1";
    default: return std::nullopt;
    }
}

int serialBaudRate(uint8_t index) {
    static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    return index < 9 ? kRates[index] : 0;
}

std::optional<std::string> serialSettingUrl(std::string_view host, int32_t httpPort, std::string_view user,
                                            std::string_view password, uint8_t format, uint8_t baudIndex) {
    const auto text = serialFormatText(format);
    if (!text) return std::nullopt;
    std::string url = "http://";
    url.append(host);
    url += ":" + num(httpPort) + "/cgi-bin/mpeg4?USER=";
    url.append(user);
    url += "&PWD=";
    url.append(password);
    url += "&SERIAL_SETTING=";
    url.append(*text);
    url += "," + std::to_string(serialBaudRate(baudIndex));
    return url;
}

void parseVideoAnswer(std::string_view answer, VideoConfig& stored) {
    const std::string_view text = answer.substr(0, kVideoAnswerLimit);
    enum Key { Bitrate, Resolution, Fps, Brightness, Contrast, Hue, Saturation };
    static constexpr std::string_view kKeys[] = {
        "VIDEO_BITRATE=",  "VIDEO_RESOLUTION=", "VIDEO_FPS_NUM=",   "VIDEO_BRIGHTNESS=",
        "VIDEO_CONTRAST=", "VIDEO_HUE=",        "VIDEO_SATURATION="};
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool matched = false;
        for (int k = Bitrate; k <= Saturation; ++k) {
            if (text.compare(pos, kKeys[k].size(), kKeys[k]) != 0) continue;
            matched = true;
            pos += kKeys[k].size();
            const std::string_view value = quotedValue(text, pos);
            switch (k) {
            case Bitrate: stored.bitRateCode = bitRateCode(value); break;
            case Resolution: applyResolution(value, stored); break;
            case Fps: stored.frameRate = leadingNumber(value); break;
            case Brightness: stored.brightness = leadingNumber(value); break;
            case Contrast: stored.contrast = leadingNumber(value); break;
            case Hue: stored.hue = leadingNumber(value); break;
            case Saturation: stored.saturation = leadingNumber(value); break;
            }
        }
        // Right behind a key its value starts, where another key may follow.
        if (!matched) ++pos;
    }
}

MotionInfo parseMotionAnswer(std::string_view answer) {
    const std::string_view text = answer.substr(0, kMotionAnswerLimit);
    static constexpr std::string_view kEnabled = "MOTION_ENABLED=";
    static constexpr std::string_view kStatus = "MOTION_STATUS=";
    MotionInfo info{};
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool matched = false;
        if (text.compare(pos, kEnabled.size(), kEnabled) == 0) {
            matched = true;
            pos += kEnabled.size();
            info.enabled = motionEnabledValue(text, pos);
        }
        if (text.compare(pos, kStatus.size(), kStatus) == 0) {
            matched = true;
            pos += kStatus.size();
            ++info.regionCount;
            applyMotionStatus(text, pos, info);
        }
        if (!matched) ++pos;
    }
    return info;
}

} // namespace fenwa20
