#include "live/live_pictures.h"

#include <QtGlobal>
#include <array>
#include <mutex>

// Resources compiled into a static library are registered by hand; the macro
// must be used outside any namespace.
static void registerViewerResources() { Q_INIT_RESOURCE(live_pictures); }

namespace tavolin::ui::pictures {

QString indicator(int index) {
    static const std::array<const char*, 6> kNames = {"md1", "md2", "md3", "md4", "di1", "di2"};
    if (index < 0 || index >= static_cast<int>(kNames.size())) return {};
    return QStringLiteral(":/live/indicator_%1").arg(QLatin1String(kNames[static_cast<std::size_t>(index)]));
}

void load() {
    static std::once_flag once;
    std::call_once(once, registerViewerResources);
}

} // namespace tavolin::ui::pictures
