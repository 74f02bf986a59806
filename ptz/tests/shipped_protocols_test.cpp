// The protocol files we ship, checked against frames worked out by hand from
// the public frame definitions:
//   Pelco-D  FF, address, command 1, command 2, data 1, data 2, sum of bytes 2..6
//   Pelco-P  A0, address - 1, data 1..4, AF, exclusive or of bytes 1..7
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ptz_test_support.h"

namespace {

using tiltra::test::bytesOf;
using tiltra::test::Handle;
using tiltra::test::makeRecord;
using Bytes = std::vector<unsigned char>;

struct Frame {
    int address;
    const char* command;
    int param;
    Bytes bytes;
};

const Frame kPelcoD[] = {
    {1, "PANLEFT", 3, {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}},
    {1, "TILTUP", 5, {0xFF, 0x01, 0x00, 0x08, 0x00, 0x3F, 0x48}},
    {1, "MOVEDOWNRIGHT", 2, {0xFF, 0x01, 0x00, 0x12, 0x10, 0x10, 0x33}},
    {1, "PANTILTSTOP", 0, {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}},
    {1, "ZOOMIN", 1, {0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21}},
    {1, "FOCUSOUT", 1, {0xFF, 0x01, 0x00, 0x80, 0x00, 0x00, 0x81}},
    {1, "IRISCLOSE", 1, {0xFF, 0x01, 0x04, 0x00, 0x00, 0x00, 0x05}},
    {1, "PRESETGOTO", 8, {0xFF, 0x01, 0x00, 0x07, 0x00, 0x08, 0x10}},
    {1, "PRESETSET", 1, {0xFF, 0x01, 0x00, 0x03, 0x00, 0x01, 0x05}},
    {1, "PRESETCLEAR", 4, {0xFF, 0x01, 0x00, 0x05, 0x00, 0x04, 0x0A}},
    {1, "OSDON", 0, {0xFF, 0x01, 0x00, 0x07, 0x00, 0x5F, 0x67}},
    {2, "PANLEFT", 3, {0xFF, 0x02, 0x00, 0x04, 0x18, 0x00, 0x1E}},
    {2, "PRESETGOTO", 8, {0xFF, 0x02, 0x00, 0x07, 0x00, 0x08, 0x11}},
    {2, "PANTILTSTOP", 0, {0xFF, 0x02, 0x00, 0x00, 0x00, 0x00, 0x02}},
    {31, "PANLEFT", 3, {0xFF, 0x1F, 0x00, 0x04, 0x18, 0x00, 0x3B}},
    {31, "TILTUP", 5, {0xFF, 0x1F, 0x00, 0x08, 0x00, 0x3F, 0x66}},
    {31, "PRESETGOTO", 8, {0xFF, 0x1F, 0x00, 0x07, 0x00, 0x08, 0x2E}},
    {31, "PANTILTSTOP", 0, {0xFF, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {255, "PANLEFT", 3, {0xFF, 0xFF, 0x00, 0x04, 0x18, 0x00, 0x1B}},
    {255, "TILTUP", 5, {0xFF, 0xFF, 0x00, 0x08, 0x00, 0x3F, 0x46}},
    {255, "MOVEDOWNRIGHT", 2, {0xFF, 0xFF, 0x00, 0x12, 0x10, 0x10, 0x31}},
    {255, "PANTILTSTOP", 0, {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF}},
    {255, "ZOOMIN", 1, {0xFF, 0xFF, 0x00, 0x20, 0x00, 0x00, 0x1F}},
    {255, "FOCUSOUT", 1, {0xFF, 0xFF, 0x00, 0x80, 0x00, 0x00, 0x7F}},
    {255, "IRISCLOSE", 1, {0xFF, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x03}},
    {255, "PRESETGOTO", 8, {0xFF, 0xFF, 0x00, 0x07, 0x00, 0x08, 0x0E}},
    {255, "PRESETSET", 1, {0xFF, 0xFF, 0x00, 0x03, 0x00, 0x01, 0x03}},
    {255, "PRESETCLEAR", 4, {0xFF, 0xFF, 0x00, 0x05, 0x00, 0x04, 0x08}},
    {255, "OSDON", 0, {0xFF, 0xFF, 0x00, 0x07, 0x00, 0x5F, 0x65}},
};

const Frame kPelcoP[] = {
    {1, "PANLEFT", 3, {0xA0, 0x00, 0x00, 0x04, 0x18, 0x00, 0xAF, 0x13}},
    {1, "TILTUP", 5, {0xA0, 0x00, 0x00, 0x08, 0x00, 0x3F, 0xAF, 0x38}},
    {1, "MOVEDOWNRIGHT", 2, {0xA0, 0x00, 0x00, 0x12, 0x10, 0x10, 0xAF, 0x1D}},
    {1, "PANTILTSTOP", 0, {0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x0F}},
    {1, "ZOOMIN", 1, {0xA0, 0x00, 0x00, 0x20, 0x00, 0x00, 0xAF, 0x2F}},
    {1, "FOCUSOUT", 1, {0xA0, 0x00, 0x01, 0x00, 0x00, 0x00, 0xAF, 0x0E}},
    {1, "IRISCLOSE", 1, {0xA0, 0x00, 0x08, 0x00, 0x00, 0x00, 0xAF, 0x07}},
    {1, "PRESETGOTO", 8, {0xA0, 0x00, 0x00, 0x07, 0x00, 0x08, 0xAF, 0x00}},
    {1, "PRESETSET", 1, {0xA0, 0x00, 0x00, 0x03, 0x00, 0x01, 0xAF, 0x0D}},
    {1, "PRESETCLEAR", 4, {0xA0, 0x00, 0x00, 0x05, 0x00, 0x04, 0xAF, 0x0E}},
    {1, "OSDON", 0, {0xA0, 0x00, 0x00, 0x07, 0x00, 0x5F, 0xAF, 0x57}},
    {2, "PANLEFT", 3, {0xA0, 0x01, 0x00, 0x04, 0x18, 0x00, 0xAF, 0x12}},
    {2, "PRESETGOTO", 8, {0xA0, 0x01, 0x00, 0x07, 0x00, 0x08, 0xAF, 0x01}},
    {2, "PANTILTSTOP", 0, {0xA0, 0x01, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x0E}},
    {31, "PANLEFT", 3, {0xA0, 0x1E, 0x00, 0x04, 0x18, 0x00, 0xAF, 0x0D}},
    {31, "TILTUP", 5, {0xA0, 0x1E, 0x00, 0x08, 0x00, 0x3F, 0xAF, 0x26}},
    {31, "PRESETGOTO", 8, {0xA0, 0x1E, 0x00, 0x07, 0x00, 0x08, 0xAF, 0x1E}},
    {31, "PANTILTSTOP", 0, {0xA0, 0x1E, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x11}},
    {255, "PANLEFT", 3, {0xA0, 0xFE, 0x00, 0x04, 0x18, 0x00, 0xAF, 0xED}},
    {255, "TILTUP", 5, {0xA0, 0xFE, 0x00, 0x08, 0x00, 0x3F, 0xAF, 0xC6}},
    {255, "MOVEDOWNRIGHT", 2, {0xA0, 0xFE, 0x00, 0x12, 0x10, 0x10, 0xAF, 0xE3}},
    {255, "PANTILTSTOP", 0, {0xA0, 0xFE, 0x00, 0x00, 0x00, 0x00, 0xAF, 0xF1}},
    {255, "ZOOMIN", 1, {0xA0, 0xFE, 0x00, 0x20, 0x00, 0x00, 0xAF, 0xD1}},
    {255, "FOCUSOUT", 1, {0xA0, 0xFE, 0x01, 0x00, 0x00, 0x00, 0xAF, 0xF0}},
    {255, "IRISCLOSE", 1, {0xA0, 0xFE, 0x08, 0x00, 0x00, 0x00, 0xAF, 0xF9}},
    {255, "PRESETGOTO", 8, {0xA0, 0xFE, 0x00, 0x07, 0x00, 0x08, 0xAF, 0xFE}},
    {255, "PRESETSET", 1, {0xA0, 0xFE, 0x00, 0x03, 0x00, 0x01, 0xAF, 0xF3}},
    {255, "PRESETCLEAR", 4, {0xA0, 0xFE, 0x00, 0x05, 0x00, 0x04, 0xAF, 0xF0}},
    {255, "OSDON", 0, {0xA0, 0xFE, 0x00, 0x07, 0x00, 0x5F, 0xAF, 0xA9}},
};

enum class Source { SourceFile, InstalledFile, Builtin };

struct Case {
    const char* protocol; // Pelco-D or Pelco-P
    Source source;
};

std::string describe(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.protocol;
    name.erase(name.find('-'), 1);
    switch (info.param.source) {
    case Source::SourceFile: return name + "SourceFile";
    case Source::InstalledFile: return name + "InstalledFile";
    case Source::Builtin: return name + "Builtin";
    }
    return name;
}

class ShippedProtocol : public ::testing::TestWithParam<Case> {
protected:
    Handle open(int address) {
        const Case& c = GetParam();
        PTZOpenRecord r = makeRecord(address, 1);
        if (c.source == Source::Builtin) {
            std::strcpy(r.vendor, "Pelco");
            std::strcpy(r.protocol, c.protocol);
            return Handle(PTZOpenInterface(&r));
        }
        const std::string dir = c.source == Source::SourceFile ? TILTRA_PROTOCOL_DIR : TILTRA_INSTALLED_PROTOCOL_DIR;
        const std::string path = dir + "/" + c.protocol + ".ptz";
        EXPECT_TRUE(std::ifstream(path).good()) << path;
        std::strncpy(r.protocolFile, path.c_str(), sizeof r.protocolFile - 1);
        return Handle(PTZOpenInterfaceWithFile(&r));
    }

    bool isPelcoD() const { return std::string(GetParam().protocol) == "Pelco-D"; }

    // The check byte of the protocol, computed from the frame itself.
    static bool checkByteRight(bool pelcoD, const Bytes& f) {
        if (pelcoD) {
            unsigned sum = 0;
            for (int i = 1; i <= 5; ++i) sum += f[i];
            return f.size() == 7 && f[0] == 0xFF && f[6] == (sum & 0xFF);
        }
        unsigned x = 0;
        for (int i = 0; i <= 6; ++i) x ^= f[i];
        return f.size() == 8 && f[0] == 0xA0 && f[6] == 0xAF && f[7] == x;
    }
};

TEST_P(ShippedProtocol, FramesMatchTheHandWorkedOnes) {
    const bool d = isPelcoD();
    const auto& frames = d ? std::vector<Frame>(std::begin(kPelcoD), std::end(kPelcoD))
                           : std::vector<Frame>(std::begin(kPelcoP), std::end(kPelcoP));
    for (const Frame& f : frames) {
        Handle h = open(f.address);
        ASSERT_NE(h, nullptr);
        int count = 0;
        const unsigned char* bytes = PTZGetString(h.get(), f.command, f.param, 0, &count);
        EXPECT_EQ(bytesOf(bytes, count), f.bytes) << f.command << " " << f.param << " address " << f.address;
    }
}

TEST_P(ShippedProtocol, EveryCommandTheViewerSendsExists) {
    Handle h = open(1);
    ASSERT_NE(h, nullptr);
    for (const char* move :
         {"PANLEFT", "PANRIGHT", "TILTUP", "TILTDOWN", "MOVEUPLEFT", "MOVEUPRIGHT", "MOVEDOWNLEFT", "MOVEDOWNRIGHT"}) {
        for (int speed = 0; speed <= 5; ++speed) {
            EXPECT_NE(PTZGetString(h.get(), move, speed, 0, nullptr), nullptr) << move << speed;
        }
    }
    for (const char* preset : {"PRESETSET", "PRESETGOTO", "PRESETCLEAR"}) {
        for (int n = 1; n <= 8; ++n) EXPECT_NE(PTZGetString(h.get(), preset, n, 0, nullptr), nullptr);
    }
    for (const char* stop : {"PANTILTSTOP", "ZOOMSTOP", "ZOOMIN", "ZOOMOUT", "FOCUSSTOP", "FOCUS", "IRISSTOP", "IRIS",
                             "OSDON", "OSDOFF", "OSDUP", "OSDDOWN", "OSDLEFT", "OSDRIGHT", "OSDENTER", "OSDLEAVE"}) {
        EXPECT_NE(PTZGetString(h.get(), stop, 0, 0, nullptr), nullptr) << stop;
    }
    for (const char* lens : {"ZOOMIN", "ZOOMOUT", "FOCUSIN", "FOCUSOUT", "IRISOPEN", "IRISCLOSE"}) {
        EXPECT_NE(PTZGetString(h.get(), lens, 1, 0, nullptr), nullptr) << lens;
    }
}

TEST_P(ShippedProtocol, SpeedZeroAndStopsAreTheStopFrame) {
    Handle h = open(9);
    const Bytes stop = bytesOf(PTZGetString(h.get(), "PANTILTSTOP", 0, 0, nullptr), isPelcoD() ? 7 : 8);
    const Bytes expected = isPelcoD() ? Bytes{0xFF, 0x09, 0x00, 0x00, 0x00, 0x00, 0x09}
                                      : Bytes{0xA0, 0x08, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x07};
    EXPECT_EQ(stop, expected);
    int count = 0;
    for (const char* name : {"PANLEFT", "TILTDOWN", "MOVEUPRIGHT", "ZOOMIN", "ZOOMSTOP", "FOCUSIN", "IRISOPEN"}) {
        const unsigned char* bytes = PTZGetString(h.get(), name, 0, 0, &count);
        EXPECT_EQ(bytesOf(bytes, count), expected) << name;
    }
}

TEST_P(ShippedProtocol, EveryLineCarriesAddressAndCheckForEveryAddress) {
    int names = 0;
    for (int address : {1, 2, 31, 32, 100, 127, 128, 200, 254, 255}) {
        Handle h = open(address);
        ASSERT_NE(h, nullptr);
        const std::string listing = PTZEnumerate(h.get(), 2, nullptr);
        std::stringstream list(listing.substr(listing.find(',') + 1));
        std::string name;
        names = 0;
        while (std::getline(list, name, ',')) {
            ++names;
            for (int p = 0; p <= 8; ++p) {
                int count = 0;
                const unsigned char* bytes = PTZGetString(h.get(), name.c_str(), p, 0, &count);
                if (bytes == nullptr) continue;
                const Bytes f = bytesOf(bytes, count);
                ASSERT_TRUE(checkByteRight(isPelcoD(), f)) << name << p << " address " << address;
                ASSERT_EQ(f[1], isPelcoD() ? address : address - 1) << name << p;
            }
        }
    }
    EXPECT_GE(names, 20);
}

INSTANTIATE_TEST_SUITE_P(AllSources, ShippedProtocol,
                         ::testing::Values(Case{"Pelco-D", Source::SourceFile}, Case{"Pelco-D", Source::InstalledFile},
                                           Case{"Pelco-D", Source::Builtin}, Case{"Pelco-P", Source::SourceFile},
                                           Case{"Pelco-P", Source::InstalledFile}, Case{"Pelco-P", Source::Builtin}),
                         describe);

} // namespace
