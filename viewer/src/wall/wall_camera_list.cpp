#include "wall/wall_camera_list.h"

#include <QDrag>
#include <QMimeData>

#include "tavolin/camera_record.h"

namespace tavolin::ui {
namespace {

constexpr const char* kCameraMime = "application/x-tavolin-wall-camera";

} // namespace

WallCameraList::WallCameraList(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::NoFocus); // the wall keeps the keys
}

void WallCameraList::addCamera(int position, const QString& name) {
    auto* item = new QListWidgetItem(name, this);
    item->setData(Qt::UserRole, position);
}

QMimeData* WallCameraList::cameraData(int position) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kCameraMime), QByteArray::number(position));
    return data;
}

std::optional<int> WallCameraList::cameraOf(const QMimeData* data) {
    if (data == nullptr || !data->hasFormat(QString::fromLatin1(kCameraMime))) return std::nullopt;
    bool ok = false;
    const int position = data->data(QString::fromLatin1(kCameraMime)).toInt(&ok);
    if (!ok || position < 0 || position >= kCameraCount) return std::nullopt;
    return position;
}

void WallCameraList::startDrag(Qt::DropActions /*supportedActions*/) {
    const QListWidgetItem* item = currentItem();
    if (item == nullptr) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(cameraData(item->data(Qt::UserRole).toInt()));
    drag->exec(Qt::CopyAction);
}

} // namespace tavolin::ui
