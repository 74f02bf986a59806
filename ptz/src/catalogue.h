// The vendor catalogue, the command name table, the listings and the
// built-in protocol texts.
#pragma once

#include <string_view>

#include "context.h"

namespace tiltra {

inline constexpr int kCatalogueRows = 17;
inline constexpr int kProtocolSlots = 5;

struct CatalogueRow {
    char name[16];
    char protocols[kProtocolSlots][16];
};

extern const CatalogueRow kCatalogue[kCatalogueRows];
extern const char kCommandTable[kCommandTableSize][16];

// Built-in text named vendor_protocol, or an empty view when there is none.
std::string_view builtinText(std::string_view name);

// Listing texts. Each returns null where the exported function does and
// writes the text's length to `length` when it returns a text.
const char* listSections(PTZContext& context, int* length);
const char* listCommandNames(PTZContext& context, int* length);
const char* listCatalogue(int* length);
const char* listProtocols(const char* vendor, int* length);

} // namespace tiltra
