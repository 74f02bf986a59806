// Where tavolin-watch takes a camera's password from so that it never shows
// in the process list: a private file, or the terminal with echo off.
#pragma once

#include <cstddef>
#include <string>

namespace watch {

// The first line of the file at `path`, its line end (LF or CR LF) taken
// off. Refused with a message in `error`: a file that cannot be read, a
// regular file that its group or others may read (a pipe such as
// <(pass show camera) is fine), and a password longer than `limit` bytes.
bool readPasswordFile(const std::string& path, std::size_t limit, std::string& password, std::string& error);

// Whether standard input is a terminal one can be asked on.
bool canPrompt();

// Writes `prompt` to standard error and reads one line from standard input
// with echo off; the terminal's settings come back however it ends. False
// with a message when nothing could be read, on Ctrl-C, or when the line is
// longer than `limit` bytes.
bool promptPassword(const std::string& prompt, std::size_t limit, std::string& password, std::string& error);

// Overwrites an argument in place with `replacement` (no longer than the
// argument) and zero bytes after it, so that the process list (ps,
// /proc/PID/cmdline) shows the replacement from then on.
void overwriteArgument(char* argument, const std::string& replacement = {});

} // namespace watch
