// The item painted through the Qt host: the pixels a user sees.
#include <gtest/gtest.h>

#include <QFont>
#include <QApplication>
#include <QImage>
#include <QPainter>

#include "qt_drawing_context.h"
#include "qt_app.h"
#include "today_host.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 40;

class TodayPixelsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtApplication(); }

    // The item's strip as the host paints it.
    QImage itemPicture() {
        today::TodayHost host(kWidth);
        EXPECT_TRUE(host.load("TavolinToday")) << host.error();
        host.refresh();
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        today::QtDrawingContext context(painter);
        host.paint(context);
        return image;
    }

    // The product line drawn straight with Qt at (50, 2) on the host's
    // background, in an 11-pixel sans font of the given weight.
    static QImage expectedLine(QFont::Weight weight, QRect* box) {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QFont font(QStringLiteral("Tahoma"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(11);
        font.setWeight(weight);
        const QString text = QStringLiteral("Vexo Tavolin v2.0");
        const QFontMetrics metrics(font);
        *box = QRect(50, 2, metrics.horizontalAdvance(text), metrics.height());
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(*box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        return image;
    }

    static int differingPixels(const QImage& a, const QImage& b, const QRect& box) {
        int count = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) ++count;
        return count;
    }
};

TEST_F(TodayPixelsTest, ProductLineShowsInBoldAtItsPlace) {
    const QImage item = itemPicture();
    QRect box;
    const QImage bold = expectedLine(QFont::Bold, &box);
    ASSERT_GT(box.width(), 40);
    EXPECT_EQ(differingPixels(item, bold, box), 0);
    // And the same line in the normal weight would look different.
    QRect normalBox;
    const QImage normal = expectedLine(QFont::Normal, &normalBox);
    EXPECT_GT(differingPixels(item, normal, box.united(normalBox)), 0);
}

TEST_F(TodayPixelsTest, IconsShowTheirOwnPicturesAndTheRestIsWatermark) {
    const QImage item = itemPicture();
    const QImage itemIcon(QStringLiteral(TODAY_ICON_DIR "/item.png"));
    const QImage productIcon(QStringLiteral(TODAY_ICON_DIR "/product.png"));
    ASSERT_FALSE(itemIcon.isNull());
    ASSERT_FALSE(productIcon.isNull());
    // Opaque icon pixels show unchanged at the icon's place.
    EXPECT_EQ(item.pixel(2 + 8, 0 + 8), itemIcon.pixel(8, 8) | 0xFF000000);
    EXPECT_EQ(item.pixel(200 + 12, 2 + 9), productIcon.pixel(12, 9) | 0xFF000000);
    // The host's watermark fills the black start image everywhere else.
    EXPECT_EQ(item.pixel(kWidth - 1, 20), qRgb(255, 255, 255));
    EXPECT_EQ(item.pixel(40, 38), qRgb(255, 255, 255));
    EXPECT_EQ(item.pixel(40, kHeight - 1), qRgb(228, 236, 248));
}

} // namespace
