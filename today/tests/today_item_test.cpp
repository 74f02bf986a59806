// The launcher item driven through its library entry and window procedure,
// as the home screen drives it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "windowing/process_start.h"
#include "recording_context.h"
#include "today_host.h"

using namespace windowing;
namespace fs = std::filesystem;

namespace {

constexpr ColorRef kHostText = makeColorRef(10, 20, 30);

class TodayItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavolin-today-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        marker_ = root_ / "started.log";
        setDeviceRoot((root_ / "device").string());
        TodayHost::Look look;
        look.text = kHostText;
        host_ = std::make_unique<today::TodayHost>(240, look);
        ASSERT_TRUE(host_->load("TavolinToday")) << host_->error();
    }
    void TearDown() override {
        host_.reset();
        setDeviceRoot("");
        fs::remove_all(root_);
    }

    using TodayHost = today::TodayHost;

    // A stand-in viewer at `relative` under the device root that logs the
    // path it was started as.
    void installViewer(const std::string& relative) {
        const fs::path file = root_ / "device" / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "#!/bin/sh\nprintf '%s\\n' \"$0\" >> '" << marker_.string() << "'\n";
        fs::permissions(file, fs::perms::owner_all);
    }

    // Waits (boundedly) for a whole line in the stand-in viewer's log and
    // returns the log. The shell creates the file before it writes the line,
    // so an empty file means "not yet", not "nothing".
    std::string startedLog() {
        std::string text;
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(marker_);
            std::stringstream read;
            read << in.rdbuf();
            text = read.str();
            if (!text.empty() && text.back() == '\n') break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return text;
    }

    RecordingContext paint() {
        RecordingContext context;
        host_->paint(context);
        return context;
    }

    fs::path root_;
    fs::path marker_;
    std::unique_ptr<TodayHost> host_;
};

TEST_F(TodayItemTest, EntryCreatesAVisibleFullWidthChildOfTheHomeScreen) {
    const WindowHandle item = host_->itemWindow();
    ASSERT_TRUE(isWindow(item));
    EXPECT_EQ(windowClassName(item), "TavolinTodayClass");
    EXPECT_EQ(windowTitle(item), "TavolinTodayWnd");
    EXPECT_EQ(parentWindow(item), host_->screenWindow());
    EXPECT_TRUE(isWindowVisible(item));
    EXPECT_EQ(windowBounds(item), (Rect{0, 0, 240, 0}));
    // The text colour is fetched from the home screen when the window is made.
    EXPECT_EQ(host_->colorRequests(), 1);
}

TEST_F(TodayItemTest, RefreshAnswersHeightFortyTheFirstTimeAndNothingAfter) {
    EXPECT_TRUE(host_->refresh());
    EXPECT_EQ(host_->itemHeight(), 40);
    EXPECT_EQ(windowBounds(host_->itemWindow()), (Rect{0, 0, 240, 40}));
    EXPECT_FALSE(host_->refresh());
    EXPECT_EQ(host_->itemHeight(), 40);
}

TEST_F(TodayItemTest, RefreshStartsOverWhenTheLibraryIsLoadedAgain) {
    ASSERT_TRUE(host_->refresh());
    ASSERT_TRUE(host_->load("TavolinToday")) << host_->error();
    EXPECT_TRUE(host_->refresh());
    EXPECT_TRUE(isWindowClassRegistered("TavolinTodayClass"));
    host_.reset();
    // Unloaded, the library leaves no class behind whose procedure is gone.
    EXPECT_FALSE(isWindowClassRegistered("TavolinTodayClass"));
}

TEST_F(TodayItemTest, PaintDrawsBothIconsAndBothLinesAtTheirPlaces) {
    host_->refresh();
    const RecordingContext dc = paint();

    const auto icons = dc.only(DrawCall::Icon);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].iconId, 101);
    EXPECT_EQ(icons[0].at, (Point{2, 0}));
    EXPECT_EQ(icons[0].iconSize, (Size{16, 16}));
    EXPECT_EQ(icons[0].mode, BackgroundMode::Transparent);
    EXPECT_EQ(icons[1].iconId, 105);
    EXPECT_EQ(icons[1].at, (Point{200, 2}));
    EXPECT_EQ(icons[1].iconSize, (Size{32, 32}));
    EXPECT_EQ(icons[1].mode, BackgroundMode::Transparent);

    const auto texts = dc.only(DrawCall::Text);
    ASSERT_EQ(texts.size(), 2u);
    const std::u16string product = u"Vexo Tavolin v2.0";
    EXPECT_EQ(texts[0].text, product);
    const int boldWidth = static_cast<int>(product.size()) * RecordingContext::kBoldCharWidth;
    EXPECT_EQ(texts[0].rect, (Rect{50, 2, 50 + boldWidth, 2 + RecordingContext::kLineHeight}));
    ASSERT_TRUE(texts[0].font.has_value());
    EXPECT_EQ(texts[0].font->face, "Tahoma");
    EXPECT_EQ(texts[0].font->height, -11);
    EXPECT_EQ(texts[0].font->weight, 700);
    EXPECT_EQ(texts[0].color, kHostText);

    EXPECT_FALSE(texts[1].text.empty());
    const int normalWidth = static_cast<int>(texts[1].text.size()) * RecordingContext::kNormalCharWidth;
    EXPECT_EQ(texts[1].rect, (Rect{50, 17, 50 + normalWidth, 17 + RecordingContext::kLineHeight}));
    ASSERT_TRUE(texts[1].font.has_value());
    EXPECT_EQ(texts[1].font->weight, 400);
    EXPECT_EQ(texts[1].font->height, -11);
    EXPECT_EQ(texts[1].color, kHostText);

    // The font selected before the text is selected again after it.
    const auto selects = dc.only(DrawCall::SelectFont);
    ASSERT_EQ(selects.size(), 3u);
    EXPECT_FALSE(selects[2].font.has_value());
}

TEST_F(TodayItemTest, EraseAsksTheHomeScreenForItsWatermarkOverTheWholeItem) {
    host_->refresh();
    const int before = host_->watermarkRequests();
    const RecordingContext dc = paint();
    EXPECT_EQ(host_->watermarkRequests(), before + 1);
    const auto fills = dc.only(DrawCall::Fill);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].rect, (Rect{0, 0, 240, 40}));
    // The background comes first, the icons over it.
    EXPECT_EQ(dc.calls.front().kind, DrawCall::Fill);
    EXPECT_FALSE(needsPainting(host_->itemWindow()));
}

TEST_F(TodayItemTest, MessagesOfNoInterestAnswerAsTheItemProtocolExpects) {
    const WindowHandle item = host_->itemWindow();
    const int watermarks = host_->watermarkRequests();
    EXPECT_EQ(sendMessage(item, WM_SETTINGCHANGE, SETTINGCHANGE_TODAY, 0), 0);
    EXPECT_EQ(sendMessage(item, WM_NOTIFY, 0, 0), 0);
    EXPECT_EQ(sendMessage(item, WM_TODAYCUSTOM_RECEIVEDSELECTION, 0x28, 0), 0);
    RecordingContext dc;
    EXPECT_EQ(sendMessage(item, WM_ERASEBKGND, reinterpret_cast<WParam>(&dc), 0), 1);
    EXPECT_EQ(host_->watermarkRequests(), watermarks + 1);
    // A refresh request without its record is not answered with a height.
    EXPECT_EQ(sendMessage(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, 0), 0);
    EXPECT_TRUE(host_->refresh());
}

TEST_F(TodayItemTest, ViewerStartsOnReleaseNotOnPress) {
    installViewer("Program Files/Tavolin/Tavolin.exe");
    const int before = startedProcessCount();
    host_->press({60, 10});
    EXPECT_EQ(startedProcessCount(), before);
    host_->release({60, 10});
    EXPECT_EQ(startedProcessCount(), before + 1);
    EXPECT_EQ(startedLog(), (root_ / "device/Program Files/Tavolin/Tavolin.exe").string() + "\n");
}

TEST_F(TodayItemTest, ViewerInstalledWithoutExtensionStartsFromTheFirstPath) {
    installViewer("Program Files/Tavolin/Tavolin");
    installViewer("Memory Card/Program Files/Tavolin/Tavolin");
    host_->release({60, 10});
    EXPECT_EQ(startedLog(), (root_ / "device/Program Files/Tavolin/Tavolin").string() + "\n");
}

TEST_F(TodayItemTest, ViewerOnlyOnTheStorageCardStartsFromTheSecondPath) {
    installViewer("Memory Card/Program Files/Tavolin/Tavolin.exe");
    const int before = startedProcessCount();
    host_->release({60, 10});
    EXPECT_EQ(startedProcessCount(), before + 1);
    EXPECT_EQ(startedLog(), (root_ / "device/Memory Card/Program Files/Tavolin/Tavolin.exe").string() + "\n");
}

TEST_F(TodayItemTest, NoViewerAtEitherPathLeavesTheTapWithoutEffect) {
    // A file that is there but cannot run counts as no program.
    const fs::path file = root_ / "device/Program Files/Tavolin/Tavolin.exe";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "not a program\n";
    const int before = startedProcessCount();
    host_->press({60, 10});
    host_->release({60, 10});
    EXPECT_EQ(startedProcessCount(), before);
    EXPECT_FALSE(fs::exists(marker_));
    // The item goes on working.
    EXPECT_TRUE(host_->refresh());
    EXPECT_EQ(paint().only(DrawCall::Text).size(), 2u);
}

} // namespace
