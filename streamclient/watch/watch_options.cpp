#include "watch_options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include <corvel/camera_url.h>
#include <onvif/replies.h>
#include <ledra/config_store.h>
#include <transport/streaming_types.h>

#include "password_source.h"

namespace watch {

namespace {

void copyText(char* field, std::size_t width, const std::string& text) {
    // Cut to the field and always terminated (memcpy: strncpy trips a
    // truncation warning at -O2 with sanitizers).
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

// HOST[:PORT] of an ONVIF camera's device service (port 80 when none).
bool takeOnvifAddress(const std::string& text, MediaConfig& c, std::string& error) {
    const std::size_t colon = text.rfind(':');
    const std::string host = text.substr(0, colon);
    int port = 80;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        char* end = nullptr;
        const long v = std::strtol(digits.c_str(), &end, 10);
        if (digits.empty() || *end != '\0' || v < 1 || v > 65535) {
            error = "--onvif needs HOST[:PORT] with a port from 1 to 65535";
            return false;
        }
        port = static_cast<int>(v);
    }
    if (host.empty() || host.size() >= sizeof c.cameraAddress) {
        error = "--onvif needs a host";
        return false;
    }
    copyText(c.cameraAddress, sizeof c.cameraAddress, host);
    c.httpPort = port;
    return true;
}

// An RTSP URL goes into the address field without its credentials (the
// address is printed); these go to the user and password fields. A password
// may hold '/' and '@' as typed: the URL is split at its last '@'.
bool takeRtspUrl(const std::string& url, MediaConfig& c, std::string& error) {
    const corvel::RtspUrlParts parts = corvel::splitRtspUrl(url);
    if (!parts.ok) {
        error = "--url needs an rtsp:// URL: " + parts.reason;
        return false;
    }
    if (parts.hasUserInfo) {
        copyText(c.userName, sizeof c.userName, parts.user);
        copyText(c.password, sizeof c.password, parts.password);
    }
    const std::string address = corvel::joinRtspUrl(parts.host, parts.port, parts.pathAndQuery);
    if (address.size() >= sizeof c.cameraAddress) {
        error = "--url is longer than " + std::to_string(sizeof c.cameraAddress - 1) + " bytes";
        return false;
    }
    copyText(c.cameraAddress, sizeof c.cameraAddress, address);
    return true;
}

bool toInt(const char* text, int& out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < -2147483647L || v > 2147483647L) return false;
    out = static_cast<int>(v);
    return true;
}

void setViewerDefaults(MediaConfig& c) {
    std::memset(&c, 0, sizeof c);
    c.connectionType = 2; // control and video, as the viewer connects
    copyText(c.cameraAddress, 16, "127.0.0.1");
    copyText(c.userName, sizeof c.userName, "Admin");
    copyText(c.password, sizeof c.password, "604217");
    c.registerPort = 6000;
    c.controlPort = 6001;
    c.streamingPort = 6002;
    c.httpPort = 80;
    c.connectTimeoutSeconds = 3;
}

} // namespace

namespace {

// Comma-separated shares 0..1, exactly `count` of them.
bool readShares(const std::string& text, double* out, std::size_t count) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = i + 1 < count ? text.find(',', start) : text.size();
        if (end == std::string::npos) return false;
        const std::string item = text.substr(start, end - start);
        char* stop = nullptr;
        out[i] = std::strtod(item.c_str(), &stop);
        if (item.empty() || *stop != '\0' || !(out[i] >= 0.0 && out[i] <= 1.0)) return false;
        start = end + 1;
    }
    return true;
}

bool checkReplayOptions(const Options& o, bool preRollGiven, std::string& error) {
    if ((o.fromMs || o.toMs) && !o.listRecordings) {
        error = "--from and --to go with --recordings";
        return false;
    }
    if (o.fromMs && o.toMs && *o.toMs < *o.fromMs) {
        error = "--to must not be before --from";
        return false;
    }
    if (!o.replaying()) return true;
    if (o.streamingType != transport::kOnvifStreamingType) {
        error = "--recordings and --replay need an ONVIF camera (--onvif HOST[:PORT])";
        return false;
    }
    if (o.listRecordings && o.replayMs) {
        error = "--recordings and --replay go one at a time";
        return false;
    }
    if (o.replayMs && o.recordPath.empty() && o.snapshotPath.empty()) {
        error = "--replay needs --record FILE.mkv or --snapshot FILE.jpg";
        return false;
    }
    if (o.replayMs && !o.recordPath.empty() && o.seconds <= 0) {
        error = "--replay with --record needs --seconds N";
        return false;
    }
    if (preRollGiven || o.pointing() || !o.talkPath.empty() || (o.listRecordings && !o.recordPath.empty()) ||
        (o.listRecordings && !o.snapshotPath.empty())) {
        error = "--recordings and --replay go without --pre-roll, pointing and --talk";
        return false;
    }
    return true;
}

} // namespace

const char* usageText() {
    return "usage: tavolin-watch [--seconds N] [--image FILE.ppm] [--audio] [--verbose]\n"
           "                     [--type 1|2] [--address A] [--user U]\n"
           "                     [--password-file FILE | --password - | --password P]\n"
           "                     [--register-port N] [--control-port N] [--streaming-port N]\n"
           "                     [--http-port N] [--channel N]\n"
           "                     [--onvif HOST[:PORT]] [--find]\n"
           "                     [--url rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH]\n"
           "                     [--settings FILE --camera 0..15] [--talk FILE.wav]\n"
           "                     [--snapshot FILE.jpg | --record FILE.mkv [--pre-roll S]]\n"
           "                     [--centre X,Y | --zoom-box X0,Y0,X1,Y1] [--calibrate]\n"
           "                     [--recordings [--from T] [--to T]]\n"
           "                     [--replay T (--seconds N --record FILE.mkv | --snapshot FILE.jpg)]\n"
           "                     [--calibration LINE] [--ptz FILE.ptz] [--ptz-address N] [--latency]\n"
           "Watches one camera headless and prints once a second what it shows.\n"
           "Without a camera it starts a simulated camera on 127.0.0.1 and watches that.\n"
           "--onvif watches an ONVIF camera (streaming type 5) by its device service's\n"
           "host and port; --find lists the ONVIF cameras that answer a discovery probe.\n"
           "Passwords: --password-file takes the first line of a file only you may read;\n"
           "--password - asks on the terminal, as does a --user (or a user in --url) given\n"
           "without a password for an RTSP or ONVIF camera. A password on the command line\n"
           "shows in the process list until the program has read it.\n"
           "--snapshot writes the camera's picture at its full size as a JPEG file.\n"
           "--record watches S seconds (10 by default) into the pre-roll buffer, then\n"
           "records a clip that starts with them and goes on for --seconds (0: until\n"
           "Ctrl-C; Ctrl-C during the pre-roll keeps what it holds): the camera's\n"
           "stream copied into Matroska, without decoding it.\n"
           "Neither replaces a file that is there: the name gets a suffix. Given a\n"
           "folder (ending in /), they name files after the camera and the time.\n"

           "--recordings lists an ONVIF camera's own recordings (its SD card's) and the\n"
           "events recorded with them, one a line; --from and --to bound the span.\n"
           "--replay T with --record saves --seconds of the camera's recording from T as a\n"
           "Matroska clip without re-encoding it; with --snapshot it writes the picture\n"
           "recorded at T as a JPEG file. Times T are ISO 8601 in UTC:\n"
           "2026-12-09T03:00:00Z (fractions of a second and +HH:MM offsets are taken).\n"
           "--talk sends a WAV file to an ONVIF camera's speaker over its audio back\n"
           "channel, in real time, and says in one line why not when the camera refuses.\n"
           "The file is read as it is sent, so it may be long or a named pipe that is\n"
           "written to meanwhile (waited on for 10 s).\n"
           "--centre turns a PTZ camera so that the point X,Y of its picture (shares 0..1\n"
           "from the top left) comes to the middle; --zoom-box also zooms until the box\n"
           "fills the picture. Both print where the point landed. A camera without the\n"
           "field-of-view space needs a calibration measured from its picture: --calibrate\n"
           "measures and prints one (the settings file keeps it as PTZCalibration),\n"
           "--calibration or the camera's settings section hands one over. PTZ runs\n"
           "through --ptz FILE.ptz (ONVIF.ptz for ONVIF cameras) at --ptz-address.\n"
           "--latency prints how old the pictures are when decoded (median, 95th\n"
           "percentile) each second and for the whole run, from the capture time a\n"
           "camera draws into them (tavolin-camsim --time-strip); pictures are then\n"
           "decoded at the stream's own size.\n";
}

bool parseArguments(int argc, char** argv, Options& options, std::string& error) {
    setViewerDefaults(options.config);
    std::string settingsPath;
    int camera = -1;
    bool userGiven = false;
    bool passwordGiven = false;
    int preRoll = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](int& out) {
            if (!toInt(value, out)) {
                error = std::string(arg) + " needs a number";
                return false;
            }
            ++i;
            return true;
        };
        auto text = [&](std::string& out) {
            if (value == nullptr) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            out = value;
            ++i;
            return true;
        };
        // An empty name would read as the option left out.
        auto name = [&](std::string& out, const char* what) {
            if (!text(out)) return false;
            if (!out.empty()) return true;
            error = std::string(arg) + " needs " + what + ", not an empty one";
            return false;
        };
        int n = 0;
        std::string s;
        if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
        } else if (arg == "--seconds") {
            if (!number(options.seconds)) return false;
        } else if (arg == "--image") {
            if (!name(options.imagePath, "a file name")) return false;
        } else if (arg == "--latency") {
            options.latency = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--audio") {
            options.playAudio = true;
        } else if (arg == "--type") {
            if (!number(options.streamingType)) return false;
        } else if (arg == "--address") {
            if (!text(s)) return false;
            copyText(options.config.cameraAddress, 16, s);
            options.cameraGiven = true;
        } else if (arg == "--onvif") {
            if (!text(s)) return false;
            if (!takeOnvifAddress(s, options.config, error)) return false;
            options.streamingType = transport::kOnvifStreamingType;
            options.cameraGiven = true;
        } else if (arg == "--find") {
            options.find = true;
        } else if (arg == "--url") {
            if (!text(s)) return false;
            if (!takeRtspUrl(s, options.config, error)) return false;
            // The address kept is the URL without its user and password.
            overwriteArgument(argv[i], options.config.cameraAddress);
            options.streamingType = transport::kRtspStreamingType;
            options.cameraGiven = true;
            if (const corvel::RtspUrlParts parts = corvel::splitRtspUrl(s); parts.hasUserInfo) {
                userGiven = true;
                passwordGiven = passwordGiven || !parts.password.empty();
            }
        } else if (arg == "--user") {
            if (!text(s)) return false;
            copyText(options.config.userName, sizeof options.config.userName, s);
            userGiven = true;
        } else if (arg == "--password") {
            if (!text(s)) return false;
            if (s == "-") {
                options.askPassword = true;
            } else {
                copyText(options.config.password, sizeof options.config.password, s);
                overwriteArgument(argv[i]);
            }
            passwordGiven = true;
        } else if (arg == "--password-file") {
            if (!text(options.passwordFile)) return false;
            passwordGiven = true;
        } else if (arg == "--register-port") {
            if (!number(n)) return false;
            options.config.registerPort = n;
        } else if (arg == "--control-port") {
            if (!number(n)) return false;
            options.config.controlPort = n;
        } else if (arg == "--streaming-port") {
            if (!number(n)) return false;
            options.config.streamingPort = n;
        } else if (arg == "--http-port") {
            if (!number(n)) return false;
            options.config.httpPort = n;
        } else if (arg == "--channel") {
            if (!number(n)) return false;
            options.config.channel = n;
        } else if (arg == "--snapshot") {
            if (!name(options.snapshotPath, "a file or folder name")) return false;
        } else if (arg == "--record") {
            if (!name(options.recordPath, "a file or folder name")) return false;
        } else if (arg == "--pre-roll") {
            if (!number(preRoll) || preRoll < 0) {
                error = "--pre-roll needs a number of seconds, 0 or more";
                return false;
            }
        } else if (arg == "--talk") {
            if (!name(options.talkPath, "a WAV file name")) return false;
        } else if (arg == "--centre" || arg == "--center") {
            std::array<double, 2> point{};
            if (!text(s) || !readShares(s, point.data(), point.size())) {
                error = "--centre needs X,Y: shares 0..1 of the picture";
                return false;
            }
            options.centre = point;
        } else if (arg == "--zoom-box") {
            std::array<double, 4> box{};
            if (!text(s) || !readShares(s, box.data(), box.size()) || box[0] == box[2] || box[1] == box[3]) {
                error = "--zoom-box needs X0,Y0,X1,Y1: two corners, shares 0..1 of the picture";
                return false;
            }
            options.zoomBox = box;
        } else if (arg == "--calibrate") {
            options.calibrate = true;
        } else if (arg == "--calibration") {
            if (!text(options.calibration)) return false;
        } else if (arg == "--ptz") {
            if (!text(options.ptzFile)) return false;
        } else if (arg == "--ptz-address") {
            if (!number(options.ptzAddress)) return false;
        } else if (arg == "--recordings") {
            options.listRecordings = true;
        } else if (arg == "--from" || arg == "--to" || arg == "--replay") {
            if (!text(s)) return false;
            const std::optional<long long> ms = onvif::parseDateTimeMs(s);
            if (!ms) {
                error = std::string(arg) + " needs an ISO 8601 time such as 2026-12-09T03:00:00Z";
                return false;
            }
            (arg == "--from" ? options.fromMs : arg == "--to" ? options.toMs : options.replayMs) = *ms;
        } else if (arg == "--settings") {
            if (!text(settingsPath)) return false;
        } else if (arg == "--camera") {
            if (!number(camera)) return false;
        } else {
            error = "unknown option " + std::string(arg);
            return false;
        }
    }
    if (options.seconds < 0) {
        error = "--seconds must not be negative";
        return false;
    }
    if (!options.snapshotPath.empty() && !options.recordPath.empty()) {
        error = "--snapshot and --record go one at a time";
        return false;
    }
    if (preRoll >= 0 && options.recordPath.empty()) {
        error = "--pre-roll goes with --record";
        return false;
    }
    if (!settingsPath.empty() || camera >= 0) {
        if (settingsPath.empty() || camera < 0 || camera > 15) {
            error = "--settings FILE and --camera 0..15 go together";
            return false;
        }
        if (!loadCameraSection(settingsPath, camera, options, error)) return false;
        options.cameraGiven = true;
        passwordGiven = true; // the record's, or the viewer's default
    }
    if (preRoll >= 0) options.capture.preRollSeconds = preRoll;
    if (!checkReplayOptions(options, preRoll >= 0, error)) return false;
    if (options.centre && options.zoomBox) {
        error = "--centre and --zoom-box go one at a time";
        return false;
    }
    if (options.pointing() && (!options.snapshotPath.empty() || !options.recordPath.empty())) {
        error = "pointing goes without --snapshot and --record";
        return false;
    }
    if (!options.talkPath.empty() && transport::audioOutOf(options.streamingType) != transport::AudioOut::BackChannel) {
        error = "--talk needs an ONVIF camera (--onvif, or streaming type 5 in the settings)";
        return false;
    }
    options.passwordWanted = userGiven && !passwordGiven && transport::streamsOverRtsp(options.streamingType);
    return true;
}

bool takePassword(Options& options, std::string& error) {
    MediaConfig& c = options.config;
    const std::size_t limit = sizeof c.password - 1;
    std::string password;
    if (!options.passwordFile.empty()) {
        if (!readPasswordFile(options.passwordFile, limit, password, error)) return false;
    } else if (options.askPassword || (options.passwordWanted && canPrompt())) {
        const std::string prompt = "Password for " + std::string(c.userName) + " at " + c.cameraAddress + ": ";
        if (!promptPassword(prompt, limit, password, error)) return false;
    } else {
        return true;
    }
    copyText(c.password, sizeof c.password, password);
    return true;
}

bool loadCameraSection(const std::string& path, int camera, Options& options, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "no settings file " + path;
        return false;
    }
    CM_Store* store = CM_OpenInterface();
    if (store == nullptr) {
        error = "cannot open the settings store";
        return false;
    }
    const std::string section = std::to_string(camera);
    auto get = [&](const char* key) { return std::string(CM_GetValue(store, key, section.c_str(), path.c_str())); };
    auto port = [&](const char* key, int32_t fallback) {
        const std::string v = get(key);
        if (v.empty()) return fallback;
        return static_cast<int32_t>(std::atoi(v.c_str()));
    };
    MediaConfig& c = options.config;
    const int type = std::atoi(get("StreamingType").c_str());
    options.streamingType = type == 0 ? 2 : type;
    // RTSP cameras (types 4 and 5) may be given by a whole URL.
    const bool overRtsp = transport::streamsOverRtsp(options.streamingType);
    const std::size_t addressWidth = overRtsp ? sizeof c.cameraAddress : 16;
    // The viewer stores a URL too long for one line with the rest under "CameraIPMore".
    const std::string host = get("CameraIP") + (overRtsp ? get("CameraIPMore") : std::string());
    copyText(c.cameraAddress, addressWidth, host.empty() ? "192.168.0.100" : host);
    const std::string user = get("CameraUserName");
    copyText(c.userName, sizeof c.userName, user.empty() ? "Admin" : user);
    const std::string password = get("CameraPassword");
    copyText(c.password, sizeof c.password, password.empty() ? "604217" : password);
    c.registerPort = port("RegisterPort", 6000);
    c.controlPort = port("ControlPort", 6001);
    c.streamingPort = port("StreamingPort", 6002);
    c.httpPort = port("HTTPPort", 80);
    options.playAudio = get("PlayAudio") == "1";
    if (get("EnablePTZ") == "1") {
        if (options.ptzFile.empty()) options.ptzFile = get("PTZProtocolFileName");
        if (const std::string a = get("PTZAddressID"); !a.empty()) options.ptzAddress = std::atoi(a.c_str());
    }
    if (options.calibration.empty()) options.calibration = get("PTZCalibration");
    if (const std::string name = get("CameraName"); !name.empty()) options.cameraName = name;
    // Clips keep the viewer's limits.
    options.capture = recorder::readCaptureSettings(
        [&](const char* key) { return std::string(CM_GetValue(store, key, recorder::kCaptureSection, path.c_str())); },
        recorder::UserFolders::fromProcess());
    // The store writes the file back as it read it when closed.
    CM_CloseInterface(store);
    return true;
}

} // namespace watch
