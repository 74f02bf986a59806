#include "tavolin/startup_check.h"

#include "tavolin/store_notices.h"

namespace tavolin {

std::string StartupCheck::refusal() const {
    if (path_.empty()) return "No settings file was given.";
    if (path_.size() <= kMaxSettingsPath) return {};
    return "The path of the settings file is longer than " + std::to_string(kMaxSettingsPath) +
           " bytes, so nothing could be saved to it:\n" + path_ + "\n\nTavolin does not start with it.";
}

std::string StartupCheck::takeLoadNotice(const CameraList& cameras) {
    if (told_ || cameras.loadNotices().empty()) return {};
    told_ = true;
    return joinedNotices(cameras.loadNotices()) +
           "\n\nWhat could not be read shows its defaults. Changes made now are not saved to the file.";
}

} // namespace tavolin
