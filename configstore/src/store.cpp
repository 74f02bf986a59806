#include "store.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>

#include "atomic_file.h"
#include "errors.h"
#include "ini_reader.h"
#include "ini_writer.h"
#include "platform/diagnostics.h"

namespace ledra {
namespace {

constexpr const char* kEmptyText = "";

// The text before the first line break: a value stays one line of the file
// (a line feed inside it would start lines of their own, even headers of
// other sections).
std::string_view firstLine(std::string_view text) { return text.substr(0, text.find_first_of("\r\n")); }

// A section name that a header line gives back as itself, with key lines
// after it that load.
bool fitsHeader(std::string_view name) {
    return !name.empty() && name.find_first_of("]\r\n") == std::string_view::npos;
}

// A key that its key line gives back as itself, not as a header, a comment
// or another key.
bool fitsKey(std::string_view key) {
    if (!key.empty() && (key.front() == '[' || key.front() == '#' || key.front() == ';')) return false;
    return key.find_first_of("=\r\n") == std::string_view::npos;
}

// Tells a person reading the diagnostics (the viewer shows them) what the
// store did with the file and why.
void tell(const std::string& line) {
    if (platform::diagnosticsOn()) platform::diagnose("Ledra-M: " + line);
}

} // namespace

// Applies what the reader finds: a repeated header or key updates the record
// first seen, which keeps its place.
class Store::FileSink : public IniSink {
public:
    explicit FileSink(Store& store) : store_(store) {}

    bool onSection(std::string_view name, std::string_view comment) override {
        try {
            if (IndexedSection* s = store_.findSection(name)) {
                copyField(s->section->comment, comment);
            } else {
                store_.appendSection(name, comment);
            }
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool onEntry(std::string_view section, std::string_view key, std::string_view value,
                 std::string_view comment) override {
        try {
            IndexedSection* s = store_.findSection(section);
            if (s == nullptr) s = &store_.appendSection(section, {});
            if (Entry* e = findEntry(*s, key)) {
                copyField(e->value, value);
                copyField(e->comment, comment);
            } else {
                store_.appendEntry(*s, key, value, comment);
            }
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

private:
    Store& store_;
};

void Store::loadOnce(const char* path) {
    if (loaded_) return;
    loaded_ = true;
    lastError_ = nullptr;

    // A path that does not fit the path field is not cut: a cut path names some
    // other file, which a later save would overwrite. Such a store reads
    // nothing and writes nothing.
    const std::size_t len = path ? std::strlen(path) : 0;
    if (len == 0 || len > kMaxText) {
        lastError_ = errors::kInitialParse;
        return;
    }
    path_.assign(path, len);

    errno = 0;
    std::optional<FileCopy> file = readRegularFile(ops_, path_);
    if (!file) {
        const int error = errno;
        lastError_ = errors::kInitialParse;
        // No file yet: the first save creates it.
        if (error == ENOENT || error == ENOTDIR) return;
        declined_ = errors::kLeftUnreadable;
        // EINVAL is what the read gives a pipe or device in the file's place.
        const std::string why = error == EINVAL  ? "not a regular file"
                                : error == EFBIG ? "larger than " + std::to_string(kMaxFileBytes / 1024) + " KB"
                                                 : platform::describeSystemError(error);
        tell(path_ + " could not be read (" + why + "); the file will be left as it is");
        return;
    }
    FileSink sink(*this);
    const ReadOutcome outcome = readIni(file->bytes, sink);
    onDisk_ = std::move(file->bytes);
    if (outcome.result != ReadResult::kOk) {
        // What was read before the failing line stays in memory.
        lastError_ = errors::kInitialParse;
        declined_ = errors::kLeftUnread;
        stoppedAtLine_ = outcome.line;
        const char* why = outcome.why != nullptr ? outcome.why : "no memory for it";
        tell("line " + std::to_string(outcome.line) + " of " + path_ + " could not be read (" + why +
             "); the file will be left as it is");
    }
}

Store::IndexedSection* Store::findSection(std::string_view name) {
    const auto it = sectionIndex_.find(name);
    return it == sectionIndex_.end() ? nullptr : &it->second;
}

Entry* Store::findEntry(IndexedSection& section, std::string_view key) {
    const auto it = section.keys.find(key);
    return it == section.keys.end() ? nullptr : it->second;
}

void Store::checkAllocation() const {
    if (allocationProbe_ && !allocationProbe_()) throw std::bad_alloc();
}

// The list and its index change together: a record the index could not take
// is taken back off the list.
Store::IndexedSection& Store::appendSection(std::string_view name, std::string_view comment) {
    checkAllocation();
    Section& s = sections_.emplace_back();
    copyField(s.name, name);
    copyField(s.comment, comment);
    try {
        IndexedSection& indexed = sectionIndex_[std::string(s.name)];
        indexed.section = &s;
        return indexed;
    } catch (...) {
        sections_.pop_back();
        throw;
    }
}

Entry& Store::appendEntry(IndexedSection& section, std::string_view key, std::string_view value,
                          std::string_view comment) {
    checkAllocation();
    std::list<Entry>& entries = section.section->entries;
    Entry& e = entries.emplace_back();
    copyField(e.key, key);
    copyField(e.value, value);
    copyField(e.comment, comment);
    try {
        section.keys.emplace(std::string(e.key), &e);
    } catch (...) {
        entries.pop_back();
        throw;
    }
    return e;
}

const char* Store::getValue(const char* key, const char* section, const char* path) {
    loadOnce(path);
    IndexedSection* s = findSection(fieldText(section));
    if (s == nullptr) return kEmptyText;
    const Entry* e = findEntry(*s, fieldText(key));
    return e ? e->value : kEmptyText;
}

bool Store::setValue(const char* key, const char* value, const char* section, const char* path) {
    loadOnce(path);
    lastError_ = nullptr;
    const std::string_view name = fieldText(section);
    const std::string_view keyText = fieldText(key);
    if (!fitsHeader(name) || !fitsKey(keyText)) {
        lastError_ = errors::kUnwritableName;
        return false;
    }
    const std::string_view valueText = firstLine(fieldText(value));
    try {
        IndexedSection* s = findSection(name);
        if (s == nullptr) s = &appendSection(name, {});
        if (Entry* e = findEntry(*s, keyText)) {
            copyField(e->value, valueText);
            e->comment[0] = '\0';
        } else {
            appendEntry(*s, keyText, valueText, {});
        }
    } catch (const std::bad_alloc&) {
        lastError_ = errors::kNoMemory;
        return false;
    }
    return true;
}

std::string Store::unusedCopyName() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path_ + "." + stamp;
    std::string name = base + ".bak";
    struct stat st {};
    for (int n = 2; ops_.lstat(name.c_str(), &st) == 0; ++n) name = base + "-" + std::to_string(n) + ".bak";
    return name;
}

bool Store::keepChangedVersion() {
    errno = 0;
    const std::optional<FileCopy> present = readRegularFile(ops_, path_);
    if (!present) {
        if (errno == ENOENT) return true; // gone: nothing left to keep
        lastError_ = errors::kOpenFile;   // what it holds cannot be told: not replaced
        return false;
    }
    if (onDisk_ && *onDisk_ == present->bytes) return true;
    const std::string copy = unusedCopyName();
    switch (replaceFile(ops_, copy, present->bytes, present->mode)) {
    case ReplaceResult::kOk: break;
    case ReplaceResult::kWriteFailed: lastError_ = errors::kWriteFile; return false;
    case ReplaceResult::kOpenFailed:
    case ReplaceResult::kReadOnly: lastError_ = errors::kOpenFile; return false;
    }
    keptCopy_ = copy;
    tell(path_ + " was changed by another program since it was read; that version is kept in " + copy);
    return true;
}

bool Store::save() {
    lastError_ = nullptr;
    // An unloaded store has no path, and a path that was too long was never
    // kept: there is no file to write.
    if (path_.empty()) {
        lastError_ = errors::kOpenFile;
        return false;
    }
    if (declined_ != nullptr) {
        lastError_ = declined_;
        return false;
    }
    std::string bytes;
    try {
        bytes = writeIni(sections_);
    } catch (const std::bad_alloc&) {
        lastError_ = errors::kNoMemory;
        return false;
    }
    struct stat st {};
    if (ops_.stat(path_.c_str(), &st) == 0 && isReadOnly(st)) {
        lastError_ = errors::kReadOnly;
        return false;
    }
    if (!keepChangedVersion()) return false;
    switch (replaceFile(ops_, path_, bytes)) {
    case ReplaceResult::kOk: onDisk_ = std::move(bytes); return true;
    case ReplaceResult::kOpenFailed: lastError_ = errors::kOpenFile; return false;
    case ReplaceResult::kReadOnly: lastError_ = errors::kReadOnly; return false;
    case ReplaceResult::kWriteFailed: break;
    }
    lastError_ = errors::kWriteFile;
    return false;
}

} // namespace ledra
