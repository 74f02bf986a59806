// Draws the ten 24 x 24 pointer-steering pictures of the live view: a white
// arrow, plus or minus sign with a black outline on yellow. Run it with the
// folder to write into (viewer/resources/ptz) after changing a shape; the PNGs
// are committed, so the build never runs it.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>
#include <cstdio>

namespace {

constexpr int kSize = 24;
const QColor kYellow(255, 255, 0);

// An arrow pointing right, centred on the picture; turned for the others.
QPainterPath rightArrow(qreal length) {
    const qreal half = length / 2;
    QPolygonF shape;
    shape << QPointF(-half, -2.5) << QPointF(half - 8, -2.5) << QPointF(half - 8, -7.5) << QPointF(half, 0)
          << QPointF(half - 8, 7.5) << QPointF(half - 8, 2.5) << QPointF(-half, 2.5) << QPointF(-half, -2.5);
    QPainterPath path;
    path.addPolygon(shape);
    return path;
}

QPainterPath arrow(qreal degrees) {
    // Diagonals run along the longer diagonal of the square.
    const bool diagonal = static_cast<int>(degrees) % 90 != 0;
    QTransform turn;
    turn.translate(kSize / 2.0, kSize / 2.0);
    turn.rotate(degrees);
    return turn.map(rightArrow(diagonal ? 20 : 19));
}

QPainterPath sign(bool plus) {
    QPainterPath bar;
    bar.addRect(QRectF(3.5, 9.5, 17, 5));
    if (!plus) return bar;
    QPainterPath upright;
    upright.addRect(QRectF(9.5, 3.5, 5, 17));
    return bar.united(upright);
}

bool write(const QDir& folder, const char* name, const QPainterPath& shape) {
    QImage picture(kSize, kSize, QImage::Format_RGB32);
    picture.fill(kYellow);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(shape);
    painter.end();
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    // Screen angles: 0 points right, 90 down.
    const bool ok = write(folder, "up_left", arrow(225)) && write(folder, "left", arrow(180)) &&
                    write(folder, "down_left", arrow(135)) && write(folder, "up", arrow(270)) &&
                    write(folder, "zoom_in", sign(true)) && write(folder, "zoom_out", sign(false)) &&
                    write(folder, "down", arrow(90)) && write(folder, "up_right", arrow(315)) &&
                    write(folder, "right", arrow(0)) && write(folder, "down_right", arrow(45));
    return ok ? 0 : 1;
}
