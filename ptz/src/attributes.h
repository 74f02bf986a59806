// The attribute scan of a protocol text and the checksum rule parser.
#pragma once

#include "context.h"

namespace tiltra {

// Reads ADDRIDSTART, ADDRIDPOS, CHECKSUM, INTERVAL, MOUSEPTZ and PANEL from
// the context's lines; each keyword from its first line only.
void scanAttributes(PTZContext& context);

// Parses a rule like $B7=$B2+$B3+$B4+$B5+$B6 and switches the checksum on.
void parseChecksumRule(const char* rule, ChecksumRule& out);

} // namespace tiltra
