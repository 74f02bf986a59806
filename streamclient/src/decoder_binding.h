// The decoder plug-in: chosen by processor name, bound by name.
#pragma once

#include <cstdint>
#include <string>

#include <decoder/contract.h>

#include "platform/module.h"
#include "platform/processor.h"

namespace ostrel {

using DecoderTable = decoder::FunctionTable;

// Decoder type 1 serves processors whose name or core name contains "PXA";
// every other processor, and an unreadable one, gets type 2.
int chooseDecoderType(const platform::ProcessorInfo& info);

// Offsets in the picture's bitmap information header.
inline constexpr std::size_t kBitmapHeaderSize = decoder::kPictureHeaderSize;
inline constexpr std::size_t kBitCountOffset = decoder::kBitCountOffset;
inline constexpr std::size_t kImageSizeOffset = decoder::kImageSizeOffset;

} // namespace ostrel
