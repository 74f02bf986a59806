// One settings file held in memory: sections of key=value entries in the
// order first seen or added. Loaded once, by the first get or set; written
// whole, atomically, by save.
#pragma once

#include <functional>
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
  // True when the whole file reached the disk.
  bool save();

  // Internal view, for tests; the C interface hands none of this out.
  const char* lastError() const { return lastError_; }
  bool isLoaded() const { return loaded_; }
  const std::string& filePath() const { return path_; }
  // The load stopped part-way (or the file could not be read): the next save
  // first keeps the file as it is now in "<path>.bak".
  bool keepsOriginal() const { return keepOriginal_; }
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
  const char* backUpOriginal();  // null, or the text of the failure

  FileOps& ops_;
  SectionList sections_;
  TextIndex<IndexedSection> sectionIndex_;
  std::string path_;  // empty until loaded, and when the given path was too long to keep
  const char* lastError_ = nullptr;
  bool loaded_ = false;
  bool keepOriginal_ = false;
  std::function<bool()> allocationProbe_;
};

}  // namespace ledra
