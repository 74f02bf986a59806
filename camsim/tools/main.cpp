// tavolin-camsim: runs a simulated camera until interrupted, printing what it
// serves and what it receives.
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::atomic<bool> gInterrupted{false};

void onSignal(int) { gInterrupted.store(true); }

void usage() {
    std::printf(
        "usage: tavolin-camsim --protocol 1 [--host ADDR] [--login-port N] [--control-port N]\n"
        "                      [--media-port N] [--user NAME] [--password TEXT]\n"
        "                      [--resolution CODE] [--frame-rate N] [--connection-number N]\n"
        "       tavolin-camsim --protocol 2 [--host ADDR] [--control-port N] [--video-port N]\n"
        "                      [--http-port N] [--user NAME] [--password TEXT] [--frame-rate N]\n"
        "Binds 127.0.0.1 unless --host says otherwise; port 0 picks a free port.\n");
}

bool parsePort(const char* text, uint16_t& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 65535) return false;
    out = static_cast<uint16_t>(v);
    return true;
}

bool parseInt(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

// Prints what the camera receives until the program is interrupted.
template <typename Camera>
int serveUntilInterrupted(Camera& camera) {
    std::fflush(stdout);
    std::size_t printed = 0;
    while (!gInterrupted.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        auto messages = camera.recording().snapshot();
        for (; printed < messages.size(); ++printed) {
            const auto& m = messages[printed];
            if (m.channel == camsim::Channel::Http) {
                const std::string head = m.payloadText();
                std::printf("received on http: %s\n", head.substr(0, head.find('\r')).c_str());
            } else {
                std::printf("received on %s: type %u, %zu payload bytes\n", camsim::channelName(m.channel), m.type,
                            m.payload.size());
            }
        }
        std::fflush(stdout);
    }
    camera.stop();
    std::printf("stopped\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    camsim::CameraOptions options;
    options.loginPort = 6000;
    options.controlPort = 6001;
    options.mediaPort = 6002;
    options.videoPort = 6002;  // protocol 2 streaming port
    options.httpPort = 8080;   // protocol 2 web server (80 would need privileges)
    int protocol = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long number = 0;
        bool ok = value != nullptr;
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else if (arg == "--protocol" && ok) {
            ok = parseInt(value, 1, 2, number);
            protocol = static_cast<int>(number);
        } else if (arg == "--host" && ok) {
            options.host = value;
        } else if (arg == "--login-port" && ok) {
            ok = parsePort(value, options.loginPort);
        } else if (arg == "--control-port" && ok) {
            ok = parsePort(value, options.controlPort);
        } else if (arg == "--video-port" && ok) {
            ok = parsePort(value, options.videoPort);
        } else if (arg == "--http-port" && ok) {
            ok = parsePort(value, options.httpPort);
        } else if (arg == "--media-port" && ok) {
            ok = parsePort(value, options.mediaPort);
        } else if (arg == "--user" && ok) {
            options.user = value;
        } else if (arg == "--password" && ok) {
            options.password = value;
        } else if (arg == "--resolution" && ok) {
            ok = parseInt(value, 0, 5, number);
            options.video.resolutionCode = static_cast<int32_t>(number);
        } else if (arg == "--frame-rate" && ok) {
            ok = parseInt(value, 1, 30, number);
            options.video.frameRate = static_cast<uint16_t>(number);
        } else if (arg == "--connection-number" && ok) {
            ok = parseInt(value, 0, 0x7fffffff, number);
            options.connectionNumber = static_cast<uint32_t>(number);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "tavolin-camsim: bad argument %s\n", arg.c_str());
            usage();
            return 2;
        }
        ++i;
    }
    if (protocol != 1 && protocol != 2) {
        std::fprintf(stderr, "tavolin-camsim: say --protocol 1 or --protocol 2\n");
        usage();
        return 2;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    if (protocol == 2) {
        camsim::V2Camera camera(options);
        if (!camera.start()) {
            std::fprintf(stderr, "tavolin-camsim: cannot listen on %s\n", options.host.c_str());
            return 1;
        }
        std::printf("protocol 2 camera on %s: control %u, video %u, web server %u; user \"%s\"; %d frames/s\n",
                    options.host.c_str(), camera.controlPort(), camera.videoPort(), camera.httpPort(),
                    options.user.c_str(), options.video.frameRate);
        return serveUntilInterrupted(camera);
    }
    camsim::V1Camera camera(options);
    if (!camera.start()) {
        std::fprintf(stderr, "tavolin-camsim: cannot listen on %s\n", options.host.c_str());
        return 1;
    }
    std::printf("protocol 1 camera on %s: login %u, control %u, media %u; user \"%s\"; "
                "resolution code %d at %d frames/s\n",
                options.host.c_str(), camera.loginPort(), camera.controlPort(), camera.mediaPort(),
                options.user.c_str(), options.video.resolutionCode, options.video.frameRate);
    return serveUntilInterrupted(camera);
}
