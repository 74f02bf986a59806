// Texts of the last failure a store keeps. They are never handed out through
// the C interface; tests read them through Store::lastError().
#pragma once

namespace ledra::errors {

inline constexpr const char* kOpenFile = "open file error";
inline constexpr const char* kParse = "parse ini error";
inline constexpr const char* kInitialParse = "initial parse file error";
inline constexpr const char* kNoMemory = "cannot malloc memory !";
// The file could be opened but the data did not reach the disk (a failed
// write, flush, close or rename); the old file is left as it was.
inline constexpr const char* kWriteFile = "write file error";
// A key or section name that the file could not give back as itself.
inline constexpr const char* kUnwritableName = "name cannot be written";

}  // namespace ledra::errors
