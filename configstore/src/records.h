// The store's in-memory records. Each section and each entry is one
// fixed-size node that never moves, so a value pointer handed out stays valid
// (and shows later values of the same key) until the store is freed.
#pragma once

#include <list>

#include "text_field.h"

namespace ledra {

struct Entry {
    Field comment{}; // comment lines before the key line, as read, or empty
    Field key{};
    Field value{};
};

struct Section {
    Field comment{}; // comment lines before the header, as read, or empty
    Field name{};
    std::list<Entry> entries;
};

using SectionList = std::list<Section>;

} // namespace ledra
