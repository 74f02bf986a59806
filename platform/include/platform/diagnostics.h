// Where the reasons behind failures go, so that a person can read why a
// connect, a plug-in load, a save or a PTZ file failed. Every export still
// answers 0 or -1 as before; the reason is only told, never acted on.
//
// One sink serves the whole process: it lives in libTavolinDiagnostics.so,
// not in the copies of the static platform library inside each plug-in.
// It is silent until a program sets a sink, or while TAVOLIN_DEBUG=1 is in
// the environment and no sink is set (reasons then go to standard error).
#pragma once

#include <functional>
#include <string>

#define TAVOLIN_DIAGNOSTICS_API __attribute__((visibility("default")))

namespace platform {

// Receives one line, without a line end. Calls are serialised; a sink must
// not itself report a diagnostic.
using DiagnosticSink = std::function<void(const std::string& line)>;

// Installs the sink (an empty one returns to the default) and returns the
// one it replaces.
TAVOLIN_DIAGNOSTICS_API DiagnosticSink setDiagnosticSink(DiagnosticSink sink);

// Whether a line would reach anyone; lets callers skip building it.
TAVOLIN_DIAGNOSTICS_API bool diagnosticsOn();

// Hands the line to the sink; nothing happens while diagnostics are silent.
TAVOLIN_DIAGNOSTICS_API void diagnose(const std::string& line);

// The sink that writes each line to standard error.
TAVOLIN_DIAGNOSTICS_API void writeToStandardError(const std::string& line);

// A short text for an error number of a system call ("connection refused",
// "timed out"); "error N" for numbers without a text.
TAVOLIN_DIAGNOSTICS_API std::string describeSystemError(int error);

} // namespace platform
