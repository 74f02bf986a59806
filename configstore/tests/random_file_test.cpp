// Arbitrary bytes as a settings file: the store never crashes or overruns
// (run under the sanitizers), a file it cannot read to its end stays as it
// is, and whatever it writes loads back cleanly and is written again byte
// for byte.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// Mostly well-formed lines (headers, key lines, comments) built from bytes
// the format reacts to, now and then a very long line or a bad one.
std::string randomText(std::mt19937& rng, int maxLength) {
    static const char kAlphabet[] = "[]=#;\r\t ab\xff";
    std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 2);
    std::uniform_int_distribution<int> length(0, maxLength);
    std::string text(static_cast<size_t>(length(rng)), 'x');
    for (char& c : text) {
        if (pick(rng) % 8 == 0) c = kAlphabet[pick(rng)];
    }
    return text;
}

std::string randomFile(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<int> lines(1, 120);
    std::string bytes = "[S]\n";
    for (int n = lines(rng); n > 0; --n) {
        const int k = kind(rng);
        const int room = k % 25 == 0 ? 400 : 30; // one line in 25 is long
        if (k < 15) {
            bytes += "[" + randomText(rng, room) + "]" + randomText(rng, 5);
        } else if (k < 30) {
            bytes += (k % 2 ? "#" : ";") + randomText(rng, room);
        } else if (k < 98) {
            bytes += randomText(rng, room) + "=" + randomText(rng, room);
        } else {
            bytes += randomText(rng, room); // often a line that stops the load
            if (k == 99) bytes += '\0';
        }
        bytes += '\n';
    }
    return bytes;
}

TEST(StoreRandomFileTest, WhatIsWrittenLoadsBackAndIsStable) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    std::mt19937 rng(20261207);
    for (int round = 0; round < 300; ++round) {
        const std::string input = randomFile(rng);
        writeFile(path, input);
        std::string first;
        {
            Store s;
            s.getValue("k", "S", path.c_str());
            // A file the store cannot read to its end is left byte for byte.
            ASSERT_EQ(s.save(), !s.declinesSaves());
            first = readFile(path);
            if (s.declinesSaves()) {
                ASSERT_EQ(first, input) << "round " << round;
                continue;
            }
        }
        Store again;
        again.getValue("k", "S", path.c_str());
        ASSERT_EQ(again.lastError(), nullptr) << "round " << round;
        ASSERT_TRUE(again.save());
        ASSERT_EQ(readFile(path), first) << "round " << round;
    }
}

} // namespace
} // namespace ledra
