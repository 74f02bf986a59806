// Turns the records back into the file format: no blank lines, sections one
// after the other, each comment block on the lines before its item.
#pragma once

#include <string>

#include "records.h"

namespace ledra {

std::string writeIni(const SectionList& sections);

} // namespace ledra
