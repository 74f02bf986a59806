// What an MPEG-4 Visual frame holds, as the first picture start code in it
// tells: for the receive thread, the recorder and the plug-ins alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace transport {

enum class Mpeg4Picture { None, Intra, Predicted };

// The coding type of the first intra or predicted picture (start code
// 00 00 01 B6, type in the top two bits of the byte after it) in `data`;
// bidirectional and sprite pictures are passed over. None when there is no
// such picture.
inline Mpeg4Picture firstMpeg4Picture(std::span<const uint8_t> data) {
    for (std::size_t i = 0; i + 4 < data.size(); ++i) {
        if (data[i] != 0x00 || data[i + 1] != 0x00 || data[i + 2] != 0x01 || data[i + 3] != 0xB6) continue;
        const unsigned codingType = data[i + 4] >> 6;
        if (codingType == 0) return Mpeg4Picture::Intra;
        if (codingType == 1) return Mpeg4Picture::Predicted;
    }
    return Mpeg4Picture::None;
}

} // namespace transport
