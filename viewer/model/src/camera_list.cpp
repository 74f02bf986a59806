#include "tavolin/camera_list.h"

#include <string>
#include <utility>

#include "tavolin/camera_settings.h"
#include "tavolin/store_notices.h"

namespace tavolin {

CameraList::CameraList(std::string path) : path_(std::move(path)) {
    // Without a store (it could not be allocated) the list holds defaults and
    // every save fails.
    store_ = CM_OpenInterface();
    loadAll();
}

CameraList::~CameraList() { close(); }

void CameraList::loadAll() {
    const StoreNotices notices(loadNotices_);
    for (int i = 0; i < kCameraCount; ++i) {
        const std::string section = std::to_string(i);
        records_[i] = recordFromValues(i, [&](const char* key) -> const char* {
            // The first lookup makes the store read the file.
            return store_ ? CM_GetValue(store_, key, section.c_str(), path_.c_str()) : "";
        });
    }
}

CameraRecord* CameraList::record(int position) {
    return position >= 0 && position < kCameraCount ? &records_[position] : nullptr;
}

const CameraRecord* CameraList::record(int position) const {
    return position >= 0 && position < kCameraCount ? &records_[position] : nullptr;
}

bool CameraList::saveRecord(CameraRecord record) {
    if (store_ == nullptr || record.index < 0 || record.index >= kCameraCount) return false;
    const StoreNotices notices(saveNotices_);
    const std::string section = std::to_string(record.index);
    for (const auto& [key, value] : valuesForSave(record)) {
        // Values already set stay in the store and reach the file with the next
        // save or close; the record in memory keeps its old contents.
        if (CM_SetValue(store_, key, value.c_str(), section.c_str(), path_.c_str()) != 1) return false;
    }
    records_[record.index] = record;
    return CM_Save(store_) == 1;
}

std::string CameraList::value(const char* section, const char* key) const {
    return store_ ? CM_GetValue(store_, key, section, path_.c_str()) : "";
}

bool CameraList::saveValues(const char* section, std::span<const std::pair<const char*, std::string>> values) {
    if (store_ == nullptr) return false;
    const StoreNotices notices(saveNotices_);
    for (const auto& [key, value] : values) {
        if (CM_SetValue(store_, key, value.c_str(), section, path_.c_str()) != 1) return false;
    }
    return CM_Save(store_) == 1;
}

void CameraList::close() {
    if (store_ == nullptr) return;
    const StoreNotices notices(saveNotices_);
    CM_CloseInterface(store_);
    store_ = nullptr;
}

} // namespace tavolin
