// A dialog with a picture background, drawn tiled (the default), centred or
// stretched over the client area.
#pragma once

#include <QDialog>
#include <QPixmap>

namespace tavolin::ui {

class CBDialog : public QDialog {
    Q_OBJECT

public:
    enum class DrawMode { Tile = 0, Center = 1, Stretch = 2 };

    explicit CBDialog(QWidget* parent = nullptr);

    // Replaces the background with the picture at `resource` (a Qt resource
    // path); false, keeping no picture, when it cannot be loaded.
    bool setBackground(const QString& resource);
    const QPixmap& background() const { return background_; }

    void setDrawMode(DrawMode mode);
    DrawMode drawMode() const { return mode_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Draws the background over `area` in the current mode.
    void paintBackground(QPainter& painter, const QRect& area) const;

private:
    QPixmap background_;
    DrawMode mode_ = DrawMode::Tile;
};

} // namespace tavolin::ui
