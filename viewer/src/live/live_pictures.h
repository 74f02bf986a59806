// The live view's pictures in the program's resources.
#pragma once

#include <QString>

#include "live/ptz_sectors.h"

namespace tavolin::ui::pictures {

inline const QString kBackgroundPlain = QStringLiteral(":/live/background_plain");
inline const QString kBackgroundConnecting = QStringLiteral(":/live/background_connecting");
inline const QString kBackgroundFailed = QStringLiteral(":/live/background_failed");

// MD1, MD2, MD3, MD4, DI1, DI2.
QString indicator(int index);

// The sector's 24 x 24 arrow picture.
QString ptzArrow(PtzSector sector);

// Makes the resources of the viewer library available; safe to call often.
void load();

} // namespace tavolin::ui::pictures
