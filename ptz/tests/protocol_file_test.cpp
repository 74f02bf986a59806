// Whatever the user chose as a protocol file, opening it returns at once:
// a pipe without a writer, an endless device, a folder or a huge file give a
// context without lines and a reason, never a wait or an endless read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "context.h"
#include "platform/diagnostics.h"
#include "protocol_file.h"
#include "ptz_test_support.h"

namespace {

const std::string kPanLeft = "PANLEFT;1;0;0xFF,0x01,0x00,0x04,0x20,0x00,0x25\n";

struct FileCase {
    const char* name;
    // Makes the file in `dir` and returns the path to open.
    std::function<std::string(const std::string& dir)> make;
    std::size_t lines;
    const char* told; // a regular expression for what is told, from its start
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

std::string writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

// A first line that reads, padded with comment lines to `size` bytes.
std::string paddedTo(std::size_t size) {
    std::string bytes = kPanLeft;
    const std::string comment = "#" + std::string(98, '-') + "\n";
    while (bytes.size() + comment.size() <= size) bytes += comment;
    bytes += std::string(size - bytes.size(), '#');
    return bytes;
}

const FileCase kCases[] = {
    {"RegularFileIsRead", [](const std::string& dir) { return writeFile(dir + "/p.ptz", kPanLeft); }, 1, "\\]"},
    {"FileOfOneMegabyteIsRead",
     [](const std::string& dir) { return writeFile(dir + "/big.ptz", paddedTo(tiltra::kMaxProtocolFileBytes)); }, 1,
     "\\]"},
    {"LargerFileIsRefused",
     [](const std::string& dir) { return writeFile(dir + "/huge.ptz", paddedTo(tiltra::kMaxProtocolFileBytes + 1)); },
     0, ".*larger than 1 MB"},
    {"PipeWithoutWriterIsRefusedAtOnce",
     [](const std::string& dir) {
         const std::string path = dir + "/fifo.ptz";
         ::mkfifo(path.c_str(), 0600);
         return path;
     },
     0, ".*not a regular file"},
    {"EndlessDeviceIsRefused", [](const std::string&) { return std::string("/dev/zero"); }, 0, ".*not a regular file"},
    {"FolderIsRefused", [](const std::string& dir) { return dir; }, 0, ".*not a regular file"},
    {"MissingFileGivesNoLines", [](const std::string& dir) { return dir + "/absent.ptz"; }, 0, ".*No such file"},
};

class ProtocolFileOpen : public tiltra::test::ProtocolFolder, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ProtocolFileOpen, ReturnsAtOnceWithTheLinesOfRegularFilesOnly) {
    const FileCase& c = GetParam();
    const std::string path = c.make(dir_.string());
    // In a child process, so that an open that waits or a read that never
    // ends is ended by the alarm and fails the test instead of hanging it.
    EXPECT_EXIT(
        {
            ::alarm(5);
            std::string told;
            platform::setDiagnosticSink([&told](const std::string& line) { told += line; });
            tiltra::test::Handle h = openFile(path);
            std::fprintf(stderr, "told: [%s]\n", told.c_str());
            std::exit(h != nullptr && h->lines.size() == c.lines ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), std::string("told: \\[") + c.told);
}

INSTANTIATE_TEST_SUITE_P(ChosenFiles, ProtocolFileOpen, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
