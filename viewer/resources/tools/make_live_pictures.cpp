// Draws the live view's pictures (backgrounds and event indicators)
// into PNG files. The PNGs are committed beside live_pictures.qrc; run this again
// only to change them:
//   tavolin-make-live-pictures viewer/resources/pictures
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
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
    return ok ? 0 : 1;
}
