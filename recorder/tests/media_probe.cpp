#include "media_probe.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace recorder::test {

namespace {

// A command's output (with its error output when `errors` says so).
std::string run(const std::string& command, bool errors) {
    std::string out;
    FILE* pipe = ::popen((command + (errors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
    return out;
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
    for (const auto& [index, time] : packets) {
        if (index == stream) out.push_back(time);
    }
    return out;
}

Probe probe(const std::string& path) {
    Probe result;
    std::stringstream lines(run("ffprobe -v error -show_entries stream=codec_type,codec_name,width,height:"
                                "packet=stream_index,pts_time,flags -of compact=p=0 '" +
                                    path + "'",
                                true));
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, std::string> f;
        std::stringstream pairs(line);
        for (std::string pair; std::getline(pairs, pair, '|');) {
            if (const std::size_t eq = pair.find('='); eq != std::string::npos)
                f[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        if (f.count("codec_type") != 0) {
            result.streams.push_back(
                {f["codec_type"], f["codec_name"], std::atoi(f["width"].c_str()), std::atoi(f["height"].c_str())});
        } else if (f.count("stream_index") != 0) {
            if (result.packets.empty()) result.firstIsKey = f["flags"].find('K') != std::string::npos;
            result.packets.emplace_back(std::atoi(f["stream_index"].c_str()), std::atof(f["pts_time"].c_str()));
        } else {
            result.errors += line + "\n";
        }
    }
    result.read = !result.streams.empty();
    return result;
}

std::vector<uint8_t> decodeRgb(const std::string& path) {
    const std::string bytes =
        run("ffmpeg -nostdin -v error -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -", false);
    return {bytes.begin(), bytes.end()};
}

// The null output keeps the clip's own time base: in its default 1/25, two
// pictures stamped a millisecond apart (a burst that arrived together, as
// the repair spreads it) made ffmpeg complain of non-increasing times in a
// clip whose times do increase.
std::string decodeErrors(const std::string& path) {
    return run("ffmpeg -nostdin -v error -i '" + path + "' -enc_time_base -1 -f null -", true);
}

std::string formatTag(const std::string& path, const std::string& tag) {
    std::string value =
        run("ffprobe -v error -show_entries format_tags=" + tag + " -of default=nw=1:nk=1 '" + path + "'", false);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

} // namespace recorder::test
