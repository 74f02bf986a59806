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
// Saves decline to write a file that was not read to its end: what was not
// read would be lost.
inline constexpr const char* kLeftUnread = "file left as it is: its load stopped at a line it cannot read";
inline constexpr const char* kLeftUnreadable = "file left as it is: it could not be read";
// The file's mode gives its owner no write permission.
inline constexpr const char* kReadOnly = "file is read-only";
// A key or section name that the file could not give back as itself.
inline constexpr const char* kUnwritableName = "name cannot be written";

} // namespace ledra::errors
