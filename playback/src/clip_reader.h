// One of Tavolin's clips read back with libavformat: what its header says
// (start time, camera, length, codec) and its coded pictures in order, as
// Annex-B a decoder or a new clip takes, from the key picture at or before
// any time. The file is read through our own descriptor: no protocol is
// looked up, so a file name never turns into an address.
#pragma once

#include <decoder/contract.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace playback {

struct ClipPicture {
    int64_t clipMs = 0; // from the clip's first picture
    bool key = false;
    std::vector<uint8_t> data;
};

class ClipReader {
public:
    // Reads the header only; nothing, with the reason, when the file is not
    // a clip with a picture track we decode.
    static std::unique_ptr<ClipReader> open(const std::string& path, std::string& error);
    ~ClipReader();
    ClipReader(const ClipReader&) = delete;
    ClipReader& operator=(const ClipReader&) = delete;

    // The first picture's wall-clock time as written in the file.
    std::optional<int64_t> writtenStartMs() const { return writtenStartMs_; }
    const std::string& title() const { return title_; }
    // The clip's length as written at its end; nothing for a clip cut off.
    std::optional<int64_t> durationMs() const { return durationMs_; }
    DecoderCodec codec() const { return codec_; }

    // The next reads start at the key picture at or before clipMs (the first
    // picture for a time before it).
    bool seek(int64_t clipMs);
    enum class Read { Picture, End, Failed };
    Read read(ClipPicture& picture, std::string& error);

    struct Av;

private:
    ClipReader();
    bool openFile(const std::string& path, std::string& error);

    std::unique_ptr<Av> av_;
    std::optional<int64_t> writtenStartMs_;
    std::string title_;
    std::optional<int64_t> durationMs_;
    DecoderCodec codec_ = kDecoderCodecH264;
};

} // namespace playback
