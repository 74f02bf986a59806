// Texts of the protocol files we ship, compiled in (generated at configure).
#pragma once

namespace tiltra {

extern const char kBuiltinPelcoD[];
extern const char kBuiltinPelcoP[];

} // namespace tiltra
