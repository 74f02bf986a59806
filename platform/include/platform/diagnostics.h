// Where the reasons behind failures go, so that a person can read why a
// connect, a plug-in load, a save or a PTZ file failed. Every export still
// answers 0 or -1 as before; the reason is only told, never acted on.
//
// One sink serves the whole process: it lives in libTavolinDiagnostics.so,
// not in the copies of the static platform library inside each plug-in.
// It is silent until a program sets a sink, or while TAVOLIN_DEBUG=1 is in
// the environment and no sink is set (reasons then go to standard error).
//
// A reason also belongs to the work it was told for: a thread inside a
// ReasonScope keeps every line it tells in that scope's ReasonSlot, silent or
// not, so that each camera's stream knows its own last reason however many
// streams run at once. Worker threads keep telling for their starter's work
// (platform/worker_thread.h). Lines are made printable (platform/printable_text.h)
// before anyone gets them: they may quote what a device sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#define TAVOLIN_DIAGNOSTICS_API __attribute__((visibility("default")))

namespace platform {

// Receives one line, without a line end. Calls are serialised; a sink must
// not itself report a diagnostic.
using DiagnosticSink = std::function<void(const std::string& line)>;

// Installs the sink (an empty one returns to the default) and returns the
// one it replaces.
TAVOLIN_DIAGNOSTICS_API DiagnosticSink setDiagnosticSink(DiagnosticSink sink);

// Whether a line would reach anyone (a sink, standard error or the calling
// thread's reason slot); lets callers skip building it.
TAVOLIN_DIAGNOSTICS_API bool diagnosticsOn();

// Keeps the line in the calling thread's reason slot, if any, and hands it
// to the sink; the sink gets nothing while diagnostics are silent.
TAVOLIN_DIAGNOSTICS_API void diagnose(const std::string& line);

// The last line told on behalf of one piece of work, e.g. one camera's
// stream. Any thread may read it while another tells.
class TAVOLIN_DIAGNOSTICS_API ReasonSlot {
public:
    ReasonSlot() = default;
    ReasonSlot(const ReasonSlot&) = delete;
    ReasonSlot& operator=(const ReasonSlot&) = delete;

    // Longer lines are cut (at a character's end) to this many bytes.
    static constexpr std::size_t kMaxBytes = 1024;

    // The last line kept; empty when none was.
    std::string last() const;
    // How many lines were kept so far: whether a step told anything.
    uint64_t count() const { return count_.load(); }
    void keep(const std::string& line);

private:
    mutable std::mutex mutex_;
    std::string last_;
    std::atomic<uint64_t> count_{0};
};

// The slot the calling thread keeps its lines in (its innermost ReasonScope's);
// null outside every scope.
TAVOLIN_DIAGNOSTICS_API ReasonSlot* currentReasonSlot();

// While it lives, the lines this thread tells are kept in `slot` too (null:
// in none). Scopes nest: the innermost one keeps, and the one it hid keeps
// again once it ends. The slot must outlive the scope.
class TAVOLIN_DIAGNOSTICS_API ReasonScope {
public:
    explicit ReasonScope(ReasonSlot* slot);
    ~ReasonScope();
    ReasonScope(const ReasonScope&) = delete;
    ReasonScope& operator=(const ReasonScope&) = delete;

private:
    ReasonSlot* outer_;
};

// The sink that writes each line to standard error.
TAVOLIN_DIAGNOSTICS_API void writeToStandardError(const std::string& line);

// A short text for an error number of a system call ("connection refused",
// "timed out"); "error N" for numbers without a text.
TAVOLIN_DIAGNOSTICS_API std::string describeSystemError(int error);

} // namespace platform
