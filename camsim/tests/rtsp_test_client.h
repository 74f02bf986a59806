// An RTSP client the simulator's tests trust because nobody here wrote it:
// libavformat opens the URL (TCP-interleaved), libavcodec decodes the first
// picture. Every call is bounded by a deadline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace camsim::test {

struct RtspPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> luma; // width x height, row by row
};

struct RtspProbe {
    int error = 0;                    // libavformat's code; 0 when a picture came
    std::string errorText;            // its text
    std::vector<std::string> streams; // codec names in the session ("h264", "pcm_mulaw", ...)
    RtspPicture picture;              // the last decoded video picture
    int picturesDecoded = 0;
    std::size_t largestPacket = 0; // bytes of the largest video packet read
};

// Opens `url` and decodes until `pictures` pictures came or timeoutMs passed.
RtspProbe probeRtsp(const std::string& url, int timeoutMs, int pictures = 1);

// The URL with user and password put in front of the host.
std::string withCredentials(const std::string& url, const std::string& user, const std::string& password);

// Mean absolute difference of two lumas of the same size (255 when sizes differ).
double meanLumaDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

} // namespace camsim::test
