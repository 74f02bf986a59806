// One fuzz entry for the protocol reader, the attribute scan and the command
// builder; libFuzzer drives it, and a bounded random test runs it everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
