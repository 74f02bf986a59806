// One settings file held in memory: sections of key=value entries in the
// order first seen or added. Loaded once, by the first get or set; written
// whole, atomically, by save.
#pragma once

#include <functional>
#include <string>
#include <string_view>

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
  // False only when a record cannot be allocated.
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

  void loadOnce(const char* path);
  Section* findSection(std::string_view name);
  static Entry* findEntry(Section& section, std::string_view key);
  Section& appendSection(std::string_view name, std::string_view comment);
  Entry& appendEntry(Section& section, std::string_view key, std::string_view value,
                     std::string_view comment);
  void checkAllocation() const;
  const char* backUpOriginal();  // null, or the text of the failure

  FileOps& ops_;
  SectionList sections_;
  std::string path_;  // empty until loaded, and when the given path was too long to keep
  const char* lastError_ = nullptr;
  bool loaded_ = false;
  bool keepOriginal_ = false;
  std::function<bool()> allocationProbe_;
};

}  // namespace ledra
