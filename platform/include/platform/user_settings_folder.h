// The user's own folder for the viewer's settings file, used when a program
// is started from the desktop menu rather than from a terminal:
// $XDG_CONFIG_HOME/Tavolin, else ~/.config/Tavolin, created owner-only.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder, created with owner-only rights when missing; nothing when no
// home folder is known or it cannot be created.
std::optional<std::string> userSettingsFolder();

} // namespace platform
