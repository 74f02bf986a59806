#include "widgets/dialog_units.h"

#include <gtest/gtest.h>

namespace tavolin::ui {
namespace {

TEST(DialogUnitsTest, QuarterWidthAndEighthHeightRoundedToNearest) {
    QFont font = dialogFont();
    font.setPixelSize(16);
    const DialogUnits units(font);
    ASSERT_GT(units.baseWidth(), 0);
    EXPECT_EQ(units.x(4), units.baseWidth());
    EXPECT_EQ(units.y(8), units.baseHeight());
    EXPECT_EQ(units.x(138), (138 * units.baseWidth() + 2) / 4);
    EXPECT_EQ(units.y(185), (185 * units.baseHeight() + 4) / 8);
    const QRect r = units.rect(41, 19, 94, 12);
    EXPECT_EQ(r.topLeft(), QPoint(units.x(41), units.y(19)));
    EXPECT_EQ(r.size(), QSize(units.x(94), units.y(12)));
}

TEST(DialogUnitsTest, LargerFontGivesLargerUnits) {
    QFont small = dialogFont();
    small.setPixelSize(12);
    QFont large = dialogFont();
    large.setPixelSize(24);
    EXPECT_GT(DialogUnits(large).x(100), DialogUnits(small).x(100));
    EXPECT_GT(DialogUnits(large).y(100), DialogUnits(small).y(100));
}

} // namespace
} // namespace tavolin::ui
