#include "live/live_pictures.h"

#include <QtGlobal>
#include <array>
#include <mutex>

// Resources compiled into a static library are registered by hand; the macro
// must be used outside any namespace.
static void registerViewerResources() {
    Q_INIT_RESOURCE(live_pictures);
    Q_INIT_RESOURCE(ptz_arrows);
}

namespace tavolin::ui::pictures {

QString indicator(int index) {
    static const std::array<const char*, 6> kNames = {"md1", "md2", "md3", "md4", "di1", "di2"};
    if (index < 0 || index >= static_cast<int>(kNames.size())) return {};
    return QStringLiteral(":/live/indicator_%1").arg(QLatin1String(kNames[static_cast<std::size_t>(index)]));
}

QString ptzArrow(PtzSector sector) {
    load();
    switch (sector) {
    case PtzSector::UpLeft: return QStringLiteral(":/ptz/up_left.png");
    case PtzSector::Left: return QStringLiteral(":/ptz/left.png");
    case PtzSector::DownLeft: return QStringLiteral(":/ptz/down_left.png");
    case PtzSector::Up: return QStringLiteral(":/ptz/up.png");
    case PtzSector::ZoomIn: return QStringLiteral(":/ptz/zoom_in.png");
    case PtzSector::ZoomOut: return QStringLiteral(":/ptz/zoom_out.png");
    case PtzSector::Down: return QStringLiteral(":/ptz/down.png");
    case PtzSector::UpRight: return QStringLiteral(":/ptz/up_right.png");
    case PtzSector::Right: return QStringLiteral(":/ptz/right.png");
    case PtzSector::DownRight: return QStringLiteral(":/ptz/down_right.png");
    }
    return {};
}

void load() {
    static std::once_flag once;
    std::call_once(once, registerViewerResources);
}

} // namespace tavolin::ui::pictures
