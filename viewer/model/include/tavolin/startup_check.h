// What the viewer checks and tells about its settings file at start: a path
// the store cannot keep is refused before anything else, and what the load
// of the file told (a line it could not read, a file it could not read at
// all) is told once, with the word that the file is left as it is.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "tavolin/camera_list.h"

namespace tavolin {

class StartupCheck {
public:
    // The longest path the store keeps; with a longer one it reads and writes
    // nothing, so every save would fail.
    static constexpr std::size_t kMaxSettingsPath = 254;

    explicit StartupCheck(std::string settingsPath) : path_(std::move(settingsPath)) {}

    // Why the program does not start with this path, for the user; empty when
    // it can.
    std::string refusal() const;

    // The first time: what the load of `cameras` told, as one text for the
    // user; empty when it told nothing, and on every later call.
    std::string takeLoadNotice(const CameraList& cameras);

private:
    std::string path_;
    bool told_ = false;
};

} // namespace tavolin
