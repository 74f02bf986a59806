// Draws the live view's pictures (backgrounds, event indicators, PTZ arrows)
// into PNG files. The PNGs are committed beside viewer.qrc; run this again
// only to change them:
//   tavolin-make-pictures viewer/resources/pictures
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cstdio>

namespace {

const QColor kDarkBlue(0, 0, 128);
const QColor kYellow(255, 255, 0);

bool save(const QImage& image, const QDir& folder, const QString& name) {
  const QString path = folder.filePath(name + ".png");
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

QFont sans(int pixelSize, bool bold) {
  QFont font("DejaVu Sans");
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

// The program's logo: a camera lens in a blue rounded square and the name.
void drawLogo(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kDarkBlue);
  p.drawRoundedRect(QRectF(8, 8, 36, 36), 7, 7);
  p.setBrush(QColor(235, 235, 245));
  p.drawEllipse(QPointF(26, 26), 12, 12);
  p.setBrush(QColor(40, 60, 160));
  p.drawEllipse(QPointF(26, 26), 8, 8);
  p.setBrush(QColor(10, 10, 40));
  p.drawEllipse(QPointF(26, 26), 4, 4);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(23.5, 23.5), 1.6, 1.6);
  p.setBrush(QColor(255, 80, 60));
  p.drawEllipse(QPointF(39, 13), 2.2, 2.2);

  p.setPen(kDarkBlue);
  p.setFont(sans(20, true));
  p.drawText(QRectF(52, 8, 140, 24), Qt::AlignLeft | Qt::AlignVCenter, "Tavolin");
  p.setPen(QColor(90, 90, 110));
  p.setFont(sans(10, false));
  p.drawText(QRectF(53, 31, 160, 14), Qt::AlignLeft | Qt::AlignVCenter, "network camera viewer");
}

QImage background(const QString& caption, const QColor& captionColour) {
  QImage image(320, 240, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  drawLogo(p);
  if (!caption.isEmpty()) {
    p.setPen(captionColour);
    p.setFont(sans(14, true));
    p.drawText(QRectF(0, 200, 310, 30), Qt::AlignRight | Qt::AlignVCenter, caption);
  }
  return image;
}

QImage indicator(const QString& label) {
  QImage image(24, 12, QImage::Format_RGB32);
  image.fill(kDarkBlue);
  QPainter p(&image);
  p.setPen(kYellow);
  p.setFont(sans(9, true));
  p.drawText(QRect(0, 0, 24, 12), Qt::AlignCenter, label);
  return image;
}

// A white shape with a black outline on yellow, 24 x 24.
QImage arrowPicture(const QPainterPath& shape) {
  QImage image(24, 24, QImage::Format_RGB32);
  image.fill(kYellow);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(Qt::white);
  p.drawPath(shape);
  return image;
}

// An arrow pointing right, turned by `degrees` (clockwise) around the centre.
QPainterPath arrow(qreal degrees) {
  QPainterPath path;
  path.moveTo(3, 9);
  path.lineTo(12, 9);
  path.lineTo(12, 4);
  path.lineTo(21, 12);
  path.lineTo(12, 20);
  path.lineTo(12, 15);
  path.lineTo(3, 15);
  path.closeSubpath();
  QTransform turn;
  turn.translate(12, 12);
  turn.rotate(degrees);
  turn.translate(-12, -12);
  return turn.map(path);
}

QPainterPath sign(bool plus) {
  QPainterPath path;
  if (plus) {
    path.moveTo(9, 3);
    path.lineTo(15, 3);
    path.lineTo(15, 9);
    path.lineTo(21, 9);
    path.lineTo(21, 15);
    path.lineTo(15, 15);
    path.lineTo(15, 21);
    path.lineTo(9, 21);
    path.lineTo(9, 15);
    path.lineTo(3, 15);
    path.lineTo(3, 9);
    path.lineTo(9, 9);
    path.closeSubpath();
  } else {
    path.addRect(3, 9, 18, 6);
  }
  return path;
}

} // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

  bool ok = save(background({}, Qt::black), folder, "background_plain");
  ok &= save(background("Connecting...", QColor(0, 90, 170)), folder, "background_connecting");
  ok &= save(background("Connection failed", QColor(200, 0, 0)), folder, "background_failed");
  for (const char* label : {"MD1", "MD2", "MD3", "MD4", "DI1", "DI2"}) {
    ok &= save(indicator(label), folder, QString("indicator_%1").arg(QString(label).toLower()));
  }
  ok &= save(arrowPicture(arrow(225)), folder, "arrow_up_left");
  ok &= save(arrowPicture(arrow(180)), folder, "arrow_left");
  ok &= save(arrowPicture(arrow(135)), folder, "arrow_down_left");
  ok &= save(arrowPicture(arrow(270)), folder, "arrow_up");
  ok &= save(arrowPicture(sign(true)), folder, "arrow_plus");
  ok &= save(arrowPicture(sign(false)), folder, "arrow_minus");
  ok &= save(arrowPicture(arrow(90)), folder, "arrow_down");
  ok &= save(arrowPicture(arrow(315)), folder, "arrow_up_right");
  ok &= save(arrowPicture(arrow(0)), folder, "arrow_right");
  ok &= save(arrowPicture(arrow(45)), folder, "arrow_down_right");
  return ok ? 0 : 1;
}
