// Writes the MPEG-4 elementary stream a simulated camera sends with the test
// pattern (its sequence headers, then every picture) to a file, so that a
// stock player can show exactly the pictures the live view is given.
//   camsim_stream_dump OUT.m4v [SECONDS] [RESOLUTION_CODE] [FRAME_RATE]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camsim/camera_sources.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.m4v [SECONDS] [RESOLUTION_CODE] [FRAME_RATE]\n", argv[0]);
        return 64;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    camsim::CameraVideoSettings settings;
    settings.resolutionCode = argc > 3 ? std::atoi(argv[3]) : 0;
    settings.frameRate = static_cast<uint16_t>(argc > 4 ? std::atoi(argv[4]) : 30);
    if (seconds <= 0 || settings.frameRate < 1 || settings.frameRate > 30) return 64;

    const auto source = camsim::makeCameraVideoSource(settings);
    const std::vector<uint8_t> header = source->sequenceHeader();
    if (header.empty()) {
        std::fprintf(stderr, "this camsim build sends no real video\n");
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 1;
    bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
    camsim::VideoFrame frame;
    for (int i = 0; ok && i < seconds * settings.frameRate && source->nextFrame(frame); ++i) {
        ok = std::fwrite(frame.data.data(), 1, frame.data.size(), out) == frame.data.size();
    }
    ok = std::fclose(out) == 0 && ok;
    std::fprintf(stderr, "%s: %dx%d at %d pictures/s, %d s\n", argv[1], source->width(), source->height(),
                 source->frameRate(), seconds);
    return ok ? 0 : 1;
}
