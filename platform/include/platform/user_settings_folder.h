// The user's own folder for the viewer's settings file, used when a program
// is started from the desktop menu rather than from a terminal:
// $XDG_CONFIG_HOME/Tavolin, else ~/.config/Tavolin, created owner-only.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder, created with owner-only rights when missing and made
// owner-only (0700) when it is there with wider rights; nothing when no home
// folder is known or it cannot be created.
std::optional<std::string> userSettingsFolder();

// Takes group and other rights away from the settings file in that folder
// (0644 becomes 0600, a read-only 0444 stays read-only as 0400), when it is a
// regular file of this user; anything else is left alone.
void keepOwnerOnly(const std::string& settingsFile);

} // namespace platform
