// Motion and digital-input indicators, shown once a second from what arrived.
#include "live_view_fixture.h"

namespace tavolin::ui::test {
namespace {

constexpr uint8_t kMotionRegion1 = 0x02; // three-region reading: bit 1 is region 1

class LiveViewEventsTest : public LiveViewTest {
protected:
    void SetUp() override {
        LiveViewTest::SetUp();
        startCamera(1);
    }

    bool anyIndicatorVisible() const {
        for (int i = 0; i < kIndicatorCount; ++i) {
            if (view->indicator(static_cast<LiveViewController::Indicator>(i))->isVisible()) return true;
        }
        return false;
    }
};

TEST_F(LiveViewEventsTest, WithShowEventsOffNothingIsRecordedOrShown) {
    openView();
    ASSERT_TRUE(waitConnected());
    ASSERT_TRUE(v1->sendMotion(kMotionRegion1));
    ASSERT_TRUE(v1->sendDigitalInput(3)); // both inputs on
    QTest::qWait(300);
    EXPECT_FALSE(view->controller().eventFlag(LiveViewController::MD1));
    EXPECT_FALSE(view->controller().eventFlag(LiveViewController::DI1));
    view->controller().showEventsOfPeriod();
    EXPECT_FALSE(anyIndicatorVisible());
}

TEST_F(LiveViewEventsTest, ShortMotionShowsItsIndicatorForOnePeriod) {
    record(0).showEvents = 1;
    openView();
    ASSERT_TRUE(waitConnected());
    ASSERT_TRUE(v1->sendMotion(kMotionRegion1));
    ASSERT_TRUE(waitFor([&] { return view->controller().eventFlag(LiveViewController::MD1); }));
    // The camera reports the motion in one frame only; later frames are quiet.
    QTest::qWait(200);

    view->controller().showEventsOfPeriod();
    EXPECT_TRUE(view->indicator(LiveViewController::MD1)->isVisible());
    EXPECT_FALSE(view->indicator(LiveViewController::MD2)->isVisible());
    EXPECT_FALSE(view->indicator(LiveViewController::DI1)->isVisible());

    view->controller().showEventsOfPeriod();
    EXPECT_FALSE(view->indicator(LiveViewController::MD1)->isVisible());
}

TEST_F(LiveViewEventsTest, DigitalInputShowsItsIndicator) {
    record(0).showEvents = 1;
    openView();
    ASSERT_TRUE(waitConnected());
    ASSERT_TRUE(v1->sendDigitalInput(1)); // input 1 on, input 2 off
    ASSERT_TRUE(waitFor([&] { return view->controller().eventFlag(LiveViewController::DI1); }));
    view->controller().showEventsOfPeriod();
    EXPECT_TRUE(view->indicator(LiveViewController::DI1)->isVisible());
    EXPECT_FALSE(view->indicator(LiveViewController::DI2)->isVisible());
}

TEST_F(LiveViewEventsTest, StreamCloseHidesTheIndicators) {
    record(0).showEvents = 1;
    openView();
    ASSERT_TRUE(waitConnected());
    ASSERT_TRUE(v1->sendMotion(kMotionRegion1));
    ASSERT_TRUE(waitFor([&] { return view->controller().eventFlag(LiveViewController::MD1); }));
    view->controller().showEventsOfPeriod();
    ASSERT_TRUE(view->indicator(LiveViewController::MD1)->isVisible());
    view->controller().streamClose();
    EXPECT_FALSE(anyIndicatorVisible());
    EXPECT_FALSE(view->controller().isConnected());
}

} // namespace
} // namespace tavolin::ui::test
