#include "media_probe.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace recorder::test {

namespace {

// Runs a command and returns its standard output; its error output goes to
// `errors` (through a file beside the probed one).
std::string run(const std::string& command, const std::string& errorFile, std::string* errors) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>'" + errorFile + "'").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    if (errors != nullptr) {
        if (FILE* f = std::fopen(errorFile.c_str(), "r")) {
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) errors->append(buffer, n);
            std::fclose(f);
        }
    }
    std::remove(errorFile.c_str());
    return out;
}

std::map<std::string, std::string> fieldsOf(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::stringstream in(line);
    std::string pair;
    while (std::getline(in, pair, '|')) {
        const std::size_t eq = pair.find('=');
        if (eq != std::string::npos) fields[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    return fields;
}

} // namespace

const ProbedStream* Probe::firstOf(const std::string& type) const {
    for (const ProbedStream& s : streams) {
        if (s.type == type) return &s;
    }
    return nullptr;
}

std::vector<double> Probe::times(int stream) const {
    std::vector<double> out;
    for (const ProbedPacket& p : packets) {
        if (p.stream == stream) out.push_back(p.time);
    }
    return out;
}

Probe probe(const std::string& path) {
    Probe result;
    const std::string text = run("ffprobe -v error -show_entries "
                                 "stream=index,codec_type,codec_name,width,height:packet=stream_index,pts_time,flags "
                                 "-of compact=p=0 '" +
                                     path + "'",
                                 path + ".probe-errors", &result.errors);
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        auto f = fieldsOf(line);
        if (f.count("codec_type") != 0) {
            result.streams.push_back(
                {f["codec_type"], f["codec_name"], std::atoi(f["width"].c_str()), std::atoi(f["height"].c_str())});
        } else if (f.count("stream_index") != 0) {
            result.packets.push_back({std::atoi(f["stream_index"].c_str()), std::atof(f["pts_time"].c_str()),
                                      f["flags"].find('K') != std::string::npos});
        }
    }
    result.read = !result.streams.empty();
    return result;
}

std::vector<uint8_t> decodeRgb(const std::string& path) {
    const std::string bytes = run("ffmpeg -nostdin -v error -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
                                  path + ".rgb-errors", nullptr);
    return {bytes.begin(), bytes.end()};
}

std::string decodeErrors(const std::string& path) {
    std::string errors;
    run("ffmpeg -nostdin -v error -i '" + path + "' -f null -", path + ".decode-errors", &errors);
    return errors;
}

} // namespace recorder::test
