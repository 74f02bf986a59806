#include "windowing/window.h"

#include <gtest/gtest.h>

#include <vector>

using namespace windowing;

namespace {

struct Seen {
    WindowHandle window;
    uint32_t message;
    WParam wParam;
};

// Every window of these tests logs what its procedure receives.
std::vector<Seen>& seen() {
    static std::vector<Seen> log;
    return log;
}

MessageResult loggingProcedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    seen().push_back({window, message, wParam});
    if (message == WM_PAINT) {
        beginPaint(window);
        endPaint(window);
        return 0;
    }
    return defaultWindowProcedure(window, message, wParam, lParam);
}

MessageResult refusingProcedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (message == WM_CREATE) return -1;
    return defaultWindowProcedure(window, message, wParam, lParam);
}

int instanceTag;
const ModuleInstance kInstance = &instanceTag;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        seen().clear();
        ASSERT_TRUE(registerWindowClass({"Logging", 0, &loggingProcedure, kInstance, true}));
    }
    void TearDown() override {
        for (WindowHandle w : made_) destroyWindow(w);
        unregisterWindowClass("Logging", kInstance);
        unregisterWindowClass("Refusing", kInstance);
    }

    WindowHandle make(WindowHandle parent = nullptr, uint32_t style = WS_VISIBLE) {
        WindowCreate create;
        create.className = "Logging";
        create.style = style;
        create.bounds = {0, 0, 100, 40};
        create.parent = parent;
        create.instance = kInstance;
        WindowHandle w = createWindow(create);
        if (w != nullptr) made_.push_back(w);
        return w;
    }

    int count(WindowHandle w, uint32_t message) const {
        int n = 0;
        for (const Seen& s : seen())
            if (s.window == w && s.message == message) ++n;
        return n;
    }

    std::vector<WindowHandle> made_;
};

TEST_F(WindowTest, ClassNamesAreRegisteredOnceAndOnlyTheirOwnerRemovesThem) {
    EXPECT_FALSE(registerWindowClass({"Logging", 0, &loggingProcedure, kInstance, true}));
    EXPECT_FALSE(registerWindowClass({"NoProcedure", 0, nullptr, kInstance, true}));
    int otherTag;
    EXPECT_FALSE(unregisterWindowClass("Logging", &otherTag));
    EXPECT_TRUE(isWindowClassRegistered("Logging"));
    EXPECT_TRUE(unregisterWindowClass("Logging", kInstance));
    EXPECT_FALSE(isWindowClassRegistered("Logging"));
    EXPECT_EQ(make(), nullptr);
}

TEST_F(WindowTest, CreationSendsCreateWithTheCallersParameter) {
    int param = 0;
    WindowCreate create;
    create.className = "Logging";
    create.createParam = &param;
    create.bounds = {0, 0, 50, 10};
    WindowHandle w = createWindow(create);
    ASSERT_NE(w, nullptr);
    made_.push_back(w);
    ASSERT_EQ(count(w, WM_CREATE), 1);
    EXPECT_FALSE(isWindowVisible(w));
    EXPECT_EQ(clientRect(w), (Rect{0, 0, 50, 10}));
}

TEST_F(WindowTest, ARefusedCreationLeavesNoWindow) {
    ASSERT_TRUE(registerWindowClass({"Refusing", 0, &refusingProcedure, kInstance, true}));
    WindowCreate create;
    create.className = "Refusing";
    EXPECT_EQ(createWindow(create), nullptr);
    create.className = "Logging";
    create.parent = reinterpret_cast<WindowHandle>(&instanceTag); // no such window
    EXPECT_EQ(createWindow(create), nullptr);
}

TEST_F(WindowTest, DestroyingAParentDestroysItsChildrenFirst) {
    WindowHandle parent = make();
    WindowHandle child = make(parent, WS_CHILD | WS_VISIBLE);
    seen().clear();
    destroyWindow(parent);
    ASSERT_EQ(seen().size(), 2u);
    EXPECT_EQ(seen()[0].window, child);
    EXPECT_EQ(seen()[1].window, parent);
    EXPECT_FALSE(isWindow(child));
    EXPECT_FALSE(isWindow(parent));
    // Gone handles are harmless.
    EXPECT_EQ(sendMessage(child, WM_PAINT, 0, 0), 0);
    destroyWindow(child);
}

TEST_F(WindowTest, BroadcastReachesTopLevelWindowsOnly) {
    WindowHandle top = make();
    WindowHandle child = make(top, WS_CHILD);
    const int reached = broadcastMessage(WM_SETTINGCHANGE, 0xF2, 0);
    EXPECT_GE(reached, 1);
    EXPECT_EQ(count(top, WM_SETTINGCHANGE), 1);
    EXPECT_EQ(count(child, WM_SETTINGCHANGE), 0);
}

TEST_F(WindowTest, PaintPassErasesOnceAndLeavesTheWindowPainted) {
    WindowHandle w = make();
    NullDrawingContext context;
    paintWindow(w, context);
    EXPECT_EQ(count(w, WM_PAINT), 1);
    ASSERT_EQ(count(w, WM_ERASEBKGND), 1);
    for (const Seen& s : seen()) {
        if (s.message == WM_ERASEBKGND) {
            EXPECT_EQ(s.wParam, reinterpret_cast<WParam>(&context));
        }
    }
    EXPECT_FALSE(needsPainting(w));
    // Painted already: an update sends nothing; after invalidating it does.
    updateWindow(w);
    EXPECT_EQ(count(w, WM_PAINT), 1);
    invalidateWindow(w);
    updateWindow(w);
    EXPECT_EQ(count(w, WM_PAINT), 2);
}

TEST_F(WindowTest, HiddenWindowsAreNotUpdated) {
    WindowHandle w = make(nullptr, 0);
    updateWindow(w);
    EXPECT_EQ(count(w, WM_PAINT), 0);
    showWindow(w, true);
    updateWindow(w);
    EXPECT_EQ(count(w, WM_PAINT), 1);
}

TEST(WindowPointTest, PointerPositionsSurviveTheMessageParameter) {
    EXPECT_EQ(pointFromLParam(makePointLParam(60, 10)), (Point{60, 10}));
    EXPECT_EQ(pointFromLParam(makePointLParam(-3, -7)), (Point{-3, -7}));
    EXPECT_EQ(makePointLParam(1, 2), 0x00020001);
}

} // namespace
