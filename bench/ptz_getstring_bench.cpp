// Requests per second of PTZGetString on a 200-line protocol file, against a
// plain walk over the same lines that only compares each with strncmp.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tiltra/ptz.h"

namespace {

// 3 attribute lines + 197 command lines, in the order a real file has them.
std::vector<std::string> protocolLines() {
    std::vector<std::string> lines = {"ADDRIDSTART;0x01", "ADDRIDPOS;2", "CHECKSUM;$B7=$B2+$B3+$B4+$B5+$B6"};
    char line[128];
    const char* moves[] = {"PANLEFT",    "PANRIGHT",    "TILTUP",       "TILTDOWN",
                           "MOVEUPLEFT", "MOVEUPRIGHT", "MOVEDOWNLEFT", "MOVEDOWNRIGHT"};
    for (const char* m : moves) {
        for (int s = 0; s <= 5; ++s) {
            std::snprintf(line, sizeof line, "%s;%d;0;0xFF,0x00,0x00,0x04,0x%02X,0x00,0x00", m, s, s * 8);
            lines.push_back(line);
        }
    }
    for (const char* p : {"PRESETSET", "PRESETGOTO", "PRESETCLEAR"}) {
        for (int n = 1; n <= 40; ++n) {
            std::snprintf(line, sizeof line, "%s;%d;0;0xFF,0x00,0x00,0x07,0x00,0x%02X,0x00", p, n, n);
            lines.push_back(line);
        }
    }
    const char* rest[] = {"ZOOMIN;1",   "ZOOMIN;0",    "ZOOMOUT;1",   "ZOOMOUT;0",   "ZOOMSTOP;0", "FOCUSIN;1",
                          "FOCUSIN;0",  "FOCUSOUT;1",  "FOCUSOUT;0",  "FOCUSSTOP;0", "FOCUS;0",    "IRISOPEN;1",
                          "IRISOPEN;0", "IRISCLOSE;1", "IRISCLOSE;0", "IRISSTOP;0",  "IRIS;0",     "PANTILTSTOP;0",
                          "OSDON;0",    "OSDOFF;0",    "OSDUP;0",     "OSDDOWN;0",   "OSDLEFT;0",  "OSDRIGHT;0",
                          "OSDENTER;0", "OSDLEAVE;0"};
    for (const char* r : rest) {
        if (lines.size() == 199) break;
        std::snprintf(line, sizeof line, "%s;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00", r);
        lines.push_back(line);
    }
    lines.push_back("OSDLEAVE;0;0;0xFF,0x00,0x04,0x00,0x00,0x00,0x00");
    return lines;
}

class ProtocolFile {
public:
    ProtocolFile() : lines_(protocolLines()) {
        path_ = std::filesystem::temp_directory_path() / ("tiltra-bench-" + std::to_string(::getpid()) + ".ptz");
        std::ofstream out(path_);
        for (const auto& l : lines_) out << l << '\n';
    }
    ~ProtocolFile() { std::filesystem::remove(path_); }
    const std::string path() const { return path_.string(); }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    std::filesystem::path path_;
};

const ProtocolFile& file() {
    static const ProtocolFile f;
    return f;
}

struct Request {
    const char* name;
    int param;
    const char* key; // what the plain walk compares
};

const Request kRequests[] = {
    {"PANLEFT", 3, "PANLEFT;3;0;"},         // near the start
    {"PRESETGOTO", 20, "PRESETGOTO;20;0;"}, // middle
    {"OSDLEAVE", 0, "OSDLEAVE;0;0;"},       // last line
};

void BM_PTZGetString(benchmark::State& state) {
    const Request& r = kRequests[state.range(0)];
    PTZOpenRecord record;
    std::memset(&record, 0, sizeof record);
    record.addressId = 1;
    record.outputMode = 1;
    std::strncpy(record.protocolFile, file().path().c_str(), sizeof record.protocolFile - 1);
    PTZHandle h = PTZOpenInterfaceWithFile(&record);
    int count = 0;
    if (PTZGetString(h, r.name, r.param, 0, &count) == nullptr) state.SkipWithError("no line");
    for (auto _ : state) {
        benchmark::DoNotOptimize(PTZGetString(h, r.name, r.param, 0, &count));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(r.key);
    PTZCloseInterface(h);
}

void BM_StrncmpWalk(benchmark::State& state) {
    const Request& r = kRequests[state.range(0)];
    const std::vector<std::string>& lines = file().lines();
    const std::size_t n = std::strlen(r.key);
    for (auto _ : state) {
        const std::string* found = nullptr;
        for (const std::string& line : lines) {
            if (std::strncmp(line.c_str(), r.key, n) == 0) {
                found = &line;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(r.key);
}

BENCHMARK(BM_PTZGetString)->DenseRange(0, 2);
BENCHMARK(BM_StrncmpWalk)->DenseRange(0, 2);

} // namespace

BENCHMARK_MAIN();
