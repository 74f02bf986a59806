// Load and save of a 16-camera settings file (27 keys each) through Ledra-M,
// against reading and writing the same bytes with plain stdio; and the load
// of a file of 30,000 sections, whose time must grow with the file and not
// with its square.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

#include "ledra/config_store.h"

namespace {

const char* const kKeys[27] = {"CameraName",
                               "CameraIP",
                               "RegisterPort",
                               "ControlPort",
                               "StreamingPort",
                               "HTTPPort",
                               "CameraUserName",
                               "CameraPassword",
                               "UseStreamingEngine",
                               "StreamingEngineIP",
                               "StreamingEngineUserName",
                               "StreamingEnginePassword",
                               "EnablePTZ",
                               "PTZProtocolSourceType",
                               "PTZVender",
                               "PTZProtocol",
                               "PTZProtocolFileName",
                               "JoinPatorlGroup",
                               "PlayAudio",
                               "Qaud",
                               "ShowCameraName",
                               "ShowEvent",
                               "SerialControl",
                               "SerialBaudRate",
                               "PTZAddressID",
                               "StreamingType",
                               "PTZSpeed"};

class Fixture {
public:
    Fixture() {
        char pattern[] = "/tmp/ledra-bench-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        path_ = dir_ + "/Tavolin.txt";
        loadPath_ = dir_ + "/ReadOnly.txt";
        manyPath_ = dir_ + "/Many.txt";
        for (int cam = 0; cam < 16; ++cam) {
            bytes_ += "[" + std::to_string(cam) + "]\n";
            for (const char* key : kKeys) {
                bytes_ += std::string(key) + "=value-" + std::to_string(cam) + "-" + key + "\n";
            }
        }
        writeBytes(path_, bytes_);
        writeBytes(loadPath_, bytes_);
        for (int cam = 0; cam < kManySections; ++cam) {
            manyBytes_ += "[" + std::to_string(cam) + "]\nCameraIP=127.0.0.1\n";
        }
        writeBytes(manyPath_, manyBytes_);
    }
    static constexpr int kManySections = 30000;
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static void writeBytes(const std::string& path, const std::string& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const std::string& path() const { return path_; }
    const std::string& loadPath() const { return loadPath_; }
    const std::string& bytes() const { return bytes_; }
    const std::string& manyPath() const { return manyPath_; }
    const std::string& manyBytes() const { return manyBytes_; }

private:
    std::string dir_, path_, loadPath_, manyPath_, bytes_, manyBytes_;
};

// Closing a store saves it; for a load benchmark the save must cost nothing.
// A file size limit of 0 fails its first write at once (the temporary file
// is removed again), and the file on the disk stays as it was.
void closeWithoutWriting(CM_Store* store) {
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit none = old;
    none.rlim_cur = 0;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &none);
    CM_CloseInterface(store);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Open, read the file and look up all 432 values, as the camera list does.
void StoreLoad(benchmark::State& state) {
    const std::string& path = fixture().loadPath();
    for (auto _ : state) {
        CM_Store* store = CM_OpenInterface();
        for (int cam = 0; cam < 16; ++cam) {
            const std::string section = std::to_string(cam);
            for (const char* key : kKeys) {
                benchmark::DoNotOptimize(CM_GetValue(store, key, section.c_str(), path.c_str()));
            }
        }
        closeWithoutWriting(store);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().bytes().size()));
}
BENCHMARK(StoreLoad);

// 30,000 sections (every key line looks its section up), then one lookup
// per section, as a camera list that long would make.
void StoreLoadManySections(benchmark::State& state) {
    const std::string& path = fixture().manyPath();
    for (auto _ : state) {
        CM_Store* store = CM_OpenInterface();
        for (int cam = 0; cam < Fixture::kManySections; ++cam) {
            benchmark::DoNotOptimize(CM_GetValue(store, "CameraIP", std::to_string(cam).c_str(), path.c_str()));
        }
        closeWithoutWriting(store);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().manyBytes().size()));
}
BENCHMARK(StoreLoadManySections)->Unit(benchmark::kMillisecond);

void StdioReadManySections(benchmark::State& state) {
    std::vector<char> buf(fixture().manyBytes().size() + 1);
    for (auto _ : state) {
        std::FILE* f = std::fopen(fixture().manyPath().c_str(), "r");
        benchmark::DoNotOptimize(std::fread(buf.data(), 1, buf.size(), f));
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().manyBytes().size()));
}
BENCHMARK(StdioReadManySections);

// Save of a loaded store: whole file to a temporary, flushed to disk, renamed.
void StoreSave(benchmark::State& state) {
    CM_Store* store = CM_OpenInterface();
    CM_GetValue(store, "", "", fixture().path().c_str());
    for (auto _ : state) {
        if (CM_Save(store) != 1) state.SkipWithError("save failed");
    }
    CM_CloseInterface(store);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().bytes().size()));
}
BENCHMARK(StoreSave);

void StdioRead(benchmark::State& state) {
    std::vector<char> buf(fixture().bytes().size() + 1);
    for (auto _ : state) {
        std::FILE* f = std::fopen(fixture().path().c_str(), "r");
        benchmark::DoNotOptimize(std::fread(buf.data(), 1, buf.size(), f));
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().bytes().size()));
}
BENCHMARK(StdioRead);

void StdioWrite(benchmark::State& state) {
    const std::string path = fixture().path() + ".plain";
    for (auto _ : state) Fixture::writeBytes(path, fixture().bytes());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fixture().bytes().size()));
}
BENCHMARK(StdioWrite);

// The same write made durable, as the store's save is.
void StdioWriteFsync(benchmark::State& state) {
    const std::string path = fixture().path() + ".plain";
    const std::string& bytes = fixture().bytes();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fflush(f);
        ::fsync(::fileno(f));
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(StdioWriteFsync);

} // namespace

BENCHMARK_MAIN();
