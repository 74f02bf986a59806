// What ffprobe and ffmpeg, programs independent of the recorder, make of a
// file it wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recorder::test {

struct ProbedStream {
    std::string type; // "video", "audio"
    std::string codec;
    int width = 0;
    int height = 0;
};

struct Probe {
    bool read = false; // ffprobe named at least one stream
    std::vector<ProbedStream> streams;
    std::vector<std::pair<int, double>> packets; // stream, presentation time in seconds
    bool firstIsKey = false;
    std::string errors; // what ffprobe said besides

    const ProbedStream* firstOf(const std::string& type) const;
    // Times of one stream's packets, in file order.
    std::vector<double> times(int stream) const;
};

Probe probe(const std::string& path);
// The first picture of a file decoded by ffmpeg as RGB bytes, rows top-down.
std::vector<uint8_t> decodeRgb(const std::string& path);
// What `ffmpeg -v error -i FILE -f null -` prints: nothing for a file that
// decodes cleanly.
std::string decodeErrors(const std::string& path);
// A tag of the file as a whole ("title", "creation_time"); empty when none.
std::string formatTag(const std::string& path, const std::string& tag);

} // namespace recorder::test
