// The item's icons, built into the library from today/icons.
#pragma once

#include <vector>

#include "platform/drawing.h"

const std::vector<platform::IconResource>& todayIconResources();
