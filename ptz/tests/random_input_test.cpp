// Runs the fuzz entry on a fixed series of random protocol texts and
// requests, so every build (also without libFuzzer) feeds the reader and the
// builder malformed input under the sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "fuzz_entry.h"

namespace {

const std::string kTokens[] = {"PANLEFT",   "ZOOMIN",   "ZOOMSTOP",   "PANTILTSTOP", "OSDUP",
                               "FOCUS",     "IRIS",     "DAYNIGHT",   "BLC",         "ADDRIDSTART",
                               "ADDRIDPOS", "CHECKSUM", "INTERVAL",   "MOUSEPTZ",    "PANEL",
                               "[",         "]",        ";",          ";",           ";",
                               ",",         ",",        "0x",         "0x",          "FF",
                               "7",         "-1",       "0",          "1",           "2",
                               "3",         "255",      "4294967296", "2147483647",  "$B",
                               "$B7",       "$BE",      "$C0x",       "$",           "=",
                               "+",         "-",        "^",          "|",           "&",
                               " ",         "\t",       "#",          "\r",          "\n",
                               "\n",        "\r\n",     "\\",         "GE_Kalatel",  std::string(140, 'x').c_str()};

std::string randomText(std::mt19937& rng) {
    std::string text;
    const int tokens = static_cast<int>(rng() % 200);
    for (int i = 0; i < tokens; ++i) {
        if (rng() % 8 == 0) {
            text += static_cast<char>(rng() % 256);
        } else {
            text += kTokens[rng() % std::size(kTokens)];
        }
    }
    return text;
}

std::string structuredInput(std::mt19937& rng) {
    std::string input(5, '\0');
    for (char& c : input) c = static_cast<char>(rng() % 256);
    input += randomText(rng);
    input += '\0';
    input += randomText(rng);
    return input;
}

std::string rawInput(std::mt19937& rng) {
    std::string input(rng() % 600, '\0');
    for (char& c : input) c = static_cast<char>(rng() % 256);
    return input;
}

TEST(RandomInput, ReaderAndBuilderSurviveMalformedText) {
    std::mt19937 rng(20261207);
    for (int i = 0; i < 1500; ++i) {
        const std::string input = (i % 4 == 0) ? rawInput(rng) : structuredInput(rng);
        ASSERT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), 0);
    }
}

TEST(RandomInput, WellFormedProtocolWithRandomRules) {
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        std::string text = "ADDRIDSTART;" + std::to_string(static_cast<int>(rng() % 600) - 300) + "\rADDRIDPOS;" +
                           std::to_string(static_cast<int>(rng() % 40) - 5) + "\rCHECKSUM;$B" +
                           std::to_string(rng() % 40);
        for (int t = 0; t < static_cast<int>(rng() % 60); ++t) {
            text += "=+-^|&"[rng() % 6];
            text += (rng() % 5 == 0)   ? "$BE"
                    : (rng() % 4 == 0) ? "$C0x" + std::to_string(rng() % 999)
                                       : "$B" + std::to_string(rng() % 40);
        }
        text += "\r";
        for (int line = 0; line < 20; ++line) {
            text += "CMD" + std::to_string(line % 3) + ";" + std::to_string(rng() % 3) + ";0;";
            const int bytes = static_cast<int>(rng() % 40);
            for (int b = 0; b < bytes; ++b) text += (b ? ",0x" : "0x") + std::to_string(rng() % 300);
            text += "\r";
        }
        std::string input(5, '\0');
        input[0] = static_cast<char>(rng() % 16);
        input[1] = static_cast<char>(rng() % 256);
        input += text;
        input += '\0';
        input += "CMD0;0;0\nCMD1;1;0\nCMD2;2;0\n";
        ASSERT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), 0);
    }
}

} // namespace
