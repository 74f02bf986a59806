// The strip widget of tavolin-today: its height comes from the item, and
// mouse input reaches the item as stylus input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <filesystem>
#include <memory>

#include "windowing/process_start.h"
#include "qt_app.h"
#include "today_strip.h"

namespace fs = std::filesystem;

namespace {

class TodayStripTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtApplication(); }
    void SetUp() override {
        char pattern[] = "/tmp/tavolin-strip-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        // A stand-in viewer that ends at once and reads nothing from here.
        const fs::path viewer = root_ / "Program Files/Tavolin/Tavolin.exe";
        fs::create_directories(viewer.parent_path());
        fs::create_symlink("/bin/true", viewer);
        windowing::setDeviceRoot(root_.string());
        auto host = std::make_unique<today::TodayHost>(240);
        ASSERT_TRUE(host->load("TavolinToday")) << host->error();
        strip_ = std::make_unique<today::TodayStrip>(std::move(host));
    }
    void TearDown() override {
        strip_.reset();
        windowing::setDeviceRoot("");
        fs::remove_all(root_);
    }

    void mouse(QEvent::Type type, Qt::MouseButton button) {
        const QPointF at(60, 10);
        QMouseEvent event(type, at, strip_->mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        QApplication::sendEvent(strip_.get(), &event);
    }

    fs::path root_;
    std::unique_ptr<today::TodayStrip> strip_;
};

TEST_F(TodayStripTest, StripIsAsHighAsTheItemAsks) {
    EXPECT_EQ(strip_->height(), 40);
    EXPECT_EQ(strip_->minimumHeight(), 40);
    EXPECT_EQ(strip_->maximumHeight(), 40);
}

TEST_F(TodayStripTest, LeftButtonReleaseStartsTheViewerAndPressDoesNot) {
    const int before = windowing::startedProcessCount();
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_EQ(windowing::startedProcessCount(), before);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(windowing::startedProcessCount(), before + 1);
}

TEST_F(TodayStripTest, OtherButtonsAreNotTaps) {
    const int before = windowing::startedProcessCount();
    mouse(QEvent::MouseButtonPress, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, Qt::RightButton);
    EXPECT_EQ(windowing::startedProcessCount(), before);
}

} // namespace
