// The 16 camera records and the settings file behind them. Construction
// loads every record (defaults for whatever the file lacks); destruction
// closes the store, which writes the file once more.
#pragma once

#include <array>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ledra/config_store.h"
#include "tavolin/camera_record.h"

namespace tavolin {

// Relative to the current folder, as the viewer has always kept it.
inline constexpr const char* kSettingsPath = "./Tavolin.txt";

class CameraList {
public:
    explicit CameraList(std::string path = kSettingsPath);
    ~CameraList();
    CameraList(const CameraList&) = delete;
    CameraList& operator=(const CameraList&) = delete;

    // The record at position 0..15, or null outside that range. The address
    // stays valid for the life of the list.
    CameraRecord* record(int position);
    const CameraRecord* record(int position) const;

    // Writes `record` into the section named by its index and, once every key
    // is set, makes it the record at that index. True when the file was
    // written. An index outside 0..15 is refused and changes nothing.
    bool saveRecord(CameraRecord record);

    // Settings beside the cameras' (a section of their own, which readers of
    // the camera sections pass over), kept in the same store so that one file
    // holds everything. Empty when unset or without a store.
    std::string value(const char* section, const char* key) const;
    // Sets every key of `section` and writes the file. False when a value
    // could not be set or the file not written.
    bool saveValues(const char* section, std::span<const std::pair<const char*, std::string>> values);

    // Closes the store (writing the file once more). Later saves fail.
    void close();

    // False when the store could not be opened: the list then holds defaults.
    bool hasStore() const { return store_ != nullptr; }
    const std::string& path() const { return path_; }

    // What the store told while loading, as sentences for the user: a line of
    // the file it could not read, or a file it could not read at all, and that
    // it leaves the file as it is (every save then fails). Empty when the file
    // was read to its end or did not exist.
    const std::vector<std::string>& loadNotices() const { return loadNotices_; }
    // What the store told during saves and the close since the last call:
    // where it kept a version of the file that another program wrote.
    std::vector<std::string> takeSaveNotices() { return std::exchange(saveNotices_, {}); }

private:
    void loadAll();

    std::string path_;
    CM_Store* store_ = nullptr;
    std::vector<std::string> loadNotices_;
    std::vector<std::string> saveNotices_;
    std::array<CameraRecord, kCameraCount> records_{};
};

} // namespace tavolin
