// The live view's building blocks: its menu, the picture dialog, the colour
// label and the video surface; and the wall's cell.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <set>
#include <vector>

#include "live/live_menu.h"
#include "live/live_pictures.h"
#include "live/video_surface.h"
#include "wall/wall_cell.h"
#include "widgets/b_dialog.h"
#include "widgets/color_static.h"

namespace tavolin::ui {
namespace {

QStringList entryTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

TEST(LivePicturesTest, EverySectorHasItsOwnYellowArrowPicture) {
    std::set<QByteArray> seen;
    for (int s = 1; s <= kPtzSectorCount; ++s) {
        const QString path = pictures::ptzArrow(static_cast<PtzSector>(s));
        QImage picture(path);
        ASSERT_FALSE(picture.isNull()) << path.toStdString();
        EXPECT_EQ(picture.size(), QSize(kPtzArrowSize, kPtzArrowSize));
        EXPECT_EQ(picture.pixelColor(0, 0), QColor(255, 255, 0)) << path.toStdString();
        // White fill and black outline are both there.
        picture = picture.convertToFormat(QImage::Format_RGB32);
        bool white = false;
        bool black = false;
        for (int y = 0; y < kPtzArrowSize; ++y) {
            for (int x = 0; x < kPtzArrowSize; ++x) {
                white |= picture.pixel(x, y) == qRgb(255, 255, 255);
                black |= picture.pixel(x, y) == qRgb(0, 0, 0);
            }
        }
        EXPECT_TRUE(white && black) << path.toStdString();
        seen.insert(QByteArray(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes()));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kPtzSectorCount));
}

TEST(LiveMenuTest, HasTheFourteenEntriesInOrder) {
    QWidget owner;
    LiveMenu menu(&owner);
    EXPECT_EQ(entryTexts(menu.popup()),
              (QStringList{"PTZ Set Preset", "PTZ Goto Preset", "PTZ OSD", "PTZ Speed", "-", "Qaud Switch", "-",
                           "Audio In", "Audio Out", "Trigger DO1", "-", "Return", "-", "Quit"}));
    EXPECT_EQ(menu.setPreset[7]->text(), QStringLiteral("Set to Preset 8"));
    EXPECT_EQ(menu.gotoPreset[0]->text(), QStringLiteral("Goto Preset 1"));
    EXPECT_EQ(menu.monitorQuad->text(), QStringLiteral("Monitor Quad"));
    EXPECT_EQ(menu.speed[4]->text(), QStringLiteral("Speed 5"));
}

TEST(LiveMenuTest, WithoutPtzOrQuadTheirItemsAreGray) {
    QWidget owner;
    LiveMenu menu(&owner);
    menu.show({false, 3, false, false, false, false});
    for (QAction* item : menu.setPreset) EXPECT_FALSE(item->isEnabled());
    for (QAction* item : menu.gotoPreset) EXPECT_FALSE(item->isEnabled());
    for (QAction* item : menu.speed) EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(menu.osdOn->isEnabled());
    EXPECT_FALSE(menu.osdOff->isEnabled());
    for (QAction* item : menu.monitor) EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(menu.monitorQuad->isEnabled());
    EXPECT_TRUE(menu.audioInOff->isChecked());
    EXPECT_FALSE(menu.audioInOn->isChecked());
    EXPECT_TRUE(menu.audioOutOff->isChecked());
}

TEST(LiveMenuTest, WithPtzAndQuadItemsAreEnabledAndTheStatesChecked) {
    QWidget owner;
    LiveMenu menu(&owner);
    menu.show({true, 4, true, true, false, false});
    for (QAction* item : menu.setPreset) EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(menu.osdOff->isEnabled());
    std::vector<bool> checked;
    for (QAction* item : menu.speed) checked.push_back(item->isChecked());
    EXPECT_EQ(checked, (std::vector<bool>{false, false, false, true, false}));
    EXPECT_TRUE(menu.monitorQuad->isEnabled());
    EXPECT_TRUE(menu.audioInOn->isChecked());
    EXPECT_FALSE(menu.triggerDo1->isChecked());
    EXPECT_FALSE(menu.audioOutOn->isChecked());
    menu.show({true, 4, true, true, true, true});
    EXPECT_TRUE(menu.triggerDo1->isChecked());
    EXPECT_TRUE(menu.audioOutOn->isChecked());
    EXPECT_FALSE(menu.audioOutOff->isChecked());
}

TEST(BDialogTest, CentredPictureSitsInTheMiddleAndStartsAtTheCornerWhenLarger) {
    pictures::load();
    CBDialog dialog;
    ASSERT_TRUE(dialog.setBackground(pictures::kBackgroundPlain));
    dialog.setDrawMode(CBDialog::DrawMode::Center);
    const QImage picture = dialog.background().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(320, 240));

    dialog.resize(420, 300);
    QImage shown = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.copy(50, 30, 320, 240), picture);

    dialog.resize(200, 100);
    shown = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, picture.copy(0, 0, 200, 100));
}

TEST(BDialogTest, MissingPictureLeavesNone) {
    CBDialog dialog;
    EXPECT_FALSE(dialog.setBackground(QStringLiteral(":/live/no_such_picture")));
    EXPECT_TRUE(dialog.background().isNull());
}

TEST(ColorStaticTest, DrawsItsTextAndBackgroundColours) {
    CColorStatic label;
    EXPECT_EQ(label.textColor(), QColor(Qt::black));
    label.setTextColor(QColor(255, 255, 0));
    label.setBkColor(QColor(0, 0, 128));
    label.resize(40, 16);
    const QImage shown = label.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(0, 0, 128));
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 255, 0));
}

TEST(VideoSurfaceTest, PaddedRowsArriveIntactAndTheRestOfTheWindowIsBlack) {
    QWidget window;
    window.resize(8, 6);
    VideoSurface surface(&window);
    EXPECT_EQ(surface.clientSize().width, 8);

    // Three 24-bit pixels a row: 9 bytes padded to 12.
    std::vector<uint8_t> pixels(12 * 2, 0xEE);
    const uint8_t row0[9] = {0, 0, 255, 0, 255, 0, 255, 0, 0};       // red, green, blue
    const uint8_t row1[9] = {255, 255, 255, 0, 0, 0, 128, 128, 128}; // white, black, grey
    std::copy(row0, row0 + 9, pixels.begin());
    std::copy(row1, row1 + 9, pixels.begin() + 12);
    platform::PictureView view{3, 2, 24, 12, pixels.data()};
    EXPECT_TRUE(surface.latestPicture().isNull());
    surface.stretchDraw(view, {0, 0, 3, 2});
    surface.present();
    EXPECT_EQ(surface.presentedCount(), 1);

    QRect dest;
    const QImage picture = surface.latestPicture(&dest);
    EXPECT_EQ(dest, QRect(0, 0, 3, 2));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(picture.pixelColor(1, 0), QColor(0, 255, 0));
    EXPECT_EQ(picture.pixelColor(2, 0), QColor(0, 0, 255));
    EXPECT_EQ(picture.pixelColor(2, 1), QColor(128, 128, 128));

    QImage canvas(8, 6, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    ASSERT_TRUE(surface.paint(painter, canvas.rect()));
    painter.end();
    EXPECT_EQ(canvas.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(7, 5), QColor(Qt::black));
    EXPECT_EQ(surface.paintedCount(), 1);

    surface.clear();
    EXPECT_TRUE(surface.latestPicture().isNull());
}

TEST(VideoSurfaceTest, AKeptShapeIsAsLargeAsFitsAndCentred) {
    EXPECT_EQ(fitKeepingAspect({720, 480}, {0, 0, 1920, 1080}), QRect(150, 0, 1620, 1080));
    EXPECT_EQ(fitKeepingAspect({352, 240}, {0, 0, 320, 240}), QRect(0, 11, 320, 218));
    EXPECT_EQ(fitKeepingAspect({0, 480}, {0, 0, 320, 240}), QRect());
}

// A 32-bit picture kept in shape, painted over a magenta canvas of `size`.
QImage paintedKeepingItsShape(const platform::PictureView& picture, int size) {
    VideoSurface surface(nullptr);
    surface.setKeepAspect(true);
    surface.stretchDraw(picture, {0, 0, size, size});
    surface.present();
    QImage canvas(size, size, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    EXPECT_TRUE(surface.paint(painter, canvas.rect()));
    return canvas;
}

// A black and a white pixel side by side, kept in shape in an 8 x 8 window:
// scaled smoothly, with black bars above and below.
TEST(VideoSurfaceTest, AKeptShapeIsScaledSmoothlyBetweenBlackBars) {
    const uint8_t pixels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
    const QImage canvas = paintedKeepingItsShape({2, 1, 32, 8, pixels}, 8);
    EXPECT_EQ(canvas.pixelColor(7, 1), QColor(Qt::black));
    EXPECT_EQ(canvas.pixelColor(7, 6), QColor(Qt::black));
    std::set<int> shades;
    for (int x = 0; x < 8; ++x) shades.insert(canvas.pixelColor(x, 4).red());
    EXPECT_GT(shades.size(), 2u);
}

// Whatever the picture's shape, everything beside it is black and nothing
// of what was there before is left.
TEST(VideoSurfaceTest, EverythingBesideAKeptShapeIsBlack) {
    const std::vector<uint8_t> white(4 * 8 * 8, 0xFF);
    for (const QSize shape : {QSize(8, 2), QSize(2, 8), QSize(8, 8), QSize(3, 5)}) {
        const QImage canvas = paintedKeepingItsShape(
            {shape.width(), shape.height(), 32, static_cast<std::size_t>(4 * shape.width()), white.data()}, 10);
        const QRect picture = fitKeepingAspect(shape, canvas.rect());
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const QColor shown = canvas.pixelColor(x, y);
                // The scaler weighs neighbours in 7 bits: white may come out 253.
                const bool white = shown.red() >= 250 && shown.green() >= 250 && shown.blue() >= 250;
                const bool black = shown == QColor(Qt::black);
                ASSERT_TRUE(picture.contains(x, y) ? white : black)
                    << shape.width() << "x" << shape.height() << " at " << x << "," << y << ": "
                    << shown.name().toStdString();
            }
        }
    }
}

// A window that paints what its surface holds, and counts its paints.
class PaintedWindow : public QWidget {
public:
    explicit PaintedWindow(VideoSurface::Repaint repaint) : surface(this, repaint) { resize(4, 4); }
    VideoSurface surface;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        surface.paint(painter, rect());
        ++paints;
    }
};

// The live view repaints on each picture; the wall repaints all its cells
// at its own pace and only those with a picture not painted yet.
TEST(VideoSurfaceTest, APictureIsRepaintedOnArrivalOrWhenTheOwnerAsks) {
    const uint8_t pixels[16 * 4] = {};
    for (const auto repaint : {VideoSurface::Repaint::OnEachPicture, VideoSurface::Repaint::WhenAsked}) {
        const bool onArrival = repaint == VideoSurface::Repaint::OnEachPicture;
        PaintedWindow window(repaint);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(20);
        const int before = window.paints;

        window.surface.stretchDraw({4, 4, 32, 16, pixels}, {0, 0, 4, 4});
        window.surface.present();
        QTest::qWait(50);
        EXPECT_EQ(window.paints > before, onArrival) << "on arrival: " << onArrival;
        if (onArrival) continue;

        EXPECT_TRUE(window.surface.repaintIfNew());
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.paints > before; }, 1000));
        EXPECT_EQ(window.surface.paintedCount(), 1);
        EXPECT_FALSE(window.surface.repaintIfNew()) << "the picture was painted already";
    }
}

// A picture written straight into the surface's own buffer is shown as one
// drawn into it; one abandoned half way leaves the last complete one.
TEST(VideoSurfaceTest, ALentBufferFilledIsShownAndOneAbandonedIsNot) {
    VideoSurface surface(nullptr);
    const auto lendAndFill = [&](uint8_t blue, bool filled) {
        const platform::PictureTarget target = surface.lendPicture(3, 2, 32);
        ASSERT_NE(target.pixels, nullptr);
        ASSERT_EQ(target.stride, 12u);
        for (std::size_t i = 0; i < 12 * 2; i += 4) {
            target.pixels[i] = blue;
            target.pixels[i + 1] = target.pixels[i + 2] = 0;
        }
        surface.finishLent({1, 2, 3, 4}, filled);
        surface.present();
    };
    lendAndFill(200, true);
    lendAndFill(90, false);
    EXPECT_EQ(surface.presentedCount(), 1);
    QRect dest;
    const QImage picture = surface.latestPicture(&dest);
    EXPECT_EQ(dest, QRect(1, 2, 3, 4));
    EXPECT_EQ(picture.size(), QSize(3, 2));
    EXPECT_EQ(picture.pixelColor(2, 1), QColor(0, 0, 200));
    EXPECT_EQ(surface.lendPicture(3, 2, 8).pixels, nullptr) << "no 8-bit pictures";
}

// A picture that comes as 4:2:0 planes is converted straight into the image
// painted on, or, where the painter clips, through a picture of its own:
// both show its colours in the range it came in, and nothing beside it.
TEST(VideoSurfaceTest, PlanesArePaintedInPlaceOrThroughAPictureAlike) {
    VideoSurface surface(nullptr);
    EXPECT_EQ(surface.lendPlanes(8, 6).y, nullptr) << "a surface not told to take planes";
    surface.setTakesPlanes(true);
    // BT.601 red in studio range, and a dark grey in full range, which the
    // other range would show 12 steps darker.
    const struct {
        bool fullRange;
        uint8_t y, u, v;
        QColor shown;
    } colours[] = {{false, 81, 90, 240, QColor(255, 0, 0)}, {true, 40, 128, 128, QColor(40, 40, 40)}};
    for (const auto& colour : colours) {
        SCOPED_TRACE(colour.fullRange ? "full range" : "studio range");
        const auto expectShown = [&](const QImage& image, int x, int y, const char* what) {
            const QColor c = image.pixelColor(x, y);
            EXPECT_NEAR(c.red(), colour.shown.red(), 3) << what << " at " << x << "," << y;
            EXPECT_NEAR(c.green(), colour.shown.green(), 3) << what << " at " << x << "," << y;
            EXPECT_NEAR(c.blue(), colour.shown.blue(), 3) << what << " at " << x << "," << y;
        };
        const platform::PlanarTarget planes = surface.lendPlanes(8, 6);
        ASSERT_NE(planes.y, nullptr);
        for (int row = 0; row < 6; ++row) std::fill_n(planes.y + row * planes.yStride, 8, colour.y);
        for (int row = 0; row < 3; ++row) {
            std::fill_n(planes.u + row * planes.uvStride, 4, colour.u);
            std::fill_n(planes.v + row * planes.uvStride, 4, colour.v);
        }
        surface.finishLentPlanes({0, 0, 8, 6}, true, colour.fullRange);
        surface.present();
        EXPECT_EQ(surface.pictureSize(), QSize(8, 6));
        for (const bool clipped : {false, true}) {
            QImage canvas(20, 10, QImage::Format_RGB32);
            canvas.fill(Qt::blue);
            QPainter painter(&canvas);
            painter.translate(2, 1);
            if (clipped) painter.setClipRect(0, 0, 4, 6);
            EXPECT_TRUE(surface.paint(painter, QRect(0, 0, 8, 6)));
            painter.end();
            const char* how = clipped ? "clipped" : "in place";
            expectShown(canvas, 2, 1, how);
            expectShown(canvas, 5, 6, how);
            EXPECT_EQ(canvas.pixelColor(10, 3), QColor(Qt::blue)) << how << ": beside the picture";
            EXPECT_EQ(canvas.pixelColor(5, 7), QColor(Qt::blue)) << how << ": under the picture";
            if (clipped) {
                EXPECT_EQ(canvas.pixelColor(7, 3), QColor(Qt::blue)) << "outside the clip";
            } else {
                expectShown(canvas, 9, 6, how);
            }
        }
        expectShown(surface.latestPicture(), 7, 5, "the latest picture");
    }
}

TEST(VideoSurfaceTest, UnknownPixelLayoutIsNotDrawn) {
    VideoSurface surface(nullptr);
    std::vector<uint8_t> pixels(64, 0);
    surface.stretchDraw({4, 4, 8, 4, pixels.data()}, {0, 0, 4, 4});
    surface.present();
    EXPECT_EQ(surface.presentedCount(), 0);
    EXPECT_TRUE(surface.latestPicture().isNull());
}

// How far the cell's name label runs along its second row.
int labelWidth(WallCell& cell) {
    const QImage shown = cell.grab().toImage();
    int x = 0;
    while (x < shown.width() && shown.pixelColor(x, 1) == QColor(0, 0, 128)) ++x;
    return x;
}

// The label is drawn once and kept; a new name or font draws it again.
TEST(WallCellTest, NameLabelFollowsTheNameAndTheFont) {
    WallCell cell(nullptr);
    cell.resize(400, 100);
    cell.setCamera(0, QStringLiteral("A"));
    const int shortName = labelWidth(cell);
    EXPECT_GT(shortName, 0);

    cell.setCamera(0, QStringLiteral("A much longer camera name"));
    const int longName = labelWidth(cell);
    EXPECT_GT(longName, shortName);

    QFont larger = cell.font();
    larger.setPointSize(larger.pointSize() * 2);
    cell.setFont(larger);
    EXPECT_GT(labelWidth(cell), longName);
}

} // namespace
} // namespace tavolin::ui
