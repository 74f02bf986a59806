// Helpers for the PTZ tests: protocol files in a private folder and handles
// that close themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tiltra/ptz.h"

namespace tiltra::test {

struct HandleCloser {
    void operator()(PTZContext* h) const { PTZCloseInterface(h); }
};
using Handle = std::unique_ptr<PTZContext, HandleCloser>;

inline PTZOpenRecord makeRecord(int addressId, int outputMode) {
    PTZOpenRecord r;
    std::memset(&r, 0, sizeof r);
    r.addressId = addressId;
    r.outputMode = outputMode;
    return r;
}

inline std::vector<unsigned char> bytesOf(const unsigned char* p, int count) {
    return p ? std::vector<unsigned char>(p, p + count) : std::vector<unsigned char>{};
}

// A temporary folder that disappears with the fixture.
class ProtocolFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tiltra-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    Handle openFile(const std::string& path, int addressId = 1, int outputMode = 1, const char* ip = "",
                    const char* user = "", const char* password = "") {
        PTZOpenRecord r = makeRecord(addressId, outputMode);
        std::strncpy(r.protocolFile, path.c_str(), sizeof r.protocolFile - 1);
        std::strncpy(r.cameraIp, ip, sizeof r.cameraIp - 1);
        std::strncpy(r.userName, user, sizeof r.userName - 1);
        std::strncpy(r.password, password, sizeof r.password - 1);
        return Handle(PTZOpenInterfaceWithFile(&r));
    }

    Handle openText(const std::string& text, int addressId = 1, int outputMode = 1) {
        return openFile(write("p.ptz", text), addressId, outputMode);
    }

    std::filesystem::path dir_;
};

} // namespace tiltra::test
