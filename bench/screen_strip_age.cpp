// The age of the picture a player shows, read from the screen: grabs the X
// screen (the root window, as xwd does) at intervals, reads the capture
// time the simulated camera drew into the picture (its time strip) and
// takes it from the time of the grab. Prints the median and 95th
// percentile of the ages per window and over the whole run.
//   screen_strip_age --drawn 1920x1080 [--region X,Y,W,H] [--seconds 60]
//                    [--interval-ms 100] [--window-seconds 60]
// Without --region the picture is the bounding box of what is not black.
#include "camsim/delay_figures.h"
#include "camsim/time_strip.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Luma of an XImage's pixels (24/32-bit true colour, any byte order).
std::vector<uint8_t> lumaOf(XImage* image) {
    std::vector<uint8_t> luma(static_cast<std::size_t>(image->width) * image->height);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            const int r = static_cast<int>((p & image->red_mask) >> __builtin_ctzl(image->red_mask));
            const int g = static_cast<int>((p & image->green_mask) >> __builtin_ctzl(image->green_mask));
            const int b = static_cast<int>((p & image->blue_mask) >> __builtin_ctzl(image->blue_mask));
            luma[static_cast<std::size_t>(y) * image->width + x] =
                static_cast<uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
        }
    }
    return luma;
}

Rect brightBox(const std::vector<uint8_t>& luma, int width, int height) {
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (luma[static_cast<std::size_t>(y) * width + x] <= 24) continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    if (x1 < 0) return {};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void print(const char* what, std::vector<int64_t> ages, long unread) {
    const camsim::DelayFigures f = camsim::delayFigures(std::move(ages));
    std::printf("%s: median %lld ms, 95th percentile %lld ms, %ld samples, %ld unread\n", what,
                static_cast<long long>(f.median), static_cast<long long>(f.percentile95), f.count, unread);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    int drawnW = 1920, drawnH = 1080, seconds = 60, intervalMs = 100, windowSeconds = 60;
    std::optional<Rect> region;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* v = argv[i + 1];
        if (arg == "--drawn") {
            std::sscanf(v, "%dx%d", &drawnW, &drawnH);
        } else if (arg == "--region") {
            Rect r;
            if (std::sscanf(v, "%d,%d,%d,%d", &r.x, &r.y, &r.w, &r.h) == 4) region = r;
        } else if (arg == "--seconds") {
            seconds = std::atoi(v);
        } else if (arg == "--interval-ms") {
            intervalMs = std::max(1, std::atoi(v));
        } else if (arg == "--window-seconds") {
            windowSeconds = std::max(1, std::atoi(v));
        } else {
            std::fprintf(stderr, "screen_strip_age: unknown argument %s\n", arg.c_str());
            return 64;
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "screen_strip_age: no X display\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    // A player may take a while to show its first picture: up to 20 s.
    for (int tries = 0; !region && tries < 40; ++tries) {
        XImage* whole = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (whole == nullptr) break;
        const std::vector<uint8_t> luma = lumaOf(whole);
        const Rect box = brightBox(luma, whole->width, whole->height);
        if (box.w > 0 &&
            camsim::readScaledTimeStrip(luma.data() + static_cast<std::ptrdiff_t>(box.y) * whole->width + box.x,
                                        whole->width, box.w, box.h, drawnW, drawnH))
            region = box;
        XDestroyImage(whole);
        if (!region) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    if (!region) region = Rect{};
    const Rect r = *region;
    if (r.w <= 0 || r.h <= 0) {
        std::fprintf(stderr, "screen_strip_age: nothing shown on the screen\n");
        XCloseDisplay(display);
        return 1;
    }
    std::printf("picture at %d,%d %dx%d on the screen (drawn %dx%d)\n", r.x, r.y, r.w, r.h, drawnW, drawnH);
    const int stripRows = (camsim::timeStripHeight(drawnH) + 4) * r.h / drawnH + 2;
    const int stripTop = std::max(0, r.h - stripRows);
    std::vector<uint8_t> luma(static_cast<std::size_t>(r.w) * r.h);
    std::vector<int64_t> all, window;
    long unread = 0, windowUnread = 0;
    const int64_t start = nowMs();
    int64_t windowStart = start;
    int windowIndex = 0;
    for (int64_t next = start; nowMs() - start < static_cast<int64_t>(seconds) * 1000; next += intervalMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max<int64_t>(0, next - nowMs())));
        // Only the strip's rows are grabbed; the rows above stay black.
        const int64_t before = nowMs();
        XImage* image = XGetImage(display, root, r.x, r.y + stripTop, static_cast<unsigned>(r.w),
                                  static_cast<unsigned>(r.h - stripTop), AllPlanes, ZPixmap);
        const int64_t after = nowMs();
        if (image == nullptr) continue;
        const std::vector<uint8_t> rows = lumaOf(image);
        XDestroyImage(image);
        std::copy(rows.begin(), rows.end(), luma.begin() + static_cast<std::ptrdiff_t>(stripTop) * r.w);
        const std::optional<int64_t> captured = camsim::readScaledTimeStrip(luma.data(), r.w, r.w, r.h, drawnW, drawnH);
        if (captured) {
            all.push_back((before + after) / 2 - *captured);
            window.push_back(all.back());
        } else {
            ++unread;
            ++windowUnread;
        }
        if (after - windowStart >= static_cast<int64_t>(windowSeconds) * 1000) {
            const std::string name = "window " + std::to_string(++windowIndex);
            print(name.c_str(), window, windowUnread);
            window.clear();
            windowUnread = 0;
            windowStart = after;
        }
    }
    print("whole run", all, unread);
    XCloseDisplay(display);
    return all.empty() ? 1 : 0;
}
