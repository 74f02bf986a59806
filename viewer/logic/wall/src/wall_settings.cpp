#include "tavolin/wall_settings.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tavolin/camera_list.h"
#include "tavolin/camera_settings.h"

namespace tavolin {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

constexpr int kShortestTourSeconds = 2;
constexpr int kLongestTourSeconds = 24 * 60 * 60;

int readNumber(const CameraList& list, const char* section, const std::string& key) {
    return parseDecimal(list.value(section, key.c_str()).c_str());
}

std::optional<WallArrangement> readArrangement(const CameraList& list, int number) {
    const std::string n = std::to_string(number);
    const auto grid = wallLayoutOfCells(readNumber(list, kWallLayoutsSection, "Grid" + n));
    if (!grid) return std::nullopt;
    auto cells = parseCells(list.value(kWallLayoutsSection, ("Cells" + n).c_str()), *grid);
    if (!cells) return std::nullopt;
    std::string name = list.value(kWallLayoutsSection, ("Name" + n).c_str());
    if (name.empty()) name = "Layout " + n;
    return WallArrangement{std::move(name), *grid, std::move(*cells)};
}

std::vector<int> readLayoutNumbers(const std::string& text, int most) {
    std::vector<int> numbers;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const int number = parseDecimal(text.substr(from, comma - from).c_str());
        if (number >= 0 && number <= most) numbers.push_back(number);
        from = comma + 1;
    }
    return numbers;
}

bool save(CameraList& list, const char* section, const Values& values) {
    std::vector<std::pair<const char*, std::string>> pairs;
    pairs.reserve(values.size());
    for (const auto& [key, value] : values) pairs.emplace_back(key.c_str(), value);
    return list.saveValues(section, pairs);
}

} // namespace

WallSettings loadWallSettings(const CameraList& list) {
    WallSettings settings;
    const std::string layout = list.value(kWallSection, "WallLayout");
    if (auto known = wallLayoutOfCells(parseDecimal(layout.c_str()))) settings.layout = *known;
    // The grid holds a page beyond the last to the last.
    settings.page = std::max(0, parseDecimal(list.value(kWallSection, "WallPage").c_str()));
    const std::string screen = list.value(kWallSection, "WallScreen");
    if (!screen.empty()) settings.screen = std::max(-1, parseDecimal(screen.c_str()));

    const int count = std::clamp(readNumber(list, kWallLayoutsSection, "Count"), 0, kMostWallArrangements);
    const int shown = readNumber(list, kWallLayoutsSection, "Shown");
    for (int number = 1; number <= count; ++number) {
        auto arrangement = readArrangement(list, number);
        if (!arrangement) continue;
        settings.arrangements.push_back(std::move(*arrangement));
        if (number == shown) settings.shown = static_cast<int>(settings.arrangements.size());
    }

    const int most = static_cast<int>(settings.arrangements.size());
    settings.tour.layouts = readLayoutNumbers(list.value(kWallTourSection, "Layouts"), most);
    if (const int seconds = readNumber(list, kWallTourSection, "Seconds"); seconds > 0) {
        settings.tour.seconds = std::clamp(seconds, kShortestTourSeconds, kLongestTourSeconds);
    }
    settings.tour.holdOnMotion = list.value(kWallTourSection, "HoldOnMotion") != "0";
    return settings;
}

bool saveWallSettings(CameraList& list, const WallSettings& settings) {
    const Values wall{
        {"WallLayout", std::to_string(cellCount(settings.layout))},
        {"WallPage", std::to_string(settings.page)},
        {"WallScreen", std::to_string(settings.screen)},
    };
    Values layouts{
        {"Count", std::to_string(settings.arrangements.size())},
        {"Shown", std::to_string(settings.shown)},
    };
    for (std::size_t i = 0; i < settings.arrangements.size(); ++i) {
        const WallArrangement& arrangement = settings.arrangements[i];
        const std::string n = std::to_string(i + 1);
        // A name that would not come back as itself is kept as its first line.
        std::string name = arrangement.name.substr(0, arrangement.name.find_first_of("\r\n"));
        layouts.emplace_back("Name" + n, std::move(name));
        layouts.emplace_back("Grid" + n, std::to_string(cellCount(arrangement.grid)));
        layouts.emplace_back("Cells" + n, cellsText(arrangement));
    }
    std::string numbers;
    for (const int number : settings.tour.layouts) {
        if (!numbers.empty()) numbers += ',';
        numbers += std::to_string(number);
    }
    const Values tour{
        {"Layouts", numbers},
        {"Seconds", std::to_string(settings.tour.seconds)},
        {"HoldOnMotion", settings.tour.holdOnMotion ? "1" : "0"},
    };
    return save(list, kWallSection, wall) && save(list, kWallLayoutsSection, layouts) &&
           save(list, kWallTourSection, tour);
}

} // namespace tavolin
