// The item's icons, built into the library from today/icons.
#pragma once

#include <vector>

#include "windowing/drawing.h"

const std::vector<windowing::IconResource>& todayIconResources();
