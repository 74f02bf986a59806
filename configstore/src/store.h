// One settings file held in memory: sections of key=value entries in the
// order first seen or added. Loaded once, by the first get or set; written
// whole, atomically, by save.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "file_ops.h"
#include "records.h"

namespace ledra {

class Store {
public:
    explicit Store(FileOps& ops = FileOps::system()) : ops_(ops) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Never null; an empty text when the section or key does not exist.
    const char* getValue(const char* key, const char* section, const char* path);
    // A value is kept up to its first CR or LF, so that it stays one line of
    // the file. False when a record cannot be allocated, or when the key or
    // section name could not be read back from the file as itself (an empty
    // section name, "]" in a name, a key holding "=" or starting like a
    // header or comment line, a line break in either); nothing is stored then.
    bool setValue(const char* key, const char* value, const char* section, const char* path);
    // True when the whole file reached the disk. A file that was not read to
    // its end (a line the format cannot take, or no read at all) is never
    // written: saving it would drop what was not read. A file whose mode gives
    // its owner no write permission is not replaced. A file that another
    // program changed since it was read or written here is first kept beside
    // it, as "<path>.<date>-<time>.bak".
    bool save();

    // Internal view, for tests; the C interface hands none of this out.
    const char* lastError() const { return lastError_; }
    bool isLoaded() const { return loaded_; }
    const std::string& filePath() const { return path_; }
    // The load stopped part-way, or the file could not be read: saves leave
    // the file as it is.
    bool declinesSaves() const { return declined_ != nullptr; }
    // The 1-based line the load stopped at, or 0.
    std::size_t stoppedAtLine() const { return stoppedAtLine_; }
    // Where the last save kept a version that another program had written, or
    // empty.
    const std::string& keptCopy() const { return keptCopy_; }
    const SectionList& sections() const { return sections_; }
    // Called before every record allocation; returning false makes that
    // allocation fail as if memory had run out.
    void setAllocationProbe(std::function<bool()> probe) { allocationProbe_ = std::move(probe); }

private:
    class FileSink;

    // Lookups by text without building a string for every query.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    template <class T>
    using TextIndex = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

    // A section and the index of its keys. The lists keep file order; the
    // indexes only point into them (list nodes never move).
    struct IndexedSection {
        Section* section = nullptr;
        TextIndex<Entry*> keys;
    };

    void loadOnce(const char* path);
    IndexedSection* findSection(std::string_view name);
    static Entry* findEntry(IndexedSection& section, std::string_view key);
    IndexedSection& appendSection(std::string_view name, std::string_view comment);
    Entry& appendEntry(IndexedSection& section, std::string_view key, std::string_view value, std::string_view comment);
    void checkAllocation() const;
    // Keeps the file's present content beside it when it is not what this
    // store last read or wrote. False, with the last error set, when that
    // cannot be done or the file cannot be read to compare.
    bool keepChangedVersion();
    std::string unusedCopyName() const;

    FileOps& ops_;
    SectionList sections_;
    TextIndex<IndexedSection> sectionIndex_;
    std::string path_; // empty until loaded, and when the given path was too long to keep
    const char* lastError_ = nullptr;
    bool loaded_ = false;
    const char* declined_ = nullptr; // why saves leave the file alone, or null
    std::size_t stoppedAtLine_ = 0;
    // The file's bytes as last read or written here; none while there was no file.
    std::optional<std::string> onDisk_;
    std::string keptCopy_;
    std::function<bool()> allocationProbe_;
};

} // namespace ledra
