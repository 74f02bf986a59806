// A 16-bit PCM WAV file holding a tone, written byte by byte from the RIFF
// layout (not by the code under test), removed with the object.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include <unistd.h>

namespace ostrel::test {

class WavFile {
public:
    WavFile(int rate, int channels, double seconds, double frequencyHz = 1000, double amplitude = 8000)
        : path_(std::filesystem::temp_directory_path() /
                ("tone-" + std::to_string(getpid()) + "-" + std::to_string(++counter()) + ".wav")) {
        const auto frames = static_cast<uint32_t>(rate * seconds);
        const uint32_t dataBytes = frames * static_cast<uint32_t>(channels) * 2;
        std::ofstream out(path_, std::ios::binary);
        out.write("RIFF", 4);
        le32(out, 36 + dataBytes);
        out.write("WAVEfmt ", 8);
        le32(out, 16);
        le16(out, 1); // PCM
        le16(out, static_cast<uint16_t>(channels));
        le32(out, static_cast<uint32_t>(rate));
        le32(out, static_cast<uint32_t>(rate * channels * 2));
        le16(out, static_cast<uint16_t>(channels * 2));
        le16(out, 16);
        out.write("data", 4);
        le32(out, dataBytes);
        for (uint32_t i = 0; i < frames; ++i) {
            const auto v = static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * frequencyHz * i / rate));
            for (int c = 0; c < channels; ++c) le16(out, static_cast<uint16_t>(v));
        }
    }
    ~WavFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    std::string path() const { return path_.string(); }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    static void le16(std::ofstream& out, uint16_t v) {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        out.write(b, 2);
    }
    static void le32(std::ofstream& out, uint32_t v) {
        le16(out, static_cast<uint16_t>(v & 0xFFFF));
        le16(out, static_cast<uint16_t>(v >> 16));
    }
    std::filesystem::path path_;
};

} // namespace ostrel::test
