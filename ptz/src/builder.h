// Finding the command line of a request and building its bytes.
#pragma once

#include <cstddef>

#include "context.h"

namespace tiltra {

// Walks the lines from the start; on a match builds the bytes into the
// context's output and makes `name` the last command. A miss changes nothing.
bool findAndBuild(PTZContext& context, const char* name, int param1, int param2);

// Two upper-case hexadecimal digits per byte; `out` holds 2 * count + 1.
void formatHex(const unsigned char* bytes, int count, char* out);

// The context's last build in its output mode (bytes, hex text or URL).
// Null and count 0 in any other mode.
const void* resultInOutputMode(PTZContext& context, int* count);

} // namespace tiltra
