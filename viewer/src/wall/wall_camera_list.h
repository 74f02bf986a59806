// The list of the wall's cameras beside it, to drag a camera into a cell.
#pragma once

#include <QListWidget>
#include <optional>

class QMimeData;

namespace tavolin::ui {

class WallCameraList final : public QListWidget {
    Q_OBJECT

public:
    explicit WallCameraList(QWidget* parent = nullptr);

    // Adds camera `position` as `name`.
    void addCamera(int position, const QString& name);

    // What a drag from the list carries, and the camera a drop carries.
    static QMimeData* cameraData(int position);
    static std::optional<int> cameraOf(const QMimeData* data);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
};

} // namespace tavolin::ui
